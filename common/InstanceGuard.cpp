#include "common/InstanceGuard.h"

namespace tarnix {

InstanceMutex::InstanceMutex(NamedMutexSystem& system) : system_(system) {}

bool InstanceMutex::CheckInstanceMutex(const std::string& name, bool release) {
    if (InstanceMutexHandle && release) {
        system_.CloseHandle(*InstanceMutexHandle);
        InstanceMutexHandle.reset();
        return false;
    }
    if (InstanceMutexHandle) return false;

    const std::optional<int> handle = system_.CreateOwned(name);
    if (!handle) return true;
    if (*handle >= 0) InstanceMutexHandle = handle;
    return false;
}

void InstanceMutex::OpenUnowned(const std::string& name) {
    system_.OpenUnowned(name);
}

} // namespace tarnix
