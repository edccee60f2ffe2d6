#include "desktop/window/ServiceWindowRules.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigScreen.h"
#include "common/program/ProgramNames.h"

namespace tarnix {
namespace {

// The group a file belongs to, by name; its number where it has none.
std::string GroupOf(const struct stat& file) {
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(file.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        return found->gr_name;
    return std::to_string(file.st_gid);
}

// Who may read a file that this user may not, as its owner and mode say.
std::string WhoMayRead(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) return "root";
    if ((status.st_mode & S_IRGRP) != 0) return "root and the members of the group " + GroupOf(status);
    return "root";
}

} // namespace

void ServiceWindowRules::OnButtonClicked(Button button) {
    switch (button) {
    case Button::TestS:
        return seams_.buttons.Test();
    case Button::Reset:
        return seams_.buttons.Reset();
    case Button::About:
        auxWindows_.NoteOpened();
        return seams_.aboutBox.OpenAboutBox(false, false, auxWindows_);
    case Button::Config:
        return OpenConfigScreen();
    case Button::Exit:
        return seams_.closeWindow();
    }
}

std::string ServiceWindowRules::ReadOnlyNote() const {
    return files_.configFile.string() + " is the service's: change it as root, then: systemctl reload " +
           files_.unit + ".";
}

void ServiceWindowRules::Tell(const std::string& titleSuffix, const std::vector<std::string>& lines,
                              BoxIcon icon) {
    seams_.boxes.Show(ProgramTitleOf(kind_) + titleSuffix, lines, icon, BoxButtons::Ok);
}

void ServiceWindowRules::OpenConfigScreen() {
    ConfigRecord record;
    std::string text;
    if (auto error = ReadConfiguration(files_.configFile, kind_, record, text)) {
        const BoxText box = WithoutTerminationLine(*error);
        return Tell(box.titleSuffix, box.lines, box.icon);
    }
    std::optional<ConfigScreen> screen;
    seams_.configWindow.RunConfigScreen([&](ConfigScreenView& view) -> ConfigScreenEvents& {
        ConfigScreen::Setup setup{
            .kind = kind_, .record = record, .configFile = files_.configFile, .readOnlyNote = ReadOnlyNote()};
        screen.emplace(std::move(setup), view, seams_.boxes, *this, auxWindows_, seams_.clock);
        screen->Load();
        return *screen;
    });
}

bool ServiceWindowRules::OpenLogFile(const std::filesystem::path& file) {
    const std::filesystem::path log = file.is_absolute() ? file : files_.programFolder / file;
    std::error_code error;
    if (!std::filesystem::exists(log, error)) {
        Tell(" Log File", {"The service has written no log at " + log.string() + " yet."},
             BoxIcon::Information);
        return false;
    }
    if (::access(log.c_str(), R_OK) != 0) {
        Tell(" Log File",
             {"The service's log " + log.string() + " cannot be read by you.",
              "It may be read by " + WhoMayRead(log) + "."},
             BoxIcon::Information);
        return false;
    }
    return seams_.desktop.OpenTextFile(log, [this, log] {
        Tell(" Log File Error", {"Unable to open the log file " + log.string() + "."}, BoxIcon::Warning);
    });
}

} // namespace tarnix
