#include "common/config/ConfigBoxes.h"

#include <utility>

namespace tarnix {
namespace {

constexpr const char* FileErrorTitle = " Configuration File Error";
constexpr const char* Reinstall = ReinstallToRestore;

} // namespace

FatalError ConfigMissingBox() {
    return {FileErrorTitle,
            BoxIcon::Error,
            {"The configuration file is either missing or corrupted.", Reinstall, ProgramWillTerminate}};
}

FatalError ConfigCorruptedBox() {
    return {FileErrorTitle,
            BoxIcon::Error,
            {"The configuration file is corrupted.", Reinstall, ProgramWillTerminate}};
}

FatalError ConfigReadFailureBox(ProgramKind kind) {
    return {kind == ProgramKind::Master ? FileErrorTitle : " Configuration File Read Error",
            BoxIcon::Warning,
            {"Unable to read the configuration file. ", "This may be a permissions problem.",
             ProgramWillTerminate}};
}

FatalError ConfigRangeBox() {
    return {FileErrorTitle,
            BoxIcon::Error,
            {"The configuration file is missing or corrupted.", Reinstall, ProgramWillTerminate}};
}

BoxText ConfigRefusedBox(ProgramKind kind, std::string reason) {
    const char* first = kind == ProgramKind::Master
                            ? "Unable to write to the configuration file."
                            : "Unable to write to the configuration file. TarnixS.ini";
    return {FileErrorTitle, BoxIcon::Warning, {first, std::move(reason), ProgramWillTerminate}};
}

BoxText ConfigWriteFailureBox(ProgramKind kind) {
    return ConfigRefusedBox(kind, "This may be a permissions problem.");
}

FatalError WithFault(FatalError box, std::string fault) {
    auto place = box.lines.end();
    if (!box.lines.empty() && box.lines.back() == ProgramWillTerminate) --place;
    box.lines.insert(place, std::move(fault));
    return box;
}

} // namespace tarnix
