// TarnixS: the slave. It answers its master's polls and powers this computer down when the
// master has been silent for too long.

#include "desktop/DesktopFace.h"
#include "desktop/attached/ServiceWindow.h"
#include "desktop/slave/TarnixSMain.h"
#include "platform/UdpDatagramPort.h"
#include "platform/UrlOpener.h"
#include "slave/SlaveProgram.h"

using namespace tarnix;

int main(int argc, char** argv) {
    DesktopFace face(argc, argv, ProgramKind::Slave);
    if (face.ShowsService()) return RunServiceWindow(ProgramKind::Slave, face.ServiceWindowOnly());
    if (face.ServiceWindowOnly()) return 0; // the session's autostart, on a computer without the service
    if (!face.ClaimInstance()) return face.RunNotice();

    TarnixSMain window(OpenUrlInBrowser);
    UdpDatagramPort socket;
    SlaveProgram program(face.CommandLine(), face.Services(window), socket);
    return face.Run(program, window, &window);
}
