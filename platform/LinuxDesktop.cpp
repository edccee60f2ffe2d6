#include "platform/LinuxDesktop.h"

#include "platform/Administrator.h"
#include "platform/UrlOpener.h"

namespace tarnix {

bool LinuxDesktop::IsAdministrator() {
    return tarnix::IsAdministrator();
}

// The opener's answer comes later: whatever goes wrong is reported through `failed`.
bool LinuxDesktop::OpenTextFile(const std::filesystem::path& file, std::function<void()> failed) {
    OpenFileInEditor(file.string(), [failed = std::move(failed)](bool opened) {
        if (!opened && failed) failed();
    });
    return true;
}

} // namespace tarnix
