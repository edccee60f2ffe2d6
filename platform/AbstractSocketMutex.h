#pragma once

#include "common/program/InstanceGuard.h"

#include <string>

namespace tarnix {

// Named mutexes as Unix-domain sockets bound to names in the abstract namespace: the kernel
// frees a name when the last descriptor bound to it closes, so a crashed holder never leaves a
// stale lock behind, and no file is involved. Abstract names belong to the network namespace,
// which is what "one computer" means here (a test can give each simulated computer its own).
class AbstractSocketMutex : public NamedMutexSystem {
public:
    // The prefix keeps our names apart from other programs' abstract sockets.
    explicit AbstractSocketMutex(std::string prefix = "tarnix.mutex.");

    std::optional<int> CreateOwned(const std::string& name) override;
    void CloseHandle(int handle) override;
    // The socket is deliberately never closed: the name stays open until the process ends.
    void OpenUnowned(const std::string& name) override;

private:
    std::string prefix_;
};

} // namespace tarnix
