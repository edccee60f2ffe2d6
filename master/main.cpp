// TarnixM: the master. It polls up to four remote computers and powers this computer down when
// all of them have been silent for too long.

#include <QApplication>

#include <array>
#include <memory>

#include "common/CommandLine.h"
#include "common/InstanceGuard.h"
#include "common/ShutdownModule.h"
#include "master/MasterProgram.h"
#include "master/ReadPortsOnTick.h"
#include "master/TarnixMMain.h"
#include "platform/AbstractSocketMutex.h"
#include "platform/LinuxDesktop.h"
#include "platform/LogindPower.h"
#include "platform/ProcessControl.h"
#include "platform/SystemClock.h"
#include "platform/TerminationSignal.h"
#include "platform/UdpDatagramPort.h"
#include "platform/UrlOpener.h"
#include "ui/ApplicationSetup.h"
#include "ui/MultiInst.h"
#include "ui/QtMessageBoxes.h"

using namespace tarnix;

int main(int argc, char** argv) {
    const std::string commandLine = CommandLineOf(argc, argv);
    QApplication app(argc, argv);
    PrepareApplication(app, ProgramKind::Master);

    AbstractSocketMutex mutexes;
    InstanceMutex instance(mutexes);
    if (!ClaimInstance(ProgramKind::Master, commandLine, instance)) {
        ShowInstanceNotice(ProgramKind::Master);
        return app.exec();
    }

    TarnixMMain window(OpenUrlInBrowser);
    QtMessageBoxes boxes(&window);
    LogindPower logind;
    ShutdownModule power(logind, ExecutableName(argv[0]));
    SystemClock clock;
    LinuxDesktop desktop;
    ProcessControl control;
    std::array<std::unique_ptr<UdpDatagramPort>, 5> sockets;
    std::array<DatagramPort*, 5> ports{};
    for (std::size_t i = 1; i <= 4; ++i) {
        sockets[i] = std::make_unique<UdpDatagramPort>(UdpDatagramPort::kDefaultReadsPerEvent,
                                                       UdpDatagramPort::Reading::OnRequest);
        ports[i] = sockets[i].get();
    }

    MasterProgram program(commandLine, ProgramServices{window, boxes, power, clock, control, window, desktop},
                          window, ports);
    ReadPortsOnTick events(program, sockets);
    window.SetEvents(&events);
    CallOnTerminationSignal([&program] { program.OnTerminationSignal(); });
    // The load sequence runs before the window shows, so a start in the tray never flashes it.
    program.Load();
    if (!window.IsMinimised()) window.show();
    return app.exec();
}
