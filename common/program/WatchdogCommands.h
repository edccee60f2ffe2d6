#pragma once

#include <string>
#include <vector>

#include "common/program/ProgramStatus.h"
#include "common/program/StatusSteps.h"

namespace tarnix {

// What a face without windows may ask of a running program: how things stand, and the two
// buttons that act on supervision (logged as the buttons are).
class WatchdogCommands {
public:
    virtual ~WatchdogCommands() = default;
    virtual ProgramStatus Status() const = 0;
    virtual void ResetClick() = 0;
    virtual void TestClick() = 0;
    // Said just before a button is pressed for someone else than the person at the window:
    // who (a user name and uid) pressed it.
    virtual void PressedBy(const std::string& /*button*/, const std::string& /*who*/) {}
};

// Told how things stand whenever they may have changed: after every tick, reset and test. It may
// be told the same status again. What shows the steps on the way (a window) hears them too.
class StatusObserver {
public:
    virtual ~StatusObserver() = default;
    virtual void StatusChanged(const ProgramStatus& status) = 0;
    virtual void StepTaken(const StatusStep& /*step*/, const ProgramStatus& /*status*/) {}
    // Whether it follows the steps too: the logic works out the status at each step only for a
    // face that has such a part (a window), not on every tick of a service.
    virtual bool TakesSteps() const { return false; }
};

// Fans how things stand out to every part of a face that follows it; with none, nobody hears.
class StatusFanOut final : public StatusObserver {
public:
    void Add(StatusObserver& observer) {
        observers_.push_back(&observer);
        takesSteps_ = takesSteps_ || observer.TakesSteps();
    }
    void StatusChanged(const ProgramStatus& status) override {
        for (StatusObserver* observer : observers_)
            observer->StatusChanged(status);
    }
    void StepTaken(const StatusStep& step, const ProgramStatus& status) override {
        for (StatusObserver* observer : observers_)
            observer->StepTaken(step, status);
    }
    bool TakesSteps() const override { return takesSteps_; }

private:
    std::vector<StatusObserver*> observers_;
    bool takesSteps_ = false;
};

} // namespace tarnix
