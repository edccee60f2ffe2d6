#pragma once

#include <string>

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
    // text, then on each terminal the advice that fits its user: forOperators where that user may
    // press Reset and Test unasked (root and the operators' group), forOthers elsewhere.
    virtual void Warn(const std::string& text, const std::string& forOperators,
                      const std::string& forOthers) = 0;
};

} // namespace tarnix
