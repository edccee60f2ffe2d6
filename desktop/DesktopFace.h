#pragma once

#include <QApplication>

#include <optional>
#include <string>

#include "common/program/InstanceGuard.h"
#include "common/program/ProgramBase.h"
#include "common/supervision/ShutdownModule.h"
#include "desktop/notify/NotificationPlan.h"
#include "desktop/ui/MainWindowBase.h"
#include "desktop/ui/QtMessageBoxes.h"
#include "desktop/window/StatusPresenter.h"
#include "desktop/window/WindowPlacement.h"
#include "desktop/window/WindowRules.h"
#include "platform/AbstractSocketMutex.h"
#include "platform/DesktopNotifications.h"
#include "platform/HookRunner.h"
#include "platform/LinuxDesktop.h"
#include "platform/LogindPower.h"
#include "platform/ProcessControl.h"
#include "platform/QtSupervisionTimer.h"
#include "platform/SodiumSealing.h"
#include "platform/SystemClock.h"

namespace tarnix {

// What both desktop programs wire alike: the application, the instance claim, the real seams of
// a program with windows, and the run of its load sequence and event loop. A program's main adds
// its own window, its datagram ports and its logic.
class DesktopFace {
public:
    DesktopFace(int& argc, char** argv, ProgramKind kind);

    const std::string& CommandLine() const { return commandLine_; }
    // A Tarnix service runs on this computer and the program was not told to run beside it
    // ("-AllowMulti"): it then shows that service's window instead of supervising.
    bool ShowsService() const;
    // Started only to show the service's window ("-ServiceWindow"): without a service, nothing.
    bool ServiceWindowOnly() const;
    // False when another instance runs: the notice is then shown instead, and RunNotice() waits
    // for it.
    bool ClaimInstance();
    int RunNotice();

    // The seams of a program whose main window is window.
    ProgramServices Services(MainWindowBase& window);
    QtSupervisionTimer& Timer() { return timer_; }
    // Adds a part of the window that follows how things stand (the master's rows).
    void Follow(StatusObserver& observer) { followers_.Add(observer); }

    // Wires the window to the program (its status band, placement and commands; cpuLoad: the
    // slave's CPU band) and the termination signal, runs the load sequence and the event loop.
    int Run(ProgramBase& program, MainWindowBase& window, CpuLoadBandView* cpuLoad = nullptr);

private:
    ProgramKind kind_;
    std::string commandLine_;
    QApplication app_;
    AbstractSocketMutex mutexes_;
    InstanceMutex instance_;
    LogindPower logind_;
    ShutdownModule power_;
    SystemClock clock_;
    LinuxDesktop desktop_;
    ProcessControl control_;
    QtSupervisionTimer timer_;
    SodiumSealing sealing_;
    StatusFanOut followers_;
    EventFanOut events_; // the hooks
    std::optional<QtMessageBoxes> boxes_;
    std::optional<StatusPresenter> band_;
    std::optional<WindowPlacement> placement_;
    std::optional<WindowRules> rules_;
    std::optional<DesktopNotifications> notifications_;
    std::optional<NotificationPlan> notices_;
    std::optional<HookRunner> hooks_;
};

} // namespace tarnix
