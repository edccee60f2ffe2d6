#pragma once

#include "common/base/Clock.h"
#include "common/config/ConfigRecord.h"
#include "common/program/MessageBox.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tarnix {

// What a log line's Full-level suffix and test-run mark read from the program.
struct LogLineState {
    bool TestRun = false;
    std::int16_t PhaseCounter = 0;
    std::string CommsText;
};

// The master's comms text: PeerStatus of computers 1..4 joined by ", ", or "No Network".
std::string MasterCommsText(const std::array<std::int16_t, RemoteComputerCount + 1>& peerStatus,
                            bool networkOK);

// One line's text without its line end. When event and detail are both empty the text is a
// bare CR LF, so that with its line end the file gains two empty lines.
std::string FormatLogLine(const std::string& timeStamp, const std::string& event, const std::string& detail,
                          bool fullLevel, const LogLineState& state);
// A line whose text is too long for the detail column: the time stamp, the event column, then the
// text whole.
std::string FormatLogNote(const std::string& timeStamp, const std::string& event, const std::string& text);

// The append-only event log. Every operation opens the file, appends and closes it again, so
// the file can be read, moved or deleted between writes. A failure is returned as the box that
// explains it; at start the caller shows it and ends the program. What is appended is written
// whole or not at all.
class LogFile {
public:
    // Reads LogPath, LogName and LogLevel from the record at every call (the record can change).
    LogFile(ProgramKind kind, const ConfigRecord& config, const Clock& clock);

    // LogPath immediately followed by LogName, "\" read as "/".
    std::filesystem::path LogFilePath() const;

    // At Normal or Full level: makes the file with its creation lines when it is missing.
    std::optional<FatalError> CreateLogFile() const;
    // At Normal or Full level: mode 0 appends the start-up header (with the configuration at
    // Full level), any other mode the configuration dump.
    std::optional<FatalError> WriteLogHeader(int mode, const std::string& configText) const;
    // What WriteLogHeader appends.
    std::string HeaderText(int mode, const std::string& configText) const;
    // Appends one time-stamped line whatever the level (callers test it); never re-creates a
    // missing file.
    std::optional<FatalError> WriteLogLine(const std::string& event, const std::string& detail,
                                           const LogLineState& state) const;

    // WriteLogLine in two steps, for a caller that keeps lines it could not write yet: the
    // time-stamped line, and the appending of one or more lines (joined by CR LF) as one whole.
    std::string FormatLine(const std::string& event, const std::string& detail,
                           const LogLineState& state) const;
    std::optional<FatalError> AppendLines(const std::string& text) const;
    // FormatLogNote at the time of the call.
    std::string FormatNote(const std::string& event, const std::string& text) const;

private:
    std::optional<FatalError> AppendLine(const std::string& text, const FatalError& directoryError) const;

    ProgramKind kind_;
    const ConfigRecord& config_;
    const Clock& clock_;
};

} // namespace tarnix
