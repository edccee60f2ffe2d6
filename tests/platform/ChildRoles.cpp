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
    std::printf("unknown child role %s\n", role.c_str());
    return 2;
}

} // namespace tarnix::test
