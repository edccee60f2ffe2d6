#pragma once

namespace tarnix {

// The few things the programs' logic asks of the process it runs in.
class ProgramControl {
public:
    virtual ~ProgramControl() = default;
    // Raises the process towards a higher scheduling priority; failures are ignored.
    virtual void RaisePriority() = 0;
    // Ends the program at once: no further event is handled. Never returns in production.
    virtual void EndProgram() = 0;
};

} // namespace tarnix
