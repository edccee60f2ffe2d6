#pragma once

// Test computers made of network namespaces joined by veth links, created and removed by the
// test itself. Their addresses exist only inside these namespaces.

#include <unistd.h>

#include <cstdlib>
#include <string>
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
    std::string Name(const std::string& name) const { return "tarnix" + std::to_string(getpid()) + name; }

private:
    static bool Run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }
    std::vector<std::string> names_;
};

} // namespace tarnix::e2e
