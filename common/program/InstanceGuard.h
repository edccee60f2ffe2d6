#pragma once

#include <optional>
#include <string>

#include "common/config/ConfigRecord.h"

namespace tarnix {

// Named mutexes of the operating system, visible to every process of one computer. A held name
// is released by the system when its holder ends, however it ends.
class NamedMutexSystem {
public:
    virtual ~NamedMutexSystem() = default;

    // Creates the named mutex owned by the caller. Returns its handle; nothing when the name
    // already exists (held by any process, this one included); a negative handle when it could
    // not be created for another reason, in which case nothing is held and the name counts as
    // free, so a broken mutex facility never keeps the program from starting.
    virtual std::optional<int> CreateOwned(const std::string& name) = 0;
    virtual void CloseHandle(int handle) = 0;
    // Opens the name without ownership and keeps it until the process ends; failures are
    // ignored because nothing depends on that name.
    virtual void OpenUnowned(const std::string& name) = 0;
};

// Module mdMult: the single-instance guard of the start procedures. It keeps at most one
// created mutex (InstanceMutexHandle) for the life of the process.
class InstanceMutex {
public:
    explicit InstanceMutex(NamedMutexSystem& system);

    // True when a mutex of that name already existed. With release and a held handle, closes
    // it and returns false; without release and a held handle, creates nothing and returns
    // false, so a second call only creates its name when the first found its own taken.
    bool CheckInstanceMutex(const std::string& name, bool release);

    // Opens a further name without ownership; the handle is not stored.
    void OpenUnowned(const std::string& name);

    bool HoldsHandle() const { return InstanceMutexHandle.has_value(); }

private:
    NamedMutexSystem& system_;
    std::optional<int> InstanceMutexHandle;
};

// The instance names of the start procedure. Returns false when another instance runs and the
// switch is not given; the caller then shows the instance notice instead of its window.
bool ClaimInstance(ProgramKind kind, const std::string& commandLine, InstanceMutex& mutex);

} // namespace tarnix
