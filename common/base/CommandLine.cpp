#include "common/base/CommandLine.h"

#include <filesystem>
#include <string_view>

#include "common/program/ProgramNames.h"

namespace tarnix {

namespace {
constexpr std::string_view kAllowMulti = "-AllowMulti";
constexpr std::string_view kInhibitShutdown = "-InhibitShutdown";
} // namespace

std::string JoinCommandLine(const std::vector<std::string>& args) {
    std::string joined;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (i > 1) joined += ' ';
        joined += args[i];
    }
    return joined;
}

std::string CommandLineOf(int argc, char** argv) {
    return JoinCommandLine(std::vector<std::string>(argv, argv + argc));
}

std::string ExecutableName(const char* argv0) {
    const std::string name = std::filesystem::path(argv0 != nullptr ? argv0 : "").stem().string();
    return name.empty() ? std::string(ProductName) : name;
}

bool AllowMultiGiven(const std::string& commandLine) {
    return std::string_view(commandLine).ends_with(kAllowMulti);
}

bool ServiceWindowGiven(const std::string& commandLine) {
    return commandLine == "-ServiceWindow";
}

bool InhibitShutdownGiven(const std::string& commandLine) {
    return std::string_view(commandLine).starts_with(kInhibitShutdown);
}

} // namespace tarnix
