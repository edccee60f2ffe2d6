#include "common/config/ConfigFile.h"

#include <algorithm>

namespace tarnix {

std::filesystem::path ConfigFileName(ProgramKind kind) {
    return std::filesystem::path("Data") / (ExecutableNameOf(kind) + ".ini");
}

std::filesystem::path StoredPathToNative(std::string_view stored) {
    std::string native(stored);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

} // namespace tarnix
