#include "common/log/RunningLog.h"

#include <utility>

namespace tarnix {

namespace {

const std::string LineEnd = "\r\n";

// Whole seconds between two local times; a clock set back counts as no time.
long SecondsBetween(std::tm from, std::tm to) {
    const std::time_t start = std::mktime(&from);
    const std::time_t end = std::mktime(&to);
    if (start == -1 || end == -1 || end < start) return 0;
    return static_cast<long>(end - start);
}

} // namespace

RunningLog::RunningLog(const LogFile& file, const Clock& clock) : file_(file), clock_(clock) {}

std::optional<FatalError> RunningLog::Append(const std::string& text) {
    if (Lost()) {
        Keep(text);
        return std::nullopt;
    }
    auto error = file_.AppendLines(text);
    if (!error) return std::nullopt;
    lostSince_ = clock_.LocalNow();
    Keep(text);
    return error;
}

void RunningLog::RetryKeptLines(const LogLineState& stateNow) {
    if (!Lost()) return;
    // A log deleted with its folder comes back once someone makes the folder again.
    if (file_.CreateLogFile()) return;
    std::string text;
    for (const std::string& line : kept_)
        text += line + LineEnd;
    text += ClosingLines(stateNow);
    if (file_.AppendLines(text)) return;
    lostSince_.reset();
    kept_.clear();
    dropped_ = 0;
}

void RunningLog::Keep(const std::string& text) {
    if (kept_.size() < KeptLinesLimit) {
        kept_.push_back(text);
    } else {
        ++dropped_;
    }
}

std::string RunningLog::ClosingLines(const LogLineState& stateNow) const {
    std::string text;
    if (dropped_ > 0)
        text = file_.FormatLine("Log Drop", std::to_string(dropped_) + " lines", stateNow) + LineEnd;
    const long seconds = SecondsBetween(*lostSince_, clock_.LocalNow());
    return text + file_.FormatLine("Log Lost", std::to_string(seconds) + "s", stateNow);
}

} // namespace tarnix
