#include "service/StatusJournal.h"

#include "common/program/ProgramNames.h"
#include "common/program/WatchdogBusNames.h"

namespace tarnix {
namespace {

std::string Seconds(int seconds) {
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

// What the countdown ends in, as a sentence's end.
std::string ActionIn(const ProgramStatus& status) {
    if (status.monitorOnly) return ProgramTitleOf(status.kind) + " will close in " + Seconds(status.timeLeft);
    return "the computer will " + status.action + " in " + Seconds(status.timeLeft);
}

bool CountdownShown(const ProgramStatus& status) {
    return status.phase == PhaseCountdown && !status.testRun;
}

std::string RemoteName(const RemoteComputerStatus& remote) {
    if (remote.name.empty()) return remote.address;
    return remote.name + " (" + remote.address + ")";
}

} // namespace

StatusJournal::StatusJournal(JournalSink& sink, TerminalMessages* terminals)
    : sink_(sink), terminals_(terminals) {}

void StatusJournal::StatusChanged(const ProgramStatus& status) {
    ProgramStatus first;
    first.kind = status.kind;
    const ProgramStatus before = last_.value_or(first);
    CommandLines(before, status);
    PhaseLines(before, status);
    RemoteLines(before, status);
    LookupLines(before, status);
    WarnTerminals(before, status);
    last_ = status;
}

void StatusJournal::CommandLines(const ProgramStatus& before, const ProgramStatus& now) {
    if (now.resets != before.resets) sink_.Line(JournalPriority::Notice, "Reset: supervision starts again");
    if (now.tests != before.tests)
        sink_.Line(JournalPriority::Notice, "Test: a test run starts; nothing will be powered down");
}

void StatusJournal::PhaseLines(const ProgramStatus& before, const ProgramStatus& now) {
    if (now.unconfigured && !before.unconfigured) {
        sink_.Line(JournalPriority::Warning,
                   "Not configured: supervision waits for a complete configuration");
        return;
    }
    if (now.phase == before.phase && last_) return;
    switch (now.phase) {
    case PhaseActivation:
        if (!last_ || before.phase != PhaseActivation)
            sink_.Line(JournalPriority::Info, "Activation: supervision starts in " + Seconds(now.count));
        if (last_ && CountdownShown(before))
            sink_.Line(JournalPriority::Notice, "Countdown cancelled: nothing will be powered down");
        return;
    case PhaseRun:
        sink_.Line(JournalPriority::Info, "Run: " + now.action +
                                              " the computer if communications are lost for over " +
                                              Seconds(now.lostCommsLimit));
        return;
    case PhaseCountdown:
        if (now.testRun) return; // a test run ends without a countdown
        sink_.Line(JournalPriority::Warning, WhatIsLost(now) + ": " + ActionIn(now));
        return;
    }
}

void StatusJournal::RemoteLines(const ProgramStatus& before, const ProgramStatus& now) {
    if (now.kind != ProgramKind::Master) return;
    for (std::size_t i = 0; i < now.remote.size(); ++i) {
        const RemoteComputerStatus& was = before.remote[i];
        const RemoteComputerStatus& is = now.remote[i];
        if (!is.configured || !is.link || is.link == was.link) continue;
        const bool connected = *is.link == LinkState::Connected;
        // A first "Connected" is news, a first silence is only the start of a countdown's story.
        if (!was.link && !connected) continue;
        sink_.Line(connected ? JournalPriority::Info : JournalPriority::Warning,
                   "Remote computer " + std::to_string(i + 1) + ", " + RemoteName(is) + ": " +
                       LinkWord(*is.link));
    }
}

// Once per outage of a name: the link counts as lost meanwhile, and this says why.
void StatusJournal::LookupLines(const ProgramStatus& before, const ProgramStatus& now) {
    if (!now.masterLookupFailure.empty() && before.masterLookupFailure.empty())
        sink_.Line(JournalPriority::Warning, "The master: " + now.masterLookupFailure);
    for (std::size_t i = 0; i < now.remote.size(); ++i) {
        const RemoteComputerStatus& is = now.remote[i];
        if (is.lookupFailure.empty() || !before.remote[i].lookupFailure.empty()) continue;
        sink_.Line(JournalPriority::Warning, "Remote computer " + std::to_string(i + 1) + ", " +
                                                 RemoteName(is) + ": " + is.lookupFailure);
    }
}

// At the countdown's start, every minute of it, and ten seconds before its end; and when a
// reset cancels it.
void StatusJournal::WarnTerminals(const ProgramStatus& before, const ProgramStatus& now) {
    if (terminals_ == nullptr) return;
    const std::string title = ProgramTitleOf(now.kind);
    if (CountdownShown(now)) {
        const bool started = !CountdownShown(before);
        const bool changed = started || now.timeLeft != before.timeLeft;
        const bool due = started || (now.timeLeft > 0 && (now.timeLeft % 60 == 0 || now.timeLeft == 10));
        if (changed && due)
            terminals_->Warn(title + ": " + WhatIsLost(now) + "; " + ActionIn(now) + ".",
                             "You can cancel it: tarnixctl reset.",
                             std::string("Root and members of the group ") + WatchdogOperatorGroup +
                                 " can cancel it.");
        return;
    }
    if (CountdownShown(before))
        terminals_->Broadcast(title + ": the countdown was cancelled; nothing will be powered down.");
}

void JournalledCommands::PressedBy(const std::string& button, const std::string& who) {
    sink_.Line(JournalPriority::Notice, button + " pressed over the bus by " + who);
    program_.PressedBy(button, who);
}

std::string StatusJournal::WhatIsLost(const ProgramStatus& status) const {
    return status.kind == ProgramKind::Master ? "Communications with every remote computer lost"
                                              : "Communications with the master lost";
}

} // namespace tarnix
