#include "service/CountdownRecord.h"

#include <time.h>

#include <fstream>
#include <system_error>

#include "common/base/AtomicFile.h"

namespace tarnix {

CountdownRecord::CountdownRecord(std::filesystem::path folder) : file_(std::move(folder) / "countdown") {}

std::int64_t CountdownRecord::NowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::optional<int> CountdownRecord::TakeLeftOver() {
    std::ifstream in(file_);
    std::int64_t deadlineMs = 0;
    const bool read = static_cast<bool>(in >> deadlineMs);
    Drop();
    if (!read) return std::nullopt;
    const std::int64_t leftMs = deadlineMs - NowMs();
    if (leftMs <= 0) return 0;
    // No countdown lasts longer than a day; a deadline beyond it is no countdown's.
    constexpr std::int64_t DayMs = 24 * 3600 * 1000;
    if (leftMs > DayMs) return std::nullopt;
    return static_cast<int>((leftMs + 999) / 1000);
}

void CountdownRecord::StatusChanged(const ProgramStatus& status) {
    // A test run ends where a countdown would begin.
    const bool countingDown = status.phase == PhaseCountdown && !status.testRun;
    if (countingDown == recorded_) return;
    if (!countingDown) return Drop();
    const std::int64_t deadlineMs = NowMs() + std::int64_t{status.timeLeft} * 1000;
    // Without the record a restart starts over, as it did before there was one: worth no more
    // than trying again at the next change.
    recorded_ = ReplaceFileContents(file_, std::to_string(deadlineMs) + "\n");
}

void CountdownRecord::Drop() {
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
    recorded_ = false;
}

} // namespace tarnix
