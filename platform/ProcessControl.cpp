#include "platform/ProcessControl.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Priority.h"

namespace tarnix {

void ProcessControl::RaisePriority() {
    RaiseProcessPriority();
}

void ProcessControl::EndProgram(ProgramEnd end) {
    // At once: no further timer or socket event may be handled, and nothing is left to save
    // (the log and the configuration are closed after every write).
    std::fflush(nullptr);
    std::_Exit(ExitStatusOf(end));
}

} // namespace tarnix
