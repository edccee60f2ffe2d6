// The program's side of its configuration: reading and checking the files, the screen (opening
// it, what it asks of the program, the log lines of the re-initialisation that follows a save)
// and the reload that re-reads the files without it.

#include <optional>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigQueries.h"
#include "common/config/ConfigScreen.h"
#include "common/program/ProgramBase.h"

namespace tarnix {

void ProgramBase::OpenConfigScreen(ConfigScreenWindow& window, ConfigScreenHost& host) {
    std::optional<ConfigScreen> screen;
    window.RunConfigScreen([&](ConfigScreenView& view) -> ConfigScreenEvents& {
        // The record holds the file's values: "-InhibitShutdown" shortens the delays in force
        // inside supervision only, so the screen never shows or saves the test values.
        ConfigScreen::Setup setup{.kind = kind_,
                                  .record = config_,
                                  .inhibitShutdown = InhibitShutdownSwitch(),
                                  .configFile = ConfigFileName(kind_)};
        for (int link = 0; link <= RemoteComputerCount; ++link)
            setup.linkKeyed[static_cast<std::size_t>(link)] = LinkKeyed(link);
        screen.emplace(std::move(setup), view, boxes_, host, auxWindows_, clock_);
        screen->Load();
        return *screen;
    });
    // Only now that the dialog's loop has returned may the program re-read its file and reopen
    // its ports: nothing of the re-initialisation runs under a dialog that is closing.
    if (screen) screen->Closed();
}

std::variant<CheckedConfiguration, FatalError> ProgramBase::ReadCheckedConfiguration() const {
    CheckedConfiguration checked;
    if (auto error = ReadConfiguration(ConfigFileName(kind_), kind_, checked.record, checked.text))
        return *error;
    if (auto error = ValidateConfiguration(kind_, checked.record, checked.unconfigured)) return *error;
    if (auto error = checked.keys.Read(kind_)) return *error;
    return checked;
}

void ProgramBase::ReadConfigurationAndLog() {
    std::variant<CheckedConfiguration, FatalError> read =
        reloaded_ ? std::move(*reloaded_) : ReadCheckedConfiguration();
    reloaded_.reset();
    if (const auto* error = std::get_if<FatalError>(&read)) return Fatal(*error, ProgramEnd::NotConfigured);
    auto& checked = std::get<CheckedConfiguration>(read);
    config_ = std::move(checked.record);
    configText_ = std::move(checked.text);
    unconfigured_ = checked.unconfigured;
    keys_ = std::move(checked.keys);
    if (auto error = log_.CreateLogFile()) return Fatal(*error);
    events_.ConfigurationRead();
}

bool ProgramBase::ReloadConfiguration() {
    if (ending_) return false;
    std::variant<CheckedConfiguration, FatalError> read = ReadCheckedConfiguration();
    if (const auto* error = std::get_if<FatalError>(&read)) {
        BoxText box = WithoutTerminationLine(*error);
        box.lines.emplace_back(ConfigurationKept);
        boxes_.Notify(programTitle_ + box.titleSuffix, box.lines, box.icon);
        return false;
    }
    reloaded_ = std::move(std::get<CheckedConfiguration>(read));
    ReinitialiseAfterConfiguration();
    NotifyStatus();
    return !ending_;
}

void ProgramBase::ReportLogFileUnopened(const std::string& logName) {
    const BoxText box = LogFileUnopenedBox(logName);
    boxes_.Show(programTitle_ + box.titleSuffix, box.lines, box.icon, BoxButtons::Ok);
}

void ProgramBase::StopSupervisionTimer() {
    HoldTicks();
}

void ProgramBase::WriteConfigUpdatedLog() {
    if (unconfigured_) return;
    LogAtNormal("Config", "Updated");
    if (LogsFull(config_)) AppendToLog(log_.HeaderText(1, configText_));
}

} // namespace tarnix
