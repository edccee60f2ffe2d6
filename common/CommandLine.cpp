#include "common/CommandLine.h"

#include <string_view>

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

bool AllowMultiGiven(const std::string& commandLine) {
    return std::string_view(commandLine).ends_with(kAllowMulti);
}

bool InhibitShutdownGiven(const std::string& commandLine) {
    return std::string_view(commandLine).starts_with(kInhibitShutdown);
}

} // namespace tarnix
