#pragma once

#include <string>
#include <vector>

namespace tarnix {

// The command line as the start procedure reads it: the arguments after the program path,
// joined by single spaces. Nothing is quoted, so the switches below see the text as typed.
std::string JoinCommandLine(const std::vector<std::string>& args);
std::string CommandLineOf(int argc, char** argv);

// The name the program was started under, without folder and extension: the power actions
// name themselves after it.
std::string ExecutableName(const char* argv0);

// "-AllowMulti" must be the last 11 characters exactly (case-sensitive): a trailing blank or
// another letter case does not count.
bool AllowMultiGiven(const std::string& commandLine);

// "-InhibitShutdown" must be the first 16 characters exactly (case-sensitive): a leading blank
// does not count.
bool InhibitShutdownGiven(const std::string& commandLine);

// "-ServiceWindow", alone: the window of the running service, in the tray, and nothing when no
// service runs (the desktop session's autostart).
bool ServiceWindowGiven(const std::string& commandLine);

} // namespace tarnix
