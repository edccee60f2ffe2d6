#pragma once

namespace tarnix {

// How a program ends, which its exit status tells a service manager, a launcher or a script.
enum class ProgramEnd {
    Closed,        // the user closed it, a signal ended it, or its countdown closed it: 0
    Failed,        // a box reported why it cannot go on: 1
    NotConfigured, // its configuration or key file failed the checks at start: 6, systemd's
                   // "not configured", which a restart cannot cure
};

constexpr int ExitStatusOf(ProgramEnd end) {
    switch (end) {
    case ProgramEnd::Failed:
        return 1;
    case ProgramEnd::NotConfigured:
        return 6;
    case ProgramEnd::Closed:
        break;
    }
    return 0;
}

// The few things the programs' logic asks of the process it runs in.
class ProgramControl {
public:
    virtual ~ProgramControl() = default;
    // Raises the process towards a higher scheduling priority; failures are ignored.
    virtual void RaisePriority() = 0;
    // Ends the program at once: no further event is handled. Never returns in production.
    virtual void EndProgram(ProgramEnd end) = 0;
};

} // namespace tarnix
