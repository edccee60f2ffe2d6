#pragma once

#include "common/base/Clock.h"
#include "common/log/LogFile.h"
#include "common/program/MessageBox.h"

#include <cstddef>
#include <ctime>
#include <deque>
#include <optional>
#include <string>

namespace tarnix {

// The log of a program that is guarding its computer. A watchdog must not stop guarding because
// its diary cannot be written: a line that cannot be appended is kept, and the kept lines are
// tried again each second. When they go in, a "Log Lost" line says for how long the log could
// not be written. Only so many lines are kept; the rest are counted in a "Log Drop" line.
class RunningLog {
public:
    static constexpr std::size_t KeptLinesLimit = 1000;

    RunningLog(const LogFile& file, const Clock& clock);

    // Appends text (one line or several joined by CR LF), or keeps it while the log is lost.
    // Returns the error that began an outage, once per outage, for the program to report.
    std::optional<FatalError> Append(const std::string& text);
    // Once a second: during an outage, writes the kept lines when the log works again.
    // stateNow marks the lines that close the outage, as any line written now would be.
    void RetryKeptLines(const LogLineState& stateNow);
    bool Lost() const { return lostSince_.has_value(); }

private:
    void Keep(const std::string& text);
    std::string ClosingLines(const LogLineState& stateNow) const;

    const LogFile& file_;
    const Clock& clock_;
    std::optional<std::tm> lostSince_;
    std::deque<std::string> kept_;
    std::size_t dropped_ = 0;
};

} // namespace tarnix
