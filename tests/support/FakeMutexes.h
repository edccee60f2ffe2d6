#pragma once

// Named mutexes of one computer in memory. Every program instance of a test gets a FakeMutexes
// of its own on the same FakeComputer, so what one instance holds, the others find taken.

#include <map>
#include <optional>
#include <set>
#include <string>

#include "common/program/InstanceGuard.h"

namespace tarnix::testing {

struct FakeComputer {
    std::set<std::string> held;    // by any instance, through a handle
    std::set<std::string> unowned; // opened without ownership
};

class FakeMutexes : public NamedMutexSystem {
public:
    FakeMutexes() : computer_(own_) {}
    explicit FakeMutexes(FakeComputer& computer) : computer_(computer) {}

    std::optional<int> CreateOwned(const std::string& name) override {
        if (failing) return -1;
        if (computer_.held.count(name) || computer_.unowned.count(name)) return std::nullopt;
        computer_.held.insert(name);
        open[nextHandle] = name;
        return nextHandle++;
    }
    void CloseHandle(int handle) override {
        computer_.held.erase(open[handle]);
        open.erase(handle);
    }
    void OpenUnowned(const std::string& name) override { computer_.unowned.insert(name); }

    // Whether this instance holds the name.
    bool IsOpen(const std::string& name) const {
        for (const auto& [handle, held] : open)
            if (held == name) return true;
        return false;
    }

    std::map<int, std::string> open; // this instance's handles
    bool failing = false;            // the facility itself is broken
    int nextHandle = 5;

private:
    FakeComputer own_;
    FakeComputer& computer_;
};

} // namespace tarnix::testing
