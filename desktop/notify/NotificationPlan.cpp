#include "desktop/notify/NotificationPlan.h"

#include "common/program/ProgramNames.h"

namespace tarnix {
namespace {

static_assert(static_cast<int>(NoticeSlot::Remote4) - static_cast<int>(NoticeSlot::Remote1) + 1 ==
              RemoteComputerCount);

std::string Seconds(int seconds) {
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

// A test run's end passes through the countdown's phase without showing one.
bool CountdownShown(const ProgramStatus& status) {
    return status.phase == PhaseCountdown && !status.testRun;
}

// Often enough to follow from across the room, rarely enough not to flood the desktop.
bool UpdateDue(int timeLeft) {
    return timeLeft > 0 && (timeLeft % 60 == 0 || timeLeft <= 10);
}

// A countdown left in its last second without a Reset or Test has expired: its action is under
// way and nothing was cancelled. (Resumed at its very end, it was seen with no time left.)
bool Expired(const ProgramStatus& before, const ProgramStatus& now) {
    return before.timeLeft <= 1 && now.resets == before.resets && now.tests == before.tests;
}

std::string WhatIsLost(const ProgramStatus& status) {
    return status.kind == ProgramKind::Master ? "Communications with every remote computer lost"
                                              : "Communications with the master lost";
}

std::string ShortName(const RemoteComputerStatus& remote) {
    return remote.name.empty() ? remote.address : remote.name;
}

std::string FullName(std::size_t index, const RemoteComputerStatus& remote) {
    std::string name = "Remote computer " + std::to_string(index + 1) + ", " + ShortName(remote);
    if (!remote.name.empty()) name += " (" + remote.address + ")";
    return name;
}

bool Connected(const RemoteComputerStatus& remote) {
    return remote.configured && remote.link == LinkState::Connected;
}

bool OthersConnected(const ProgramStatus& status, std::size_t index) {
    for (std::size_t i = 0; i < status.remote.size(); ++i)
        if (i != index && Connected(status.remote[i])) return true;
    return false;
}

} // namespace

NotificationPlan::NotificationPlan(Notifier& notifier) : notifier_(notifier) {}

void NotificationPlan::SetResetAllowed(bool allowed) {
    if (allowed == resetAllowed_) return;
    resetAllowed_ = allowed;
    if (countdownUp_) ShowCountdown(*last_);
}

void NotificationPlan::StatusChanged(const ProgramStatus& status) {
    // A cancelled countdown is told before the test run that cancelled it.
    CountdownNotices(last_ ? &*last_ : nullptr, status);
    if (last_) {
        TestRunNotices(*last_, status);
        LinkNotices(*last_, status);
    }
    last_ = status;
}

void NotificationPlan::StepTaken(const StatusStep& step, const ProgramStatus&) {
    if (step.step != Step::Detached) return;
    if (countdownUp_) notifier_.Close(NoticeSlot::Countdown);
    countdownUp_ = false;
    last_.reset();
}

void NotificationPlan::CountdownNotices(const ProgramStatus* before, const ProgramStatus& now) {
    if (CountdownShown(now)) {
        if (!countdownUp_) {
            if (cancelledUp_) notifier_.Close(NoticeSlot::CountdownCancelled);
            cancelledUp_ = false;
            ShowCountdown(now);
        } else if (now.timeLeft != countdownShownAt_ && UpdateDue(now.timeLeft)) {
            ShowCountdown(now);
        }
        return;
    }
    if (!countdownUp_) return;
    countdownUp_ = false;
    notifier_.Close(NoticeSlot::Countdown);
    if (Expired(*before, now)) return;
    cancelledUp_ = true;
    notifier_.Show({NoticeSlot::CountdownCancelled, NoticeUrgency::Normal,
                    ProgramTitleOf(now.kind) + ": countdown cancelled",
                    "Supervision starts again; nothing will be powered down.", false});
}

void NotificationPlan::ShowCountdown(const ProgramStatus& status) {
    countdownUp_ = true;
    countdownShownAt_ = status.timeLeft;
    const std::string title = ProgramTitleOf(status.kind);
    const std::string what = status.monitorOnly ? "closes" : status.action;
    const std::string outcome =
        status.monitorOnly ? title + " will close" : "The computer will " + status.action;
    notifier_.Show({NoticeSlot::Countdown, NoticeUrgency::Critical,
                    title + ": " + what + " in " + std::to_string(status.timeLeft) + " s",
                    WhatIsLost(status) + ". " + outcome + " in " + Seconds(status.timeLeft) + ".",
                    resetAllowed_});
}

void NotificationPlan::TestRunNotices(const ProgramStatus& before, const ProgramStatus& now) {
    const std::string title = ProgramTitleOf(now.kind);
    if (now.testRun && (!before.testRun || now.tests != before.tests)) {
        notifier_.Show({NoticeSlot::TestRun, NoticeUrgency::Normal, title + ": test run",
                        "A test run starts; nothing will be powered down.", false});
    } else if (before.testRun && !now.testRun) {
        notifier_.Show({NoticeSlot::TestRun, NoticeUrgency::Normal, title + ": test run ended",
                        "Supervision starts again.", false});
    }
}

void NotificationPlan::LinkNotices(const ProgramStatus& before, const ProgramStatus& now) {
    // The links a status shows during the activation are those from before the reset; they are
    // judged afresh only once it has ended.
    if (now.kind != ProgramKind::Master || before.phase == PhaseActivation || now.phase == PhaseActivation)
        return;
    const std::string title = ProgramTitleOf(now.kind);
    for (std::size_t i = 0; i < now.remote.size(); ++i) {
        const RemoteComputerStatus& was = before.remote[i];
        const RemoteComputerStatus& is = now.remote[i];
        if (!is.configured) lostUp_[i] = false;
        if (!is.configured || !was.configured || is.link == was.link) continue;
        // With every link lost the countdown speaks for them all.
        if (Connected(was) && !Connected(is) && OthersConnected(now, i)) {
            lostUp_[i] = true;
            notifier_.Show({RemoteSlot(i), NoticeUrgency::Normal, title + ": " + ShortName(is) + " lost",
                            FullName(i, is) + ": " + LinkWord(is.link.value_or(LinkState::Nothing)) +
                                ". The others are still heard.",
                            false});
        } else if (Connected(is) && lostUp_[i]) {
            lostUp_[i] = false;
            notifier_.Show({RemoteSlot(i), NoticeUrgency::Normal, title + ": " + ShortName(is) + " is back",
                            FullName(i, is) + ": Connected again.", false});
        }
    }
}

} // namespace tarnix
