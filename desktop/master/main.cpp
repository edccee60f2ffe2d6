// TarnixM: the master. It polls up to four remote computers and powers this computer down when
// all of them have been silent for too long.

#include <array>
#include <memory>

#include "desktop/DesktopFace.h"
#include "desktop/master/TarnixMMain.h"
#include "master/MasterProgram.h"
#include "platform/UdpDatagramPort.h"
#include "platform/UrlOpener.h"

using namespace tarnix;

int main(int argc, char** argv) {
    DesktopFace face(argc, argv, ProgramKind::Master);
    if (!face.ClaimInstance()) return face.RunNotice();

    TarnixMMain window(OpenUrlInBrowser);
    // The master reads its sockets at its own ticks, so replies cost it no wakeups of their own.
    std::array<std::unique_ptr<UdpDatagramPort>, RemoteComputerCount + 1> sockets;
    std::array<DatagramPort*, RemoteComputerCount + 1> ports{};
    for (std::size_t i = 1; i < sockets.size(); ++i) {
        sockets[i] = std::make_unique<UdpDatagramPort>(UdpDatagramPort::kDefaultReadsPerEvent,
                                                       UdpDatagramPort::Reading::OnRequest);
        ports[i] = sockets[i].get();
    }
    MasterProgram program(face.CommandLine(), face.Services(window), &window, ports);
    face.Timer().SetObserver(&window);
    return face.Run(program, window);
}
