#include "common/program/InstanceGuard.h"

#include "common/base/CommandLine.h"
#include "common/program/ProgramNames.h"

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

bool ClaimInstance(ProgramKind kind, const std::string& commandLine, InstanceMutex& mutex) {
    const bool allowMulti = AllowMultiGiven(commandLine);
    const bool taken = mutex.CheckInstanceMutex(std::string(ProductName), false);
    if (taken && !allowMulti) return false;
    const std::string ownName = ExecutableNameOf(kind);
    if (kind == ProgramKind::Master) {
        if (taken) mutex.CheckInstanceMutex(ownName, false);
        return true;
    }
    const bool ownTaken = mutex.CheckInstanceMutex(ownName, false);
    if (!allowMulti && !ownTaken) mutex.OpenUnowned(ownName);
    return true;
}

} // namespace tarnix
