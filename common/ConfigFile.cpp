#include "common/ConfigFile.h"

#include <algorithm>

namespace tarnix {

std::filesystem::path ConfigFileName(ProgramKind kind) {
    return kind == ProgramKind::Master ? "Data/TarnixM.ini" : "Data/TarnixS.ini";
}

std::filesystem::path StoredPathToNative(std::string_view stored) {
    std::string native(stored);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string ProgramTitleOf(ProgramKind kind) {
    return kind == ProgramKind::Master ? "Tarnix" : "Tarnix Slave";
}

} // namespace tarnix
