#include "ChildRoles.h"

#include "Helpers.h"
#include "platform/AbstractSocketMutex.h"
#include "platform/RemoteHostAddress.h"
#include "platform/UdpDatagramPort.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace tarnix::test {

namespace {

int HoldMutex(const std::string& name) {
    AbstractSocketMutex mutexes;
    const std::optional<int> handle = mutexes.CreateOwned(name);
    std::puts(!handle ? "taken" : *handle < 0 ? "failed" : "held");
    std::fflush(stdout);
    if (!handle || *handle < 0) return 0;
    for (;;)
        ::pause(); // until the test kills us
}

// A fresh namespace has only a loopback interface, and it is down: nothing is reachable and no
// name server answers, so nothing here can reach beyond this process.
int NoRouteChecks(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    int failures = 0;
    const auto check = [&failures](bool ok, const char* what) {
        std::printf("%s %s\n", ok ? "ok" : "FAILED", what);
        failures += ok ? 0 : 1;
    };

    UdpDatagramPort port;
    check(port.Bind(0), "a port binds while loopback is down");
    check(port.SetRemoteHost("127.0.0.1") && port.SetRemotePort(10000), "the port is addressed");
    check(!port.Send("<TNA100>"), "a send without a route fails");

    RemoteHostAddress name;
    name.Set("tarnix-peer.invalid");
    check(!name.Current().has_value(), "a name has no address before its answer");
    RunEventsUntil([&name] { return !name.LookupRunning(); });
    check(!name.LookupRunning(), "a lookup without a name server ends");
    check(!name.Current().has_value(), "a failed lookup gives no address");

    UdpDatagramPort named;
    named.SetRemoteHost("tarnix-peer.invalid");
    named.SetRemotePort(10000);
    check(!named.Send("<TNA100>"), "a send to an unresolved name fails");
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}

// The folder's hosts and nsswitch.conf stand in for the machine's, in a mount namespace of this
// process alone: names come from that hosts file only, and no name server is ever asked.
bool UseHostsFileOf(const std::string& folder) {
    if (::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    for (const char* file : {"hosts", "nsswitch.conf"}) {
        const std::string own = folder + "/" + file;
        const std::string machine = std::string("/etc/") + file;
        if (::mount(own.c_str(), machine.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    }
    return true;
}

int SeveralAddressesChecks(int argc, char** argv, const std::string& folder) {
    if (!UseHostsFileOf(folder)) {
        std::printf("no mount namespace of its own: %s\n", std::strerror(errno));
        return kNamespaceRefused;
    }
    QCoreApplication application(argc, argv);
    int failures = 0;
    const auto check = [&failures](bool ok, const char* what) {
        std::printf("%s %s\n", ok ? "ok" : "FAILED", what);
        failures += ok ? 0 : 1;
    };

    RemoteHostAddress name;
    name.Set("tarnix-peer.test");
    RunEventsUntil([&name] { return !name.LookupRunning(); });
    check(name.Current() == 0x7f000003u, "the name's first address is sent to");
    check(name.Matches(0x7f000003u) && name.Matches(0x7f000004u), "every address of the name matches");
    check(!name.Matches(0x7f000005u), "another address does not match");
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}

} // namespace

int RunChildRole(int argc, char** argv) {
    int first = 1;
    if (std::string(argv[first]) == "--child-netns") {
        if (::unshare(CLONE_NEWNET) != 0) {
            std::printf("unshare(CLONE_NEWNET) refused: %s\n", std::strerror(errno));
            return kNamespaceRefused;
        }
        ++first;
    }
    const std::string role = first < argc ? argv[first] : "";
    if (role == "--child-hold-mutex" && first + 1 < argc) return HoldMutex(argv[first + 1]);
    if (role == "--child-no-route-checks") return NoRouteChecks(argc, argv);
    if (role == "--child-several-addresses" && first + 1 < argc)
        return SeveralAddressesChecks(argc, argv, argv[first + 1]);
    std::printf("unknown child role %s\n", role.c_str());
    return 2;
}

} // namespace tarnix::test
