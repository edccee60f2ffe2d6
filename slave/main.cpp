// TarnixS: the slave. It answers its master's polls and powers this computer down when the
// master has been silent for too long.

#include <QApplication>

#include "common/CommandLine.h"
#include "common/InstanceGuard.h"
#include "common/ShutdownModule.h"
#include "platform/AbstractSocketMutex.h"
#include "platform/LinuxDesktop.h"
#include "platform/LogindPower.h"
#include "platform/ProcessControl.h"
#include "platform/SystemClock.h"
#include "platform/TerminationSignal.h"
#include "platform/UdpDatagramPort.h"
#include "platform/UrlOpener.h"
#include "slave/SlaveProgram.h"
#include "slave/TarnixSMain.h"
#include "ui/ApplicationSetup.h"
#include "ui/MultiInst.h"
#include "ui/QtMessageBoxes.h"

using namespace tarnix;

int main(int argc, char** argv) {
    const std::string commandLine = CommandLineOf(argc, argv);
    QApplication app(argc, argv);
    PrepareApplication(app, ProgramKind::Slave);

    AbstractSocketMutex mutexes;
    InstanceMutex instance(mutexes);
    if (!ClaimInstance(ProgramKind::Slave, commandLine, instance)) {
        ShowInstanceNotice(ProgramKind::Slave);
        return app.exec();
    }

    TarnixSMain window(OpenUrlInBrowser);
    QtMessageBoxes boxes(&window);
    LogindPower logind;
    ShutdownModule power(logind, ExecutableName(argv[0]));
    SystemClock clock;
    LinuxDesktop desktop;
    ProcessControl control;
    UdpDatagramPort socket;

    SlaveProgram program(commandLine, ProgramServices{window, boxes, power, clock, control, window, desktop},
                         window, socket);
    window.SetEvents(&program);
    CallOnTerminationSignal([&program] { program.OnTerminationSignal(); });
    // The load sequence runs before the window shows, so a start in the tray never flashes it.
    program.Load();
    if (!window.IsMinimised()) window.show();
    return app.exec();
}
