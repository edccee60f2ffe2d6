#pragma once

// Test computers made of network namespaces joined by veth links, created and removed by the
// test itself. Their addresses exist only inside these namespaces.

#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace tarnix::e2e {

class NetNamespaces {
public:
    ~NetNamespaces() {
        for (const std::string& name : names_)
            Run("ip netns del " + name);
    }
    // Creates a namespace with its loopback up; false when namespaces cannot be made here.
    bool Add(const std::string& name) {
        const std::string full = Name(name);
        if (!Run("ip netns add " + full)) return false;
        names_.push_back(full);
        return Run("ip -n " + full + " link set lo up");
    }
    // Joins two namespaces by a link with an address at each end (prefix /30).
    bool Link(const std::string& a, const std::string& aIf, const std::string& aAddress, const std::string& b,
              const std::string& bIf, const std::string& bAddress) {
        return Run("ip link add " + aIf + " netns " + Name(a) + " type veth peer name " + bIf + " netns " +
                   Name(b)) &&
               Run("ip -n " + Name(a) + " addr add " + aAddress + "/30 dev " + aIf) &&
               Run("ip -n " + Name(b) + " addr add " + bAddress + "/30 dev " + bIf) &&
               Run("ip -n " + Name(a) + " link set " + aIf + " up") &&
               Run("ip -n " + Name(b) + " link set " + bIf + " up");
    }
    bool SetLink(const std::string& ns, const std::string& interface, bool up) {
        return Run("ip -n " + Name(ns) + " link set " + interface + (up ? " up" : " down"));
    }
    // Runs a command inside a namespace.
    bool Exec(const std::string& ns, const std::string& command) {
        return Run("ip netns exec " + Name(ns) + " " + command);
    }
    // A socket of the namespace (it stays there whichever namespace uses it); -1 when it cannot be
    // made. Only a thread of its own enters the namespace, so the test's other sockets stay where
    // they are.
    int Socket(const std::string& ns, int domain, int type, int protocol) const {
        int fd = -1;
        std::thread([&] {
            const int net = ::open(("/run/netns/" + Name(ns)).c_str(), O_RDONLY | O_CLOEXEC);
            if (net < 0) return;
            if (::setns(net, CLONE_NEWNET) == 0) fd = ::socket(domain, type | SOCK_CLOEXEC, protocol);
            ::close(net);
        }).join();
        return fd;
    }
    std::string Name(const std::string& name) const { return "tarnix" + std::to_string(getpid()) + name; }

private:
    static bool Run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }
    std::vector<std::string> names_;
};

} // namespace tarnix::e2e
