#pragma once

#include <optional>
#include <string>

#include "common/program/Journal.h"
#include "common/program/ProgramStatus.h"
#include "common/program/WatchdogCommands.h"

namespace tarnix {

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

// The program's commands as the bus offers them: a button pressed for someone says in the
// journal who it was, before it is pressed.
class JournalledCommands final : public WatchdogCommands {
public:
    JournalledCommands(WatchdogCommands& program, JournalSink& sink) : program_(program), sink_(sink) {}
    ProgramStatus Status() const override { return program_.Status(); }
    void ResetClick() override { program_.ResetClick(); }
    void TestClick() override { program_.TestClick(); }
    void PressedBy(const std::string& button, const std::string& who) override;

private:
    WatchdogCommands& program_;
    JournalSink& sink_;
};

} // namespace tarnix
