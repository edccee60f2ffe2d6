// tarnixd: the master's or the slave's logic as a system service, for computers nobody is
// logged into. `tarnixd --master` or `tarnixd --slave`, then the programs' own switches.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/CommandLine.h"
#include "master/MasterProgram.h"
#include "platform/UdpDatagramPort.h"
#include "service/ServiceFace.h"
#include "slave/SlaveProgram.h"

using namespace tarnix;

namespace {

int Usage() {
    std::fputs("usage: tarnixd --master|--slave [-InhibitShutdown] [-AllowMulti]\n", stderr);
    return 2;
}

int RunMaster(ServiceFace& face) {
    std::array<std::unique_ptr<UdpDatagramPort>, RemoteComputerCount + 1> sockets;
    std::array<DatagramPort*, RemoteComputerCount + 1> ports{};
    for (std::size_t i = 1; i < sockets.size(); ++i) {
        sockets[i] = std::make_unique<UdpDatagramPort>(UdpDatagramPort::kDefaultReadsPerEvent,
                                                       UdpDatagramPort::Reading::OnRequest);
        ports[i] = sockets[i].get();
    }
    MasterProgram program(face.CommandLine(), face.Services(), nullptr, ports);
    return face.Run(program);
}

int RunSlave(ServiceFace& face) {
    UdpDatagramPort socket;
    SlaveProgram program(face.CommandLine(), face.Services(), nullptr, socket);
    return face.Run(program);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string role = argv[1];
    if (role != "--master" && role != "--slave") return Usage();
    const ProgramKind kind = role == "--master" ? ProgramKind::Master : ProgramKind::Slave;
    // The programs' own switches follow the role, as they would on a desktop program's command line.
    // JoinCommandLine leaves out its first argument, here the role.
    const std::string commandLine = JoinCommandLine(std::vector<std::string>(argv + 1, argv + argc));

    ServiceFace face(argc, argv, kind, commandLine);
    if (!face.ClaimInstance()) return 1;
    return kind == ProgramKind::Master ? RunMaster(face) : RunSlave(face);
}
