#include "service/ServiceFace.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "common/base/CommandLine.h"
#include "common/base/TextEncoding.h"
#include "common/config/ConfigFile.h"
#include "common/program/ProgramNames.h"
#include "platform/HookRunner.h"
#include "platform/Priority.h"
#include "platform/TerminationSignal.h"

namespace tarnix {
namespace {

// The file the service reads, as the administrator knows it: its program folder's Data/ is a
// link to /etc/tarnix.
std::string ConfigFileShown(ProgramKind kind) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(ConfigFileName(kind), error);
    return (error ? std::filesystem::absolute(ConfigFileName(kind), error) : real).string();
}

std::string UnitOf(ProgramKind kind) {
    return kind == ProgramKind::Master ? "tarnix-master" : "tarnix-slave";
}

} // namespace

void StderrJournal::Line(JournalPriority priority, const std::string& text) {
    // A value from a file must not start a line of its own in the journal.
    const std::string line =
        "<" + std::to_string(static_cast<int>(priority)) + ">" + EscapeControlCharacters(text) + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
}

void ServiceControl::RaisePriority() {
    RaiseProcessPriority();
}

void ServiceControl::EndProgram(ProgramEnd end) {
    if (beforeEnd_) beforeEnd_();
    std::fflush(nullptr);
    std::_Exit(ExitStatusOf(end));
}

ServiceFace::ServiceFace(int& argc, char** argv, ProgramKind kind, std::string commandLine)
    : kind_(kind), commandLine_(std::move(commandLine)), app_(argc, argv), boxes_(journal_),
      shutdown_(logind_, ExecutableName(argv[0])), power_(shutdown_, journal_),
      timer_(SupervisionTickMs(kind)), ticks_(notify_), statusJournal_(journal_, &wall_),
      claim_(ServiceClaim::DefaultFolder()) {
    timer_.SetObserver(&ticks_);
    const std::string file = ConfigFileShown(kind);
    boxes_.SetConfigurationAdvice("Correct " + file + ", then: systemctl restart " + UnitOf(kind) + ".");
}

bool ServiceFace::ClaimInstance() {
    if (AllowMultiGiven(commandLine_)) return true;
    std::string whyNot;
    if (claim_.Claim(whyNot)) {
        countdown_.emplace(claim_.Folder());
        control_.BeforeEnd([this] { countdown_->Drop(); });
        return true;
    }
    journal_.Line(JournalPriority::Error, ProgramTitleOf(kind_) + ": " + whyNot);
    return false;
}

ProgramServices ServiceFace::Services() {
    return ProgramServices{.timer = timer_,
                           .boxes = boxes_,
                           .power = power_,
                           .clock = clock_,
                           .control = control_,
                           .statusObserver = followers_,
                           .sealing = sealing_,
                           .events = events_};
}

void ServiceFace::FollowSignals(ProgramBase& program) {
    const auto stop = [this, &program](const char* name) {
        return [this, &program, name] {
            journal_.Line(JournalPriority::Notice,
                          ProgramTitleOf(kind_) + ": " + name + " received: supervision ends");
            program.OnTerminationSignal();
        };
    };
    CallOnSignal(SIGTERM, stop("SIGTERM"));
    CallOnSignal(SIGINT, stop("SIGINT"));
    CallOnSignal(SIGHUP, [this, &program] { Reload(program); });
}

// What a failed check refuses, the box's line says; what was taken, this line.
void ServiceFace::Reload(ProgramBase& program) {
    if (program.ReloadConfiguration())
        journal_.Line(JournalPriority::Notice, ProgramTitleOf(kind_) +
                                                   ": configuration and key files read again from " +
                                                   ConfigFileShown(kind_) + "; supervision starts again");
}

void ServiceFace::ResumeCountdown(ProgramBase& program, std::optional<int> leftOver) {
    if (!leftOver) return;
    if (program.ResumeCountdown(*leftOver)) {
        journal_.Line(JournalPriority::Warning, ProgramTitleOf(kind_) +
                                                    ": countdown resumed after a restart of the service, " +
                                                    std::to_string(*leftOver) + " seconds left");
    } else {
        journal_.Line(JournalPriority::Notice,
                      ProgramTitleOf(kind_) + ": the countdown cannot be resumed without a configuration");
    }
}

// The bus is a window onto the service, not part of its guarding: without it the service still
// supervises, says so, and tries again.
int ServiceFace::Run(ProgramBase& program) {
    timer_.SetEvents(&program);
    FollowSignals(program);
    ServiceBus bus(program, journal_, notify_, ProgramTitleOf(kind_));
    bus.Keep();
    followers_.Add(bus);
    events_.Add(bus);
    HookRunner hooks(HookRunner::ProgramHooksFolder(), ::getuid(),
                     [this, &program](const std::string& line, bool failure) {
                         journal_.Line(failure ? JournalPriority::Warning : JournalPriority::Info,
                                       ProgramTitleOf(kind_) + ": " + line);
                         program.LogHookLine(line, failure);
                     });
    events_.Add(hooks);
    ticks_.Follow(bus);
    // Read before the load sequence's activation reports a phase that would drop it.
    const std::optional<int> leftOver = countdown_ ? countdown_->TakeLeftOver() : std::nullopt;
    if (countdown_) followers_.Add(*countdown_);
    // A resumed countdown's journal begins with the countdown, not with the activation the load
    // sequence passes through on its way there.
    if (!leftOver) followers_.Add(statusJournal_);
    program.Load();
    if (leftOver) followers_.Add(statusJournal_);
    ResumeCountdown(program, leftOver);
    notify_.Send("READY=1");
    return app_.exec();
}

} // namespace tarnix
