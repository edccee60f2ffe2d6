// TarnixM: the master. It polls up to four remote computers and powers this computer down when
// all of them have been silent for too long.

#include "desktop/DesktopFace.h"
#include "desktop/attached/ServiceWindow.h"
#include "desktop/master/TarnixMMain.h"
#include "desktop/window/PeerRowsPresenter.h"
#include "master/MasterProgram.h"
#include "platform/MasterSockets.h"
#include "platform/UrlOpener.h"

using namespace tarnix;

int main(int argc, char** argv) {
    DesktopFace face(argc, argv, ProgramKind::Master);
    if (face.ShowsService()) return RunServiceWindow(ProgramKind::Master, face.ServiceWindowOnly());
    if (face.ServiceWindowOnly()) return 0; // the session's autostart, on a computer without the service
    if (!face.ClaimInstance()) return face.RunNotice();

    TarnixMMain window(OpenUrlInBrowser);
    MasterSockets sockets;
    MasterProgram program(face.CommandLine(), face.Services(window), sockets.Ports());
    PeerRowsPresenter rows(window);
    face.Follow(rows);
    face.Timer().SetObserver(&window);
    return face.Run(program, window);
}
