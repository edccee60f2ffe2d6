#pragma once

#include <filesystem>

namespace tarnix {

// What the configuration screen asks of the program that opened it.
class ConfigScreenHost {
public:
    virtual ~ConfigScreenHost() = default;

    // Whether the user may write the configuration (Save and Restore stay disabled otherwise).
    virtual bool IsAdministrator() = 0;
    // Opens the log file in the desktop's viewer for plain text without waiting for it; false
    // when nothing could be started.
    virtual bool OpenLogFile(const std::filesystem::path& file) = 0;

    virtual bool Unconfigured() const = 0;
    // Set by a save, so that Close re-reads the file even when a visit in between did not save.
    virtual bool ConfigSaved() const = 0;
    virtual void SetConfigSaved(bool saved) = 0;
    // The user changed "start in the tray": the re-initialisation applies the new setting.
    virtual void ClearWindowStateOverride() = 0;

    // Close after a save or while unconfigured: re-read the file and restart supervision in the
    // program's own order. The screen's window has already closed and returned.
    virtual void ReinitialiseAfterConfiguration() = 0;

    // The fatal paths of the screen: the supervision timer stops before the box is shown; after
    // it the program removes its tray icon and ends at once.
    virtual void StopSupervisionTimer() = 0;
    virtual void EndProgram() = 0;
};

} // namespace tarnix
