#pragma once

#include "common/display/AuxWindows.h"
#include "common/supervision/Supervision.h"

namespace tarnix {

// The steps an event of the program goes through, each told with how things stand at that step,
// so that a window can move its controls in the same steps. A face without windows follows the
// settled status only.
enum class Step {
    Supervision,      // the machine reported `change`
    Loading,          // the load sequence has read the configuration
    TextsRefreshed,   // after a start, reset or test: the texts afresh; `mayMinimise`
    Loaded,           // the load sequence is over
    ResetBegins,      // a countdown is being cancelled
    TestModeEntered,  //
    LinkError,        // the slave heard a datagram it cannot read, or none at all
    LinksCleared,     // the master's links wait for their first evaluation
    RowsCleared,      // the master's rows from `firstRow` on lose their status
    LettersCleared,   // the master's action letters; `freshRows`: the " ---" marks go too
    RowsShown,        // the master's rows show its remote computers
    NetworkShown,     // the master's poll pass: whether every poll could be sent
    AuxWindowExpired, // `expired` ran out of time and closes
    Ending,           // the program ends now
    Detached,         // a window that follows a service: the service has stopped
};

struct StatusStep {
    Step step;
    SupervisionChange change = SupervisionChange::Reset;
    bool mayMinimise = false;
    int firstRow = 0;
    bool freshRows = false;
    AuxWindow expired = AuxWindow::None;
};

} // namespace tarnix
