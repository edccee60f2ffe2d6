#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/config/ConfigRecord.h"
#include "common/program/MessageBox.h"
#include "common/program/ProgramNames.h"

namespace tarnix {

// "Data/TarnixM.ini" or "Data/TarnixS.ini", relative to the working folder.
std::filesystem::path ConfigFileName(ProgramKind kind);

// A folder or file path as the configuration stores it, with "\" as separator ("Log\"), in
// the form this system uses ("Log/"). Stored paths keep "\" so files stay interchangeable.
std::filesystem::path StoredPathToNative(std::string_view stored);

// Reads the file into the record and rebuilds configText (the listing the log header shows).
// On failure the returned box is the one to show (title suffix, icon, lines, one of which says
// what is wrong and where); the caller shows it, removes the tray icon and ends the program.
// Values met before a failure stay in the record, and record.readFrom tells where the values
// of this read came from. Never throws.
std::optional<FatalError> ReadConfiguration(const std::filesystem::path& file, ProgramKind kind,
                                            ConfigRecord& record, std::string& configText);

// Applies the LogPath default, checks every range, and sets `unconfigured` to true when the
// computers to supervise are not fully given (never clears it). A returned box ends the
// program as for ReadConfiguration; it names the refused value met first in the file.
std::optional<FatalError> ValidateConfiguration(ProgramKind kind, ConfigRecord& record, bool& unconfigured);

// The configuration screen's values (ConfigSchema.h).
class ConfigScreenValues;

// The whole file as the writer lays it out, every line ended by CR LF and the file ending in
// an empty line. Number fields are the screen's text read leniently and written in plain
// decimal ("0060" -> 60, "abc" -> 0, "60.5" stays 60.5); `now` gives the date line.
std::string ConfigurationText(ProgramKind kind, const ConfigScreenValues& values, const std::tm& now);

// What a save came to: no box on success. With a box the caller shows it; `terminate` then
// says whether the program stops its supervision timer and ends (the slave's file vanished
// before the save) or goes on with the configuration in force.
struct WriteOutcome {
    std::optional<BoxText> box;
    bool terminate = false;
};

// Replaces the file with ConfigurationText through ReplaceFileContents, so a failed save
// leaves the old file as it was (unless its folder allows only an in-place write). A text
// value holding a control character (a line break would not read back as saved), or a number
// too large to write, is refused the same way, its box naming the field instead of blaming
// the permissions. Never throws.
WriteOutcome WriteConfiguration(const std::filesystem::path& file, ProgramKind kind,
                                const ConfigScreenValues& values, const std::tm& now);

} // namespace tarnix
