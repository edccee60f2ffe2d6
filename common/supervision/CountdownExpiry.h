#pragma once

#include <functional>

#include <string>

#include "common/config/ConfigRecord.h"
#include "common/program/MessageBox.h"
#include "common/supervision/PowerActions.h"
#include "common/supervision/Supervision.h"
#include "common/supervision/SupervisionTimer.h"

namespace tarnix {

// How the action at the countdown's end leaves the program.
enum class ExpiryEnd {
    ProgramCloses,    // the program must end now
    ComputerSuspends, // the program must reset, then call Suspend
};

// What happens when the supervision countdown expires: the power action, or under
// "-InhibitShutdown" a box that only names it, and the log lines around it. Power errors are
// not caught here: the program ends with their report.
class CountdownExpiry {
public:
    // holdTicks: stops the supervision timer until the program's next refresh.
    CountdownExpiry(std::string programTitle, const ConfigRecord& config, std::function<void()> holdTicks,
                    MessageBoxes& boxes, PowerActions& power, Supervision& supervision, SupervisionLog& log);

    // Logs and performs (or simulates) the action up to the point where the program acts. A
    // closing action has logged "Close" when this returns.
    ExpiryEnd Act();
    // After the program's reset, so that supervision starts with its activation on resumption:
    // suspends the computer (unless simulated) and logs the restart.
    void Suspend();

private:
    void ShowSimulationBox();

    std::string programTitle_;
    const ConfigRecord& config_;
    std::function<void()> holdTicks_;
    MessageBoxes& boxes_;
    PowerActions& power_;
    Supervision& supervision_;
    SupervisionLog& log_;
};

} // namespace tarnix
