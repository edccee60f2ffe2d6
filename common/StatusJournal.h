#pragma once

#include <optional>
#include <string>

#include "common/ProgramStatus.h"
#include "common/WatchdogCommands.h"

namespace tarnix {

// sd-daemon priorities, as the journal keeps them.
enum class JournalPriority { Critical = 2, Error = 3, Warning = 4, Notice = 5, Info = 6 };

// Where a face without windows writes its lines: the journal, by standard error.
class JournalSink {
public:
    virtual ~JournalSink() = default;
    virtual void Line(JournalPriority priority, const std::string& text) = 0;
};

// The people logged in at the computer, warned the way shutdown warns them.
class TerminalMessages {
public:
    virtual ~TerminalMessages() = default;
    virtual void Broadcast(const std::string& text) = 0;
};

// What a window would have shown, as one journal line per event: the phase changes, each remote
// computer's link going and coming back, the countdown (and the terminals' warnings about it),
// Reset and Test. It compares each status with the one before.
class StatusJournal final : public StatusObserver {
public:
    // terminals: none where nobody is to be warned.
    StatusJournal(JournalSink& sink, TerminalMessages* terminals);
    void StatusChanged(const ProgramStatus& status) override;

private:
    void CommandLines(const ProgramStatus& before, const ProgramStatus& now);
    void PhaseLines(const ProgramStatus& before, const ProgramStatus& now);
    void RemoteLines(const ProgramStatus& before, const ProgramStatus& now);
    void LookupLines(const ProgramStatus& before, const ProgramStatus& now);
    void WarnTerminals(const ProgramStatus& before, const ProgramStatus& now);
    std::string WhatIsLost(const ProgramStatus& status) const;

    JournalSink& sink_;
    TerminalMessages* terminals_;
    std::optional<ProgramStatus> last_;
};

} // namespace tarnix
