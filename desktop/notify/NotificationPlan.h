#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "common/display/Notifier.h"
#include "common/program/ProgramStatus.h"
#include "common/program/WatchdogCommands.h"

namespace tarnix {

// Which desktop notices how things stand deserves: a countdown kept up to date until it ends, a
// master's remote computer lost or back while others are heard, and a test run's start and end.
// It compares each status with the one before.
class NotificationPlan final : public StatusObserver {
public:
    explicit NotificationPlan(Notifier& notifier);

    // Whether the countdown's notice offers Reset: only where the user's Reset would be obeyed.
    // Off until told.
    void SetResetAllowed(bool allowed);

    void StatusChanged(const ProgramStatus& status) override;
    // A service that stopped takes its countdown's notice with it; what it tells when it comes
    // back is news from its first status on.
    void StepTaken(const StatusStep& step, const ProgramStatus& status) override;

private:
    void CountdownNotices(const ProgramStatus* before, const ProgramStatus& now);
    void ShowCountdown(const ProgramStatus& status);
    void TestRunNotices(const ProgramStatus& before, const ProgramStatus& now);
    void LinkNotices(const ProgramStatus& before, const ProgramStatus& now);

    Notifier& notifier_;
    bool resetAllowed_ = false;
    bool countdownUp_ = false;
    bool cancelledUp_ = false;
    std::int16_t countdownShownAt_ = 0; // the time left the countdown's notice shows
    std::array<bool, RemoteComputerCount> lostUp_{};
    std::optional<ProgramStatus> last_;
};

} // namespace tarnix
