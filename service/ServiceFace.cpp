#include "service/ServiceFace.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "common/CommandLine.h"
#include "common/ProgramNames.h"
#include "common/TextEncoding.h"
#include "platform/Priority.h"
#include "platform/TerminationSignal.h"
#include "platform/WatchdogBus.h"

namespace tarnix {

void StderrJournal::Line(JournalPriority priority, const std::string& text) {
    // A value from a file must not start a line of its own in the journal.
    const std::string line =
        "<" + std::to_string(static_cast<int>(priority)) + ">" + EscapeControlCharacters(text) + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
}

void ServiceControl::RaisePriority() {
    RaiseProcessPriority();
}

void ServiceControl::EndProgram() {
    std::fflush(nullptr);
    std::_Exit(boxes_.Failed() ? 1 : 0);
}

ServiceFace::ServiceFace(int& argc, char** argv, ProgramKind kind, std::string commandLine)
    : kind_(kind), commandLine_(std::move(commandLine)), app_(argc, argv), boxes_(journal_),
      shutdown_(logind_, ExecutableName(argv[0])), power_(shutdown_, journal_), control_(boxes_),
      timer_(SupervisionTickMs(kind)), ping_(notify_), statusJournal_(journal_, &wall_),
      claim_(ServiceClaim::DefaultFolder()) {
    timer_.SetObserver(&ping_);
    followers_.Add(statusJournal_);
}

bool ServiceFace::ClaimInstance() {
    if (AllowMultiGiven(commandLine_)) return true;
    std::string whyNot;
    if (claim_.Claim(whyNot)) return true;
    journal_.Line(JournalPriority::Error, ProgramTitleOf(kind_) + ": " + whyNot);
    return false;
}

ProgramServices ServiceFace::Services() {
    return ProgramServices{.timer = timer_,
                           .boxes = boxes_,
                           .power = power_,
                           .clock = clock_,
                           .control = control_,
                           .statusObserver = &followers_,
                           .sealing = &sealing_};
}

// The bus is a window onto the service, not part of its guarding: without it the service still
// supervises, and says so.
int ServiceFace::Run(ProgramBase& program) {
    timer_.SetEvents(&program);
    CallOnTerminationSignal([&program] { program.OnTerminationSignal(); });
    WatchdogBus bus(program, QDBusConnection::systemBus());
    QString whyNot;
    if (bus.Register(whyNot)) {
        followers_.Add(bus);
    } else {
        journal_.Line(JournalPriority::Warning,
                      ProgramTitleOf(kind_) +
                          ": no status or commands on the system bus: " + whyNot.toStdString());
    }
    program.Load();
    notify_.Send("READY=1");
    return app_.exec();
}

} // namespace tarnix
