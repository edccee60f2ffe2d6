// tarnixd: the master's or the slave's logic as a system service, for computers nobody is
// logged into. `tarnixd --master` or `tarnixd --slave`, then the programs' own switches.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/base/CommandLine.h"
#include "master/MasterProgram.h"
#include "platform/MasterSockets.h"
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
    MasterSockets sockets;
    MasterProgram program(face.CommandLine(), face.Services(), sockets.Ports());
    return face.Run(program);
}

int RunSlave(ServiceFace& face) {
    UdpDatagramPort socket;
    SlaveProgram program(face.CommandLine(), face.Services(), socket);
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
