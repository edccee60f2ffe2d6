#include "desktop/DesktopFace.h"

#include "common/base/CommandLine.h"
#include "common/program/ProgramNames.h"
#include "desktop/ui/ApplicationSetup.h"
#include "desktop/ui/MultiInst.h"
#include "platform/ServiceClaim.h"

#include "platform/TerminationSignal.h"
#include <unistd.h>

namespace tarnix {

DesktopFace::DesktopFace(int& argc, char** argv, ProgramKind kind)
    : kind_(kind), commandLine_(CommandLineOf(argc, argv)), app_(argc, argv), instance_(mutexes_),
      power_(logind_, ExecutableName(argv[0])), timer_(SupervisionTickMs(kind)) {
    PrepareApplication(app_, kind);
}

bool DesktopFace::ShowsService() const {
    return !AllowMultiGiven(commandLine_) && RunningService(ServiceClaim::DefaultFolder());
}

bool DesktopFace::ServiceWindowOnly() const {
    return ServiceWindowGiven(commandLine_);
}

// The service counts as an instance too: its claim is one no user can fake.
bool DesktopFace::ClaimInstance() {
    const bool serviceRuns = !AllowMultiGiven(commandLine_) && RunningService(ServiceClaim::DefaultFolder());
    if (!serviceRuns && tarnix::ClaimInstance(kind_, commandLine_, instance_)) return true;
    ShowInstanceNotice(kind_);
    return false;
}

int DesktopFace::RunNotice() {
    return app_.exec();
}

ProgramServices DesktopFace::Services(MainWindowBase& window) {
    boxes_.emplace(&window);
    return ProgramServices{.timer = timer_,
                           .boxes = *boxes_,
                           .power = power_,
                           .clock = clock_,
                           .control = control_,
                           .statusObserver = followers_,
                           .sealing = sealing_,
                           .events = events_};
}

int DesktopFace::Run(ProgramBase& program, MainWindowBase& window, CpuLoadBandView* cpuLoad) {
    band_.emplace(SupervisionLookOf(kind_), window, cpuLoad);
    placement_.emplace(window, program.Config());
    rules_.emplace(program, *placement_, window, window, desktop_);
    notifications_.emplace(QString::fromStdString(ProgramTitleOf(kind_)));
    notices_.emplace(*notifications_);
    notices_->SetResetAllowed(true); // the program's own Reset, as its button
    QObject::connect(&*notifications_, &DesktopNotifications::ResetInvoked,
                     [&program] { program.ResetClick(); });
    for (StatusObserver* part :
         std::initializer_list<StatusObserver*>{&*band_, &*placement_, &*rules_, &*notices_})
        followers_.Add(*part);
    window.SetEvents(&*rules_);
    hooks_.emplace(HookRunner::ProgramHooksFolder(), ::getuid(),
                   [&program](const std::string& line, bool failure) { program.LogHookLine(line, failure); });
    events_.Add(*hooks_);
    timer_.SetEvents(&program);
    CallOnTerminationSignal([&program] { program.OnTerminationSignal(); });
    // The load sequence runs before the window shows, so a start in the tray never flashes it.
    program.Load();
    if (!window.IsMinimised()) window.show();
    return app_.exec();
}

} // namespace tarnix
