#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnix::test {

// Runs the Qt event loop until done() holds or the timeout passes; returns done().
bool RunEventsUntil(const std::function<bool()>& done,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Whether this system's resolver knows "localhost" (a bare root without /etc/hosts does not);
// the name tests skip where it does not, since they must never ask a name server elsewhere.
bool LocalhostResolves();

// This test program started again with the given arguments (see main.cpp for the roles a
// child can play); its standard output is readable through out.
struct Child {
    pid_t pid = -1;
    int out = -1;
};
Child SpawnSelf(const std::vector<std::string>& args);
// The next line the child writes, without its line end; empty on end of output or timeout.
std::string ReadLine(const Child& child, std::chrono::milliseconds timeout = std::chrono::seconds(20));
// Waits for the child's end and returns its exit code (128 + signal when killed).
int WaitForExit(Child& child);
// All the child writes until it ends, and its exit code.
std::pair<std::string, int> RunSelf(const std::vector<std::string>& args);

// Exit code of a child that could not enter a fresh namespace (network, or mounts).
inline constexpr int kNamespaceRefused = 77;

} // namespace tarnix::test
