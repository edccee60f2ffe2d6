#include "desktop/notify/NotificationPlan.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace tarnix {
namespace {

// Each call as one line: "<slot> <summary after the title>", "!" for critical, "+R" where Reset is
// offered; or "close <slot>".
class RecordingNotifier : public Notifier {
public:
    std::vector<std::string> calls;
    std::vector<Notice> shown;

    void Show(const Notice& notice) override {
        shown.push_back(notice);
        calls.push_back(Name(notice.slot) + (notice.urgency == NoticeUrgency::Critical ? "! " : " ") +
                        notice.summary.substr(notice.summary.find(": ") + 2) +
                        (notice.offersReset ? " +R" : ""));
    }
    void Close(NoticeSlot slot) override { calls.push_back("close " + Name(slot)); }

private:
    static std::string Name(NoticeSlot slot) {
        const char* names[] = {"countdown", "cancelled", "test", "remote1", "remote2", "remote3", "remote4"};
        return names[static_cast<int>(slot)];
    }
};

ProgramStatus Slave(SupervisionPhase phase, int timeLeft = 60, std::uint32_t resets = 0) {
    ProgramStatus status;
    status.kind = ProgramKind::Slave;
    status.phase = phase;
    status.timeLeft = static_cast<std::int16_t>(timeLeft);
    status.action = "Power Off";
    status.resets = resets;
    return status;
}

ProgramStatus Tested(SupervisionPhase phase, std::uint32_t tests, bool running = true) {
    ProgramStatus status = Slave(phase);
    status.testRun = running;
    status.tests = tests;
    return status;
}

// A master whose remote computers' links read one letter each: C connected, E data error,
// N nothing heard, ? not judged yet, - not configured.
ProgramStatus Master(SupervisionPhase phase, const std::string& links) {
    ProgramStatus status = Slave(phase);
    status.kind = ProgramKind::Master;
    for (std::size_t i = 0; i < links.size(); ++i) {
        RemoteComputerStatus& remote = status.remote[i];
        remote.configured = links[i] != '-';
        remote.name = "PC" + std::to_string(i + 1);
        remote.address = "10.0.0." + std::to_string(i + 1);
        if (links[i] == 'C') remote.link = LinkState::Connected;
        if (links[i] == 'E') remote.link = LinkState::DataError;
        if (links[i] == 'N') remote.link = LinkState::Nothing;
    }
    return status;
}

// Each second told twice, as ticks may tell it, after a status in Run.
std::vector<ProgramStatus> CountingDown(int from, int to, std::vector<ProgramStatus> after = {}) {
    std::vector<ProgramStatus> statuses{Slave(PhaseRun)};
    for (int left = from; left >= to; --left)
        statuses.insert(statuses.end(), 2, Slave(PhaseCountdown, left));
    statuses.insert(statuses.end(), after.begin(), after.end());
    return statuses;
}

std::vector<std::string> Shown(std::initializer_list<int> secondsLeft, const std::string& reset = "") {
    std::vector<std::string> calls;
    for (int left : secondsLeft)
        calls.push_back("countdown! Power Off in " + std::to_string(left) + " s" + reset);
    return calls;
}

std::vector<std::string> Then(std::vector<std::string> first, std::initializer_list<std::string> next) {
    first.insert(first.end(), next);
    return first;
}

struct PlanCase {
    const char* name;
    bool resetAllowed;
    std::vector<ProgramStatus> statuses;
    std::vector<std::string> calls;
};

const PlanCase Cases[] = {
    {"UpdatesAtWholeMinutesAndInTheLastTenSeconds", true, CountingDown(125, 1),
     Shown({125, 120, 60, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, " +R")},
    {"UnderWayAtTheFirstStatus", false, {Slave(PhaseCountdown, 37), Slave(PhaseCountdown, 36)}, Shown({37})},
    {"ResetCancels", false, CountingDown(3, 2, {Slave(PhaseActivation, 60, 1), Slave(PhaseRun, 60, 1)}),
     Then(Shown({3, 2}), {"close countdown", "cancelled countdown cancelled"})},
    {"ResetInTheLastSecondStillCancels", false, CountingDown(1, 1, {Slave(PhaseActivation, 60, 1)}),
     Then(Shown({1}), {"close countdown", "cancelled countdown cancelled"})},
    {"ExpiryClosesWithoutCancelling", false, CountingDown(2, 1, {Slave(PhaseActivation)}),
     Then(Shown({2, 1}), {"close countdown"})},
    {"CancelledNoticeGoesWithTheNextCountdown",
     false,
     {Slave(PhaseCountdown, 5), Slave(PhaseActivation, 60, 1), Slave(PhaseCountdown, 60, 1)},
     Then(Shown({5}), {"close countdown", "cancelled countdown cancelled", "close cancelled",
                       "countdown! Power Off in 60 s"})},
    {"TestRunStartsAndEnds",
     false,
     {Slave(PhaseRun), Tested(PhaseActivation, 1), Tested(PhaseRun, 1), Tested(PhaseCountdown, 1),
      Tested(PhaseActivation, 1, false)},
     {"test test run", "test test run ended"}},
    {"TestPressedAgainDuringATestRun",
     false,
     {Tested(PhaseRun, 1), Tested(PhaseActivation, 2), Tested(PhaseActivation, 2)},
     {"test test run"}},
    {"TestCancelsTheCountdownFirst",
     false,
     {Slave(PhaseCountdown, 50), Tested(PhaseActivation, 1)},
     Then(Shown({50}), {"close countdown", "cancelled countdown cancelled", "test test run"})},
    {"RemoteLostAndBackWhileOthersAreHeard",
     false,
     {Master(PhaseRun, "CCC-"), Master(PhaseRun, "NCC-"), Master(PhaseRun, "NCC-"), Master(PhaseRun, "ECC-"),
      Master(PhaseRun, "CCC-"), Master(PhaseRun, "CEC-")},
     {"remote1 PC1 lost", "remote1 PC1 is back", "remote2 PC2 lost"}},
    {"EveryRemoteLostAtOnceIsTheCountdownsNews",
     false,
     {Master(PhaseRun, "CC--"), Master(PhaseRun, "NN--"), Master(PhaseRun, "NC--")},
     {}},
    {"RemoteHeardFirstOrAfterAnUnannouncedLossIsNoNews",
     false,
     {Master(PhaseRun, "?CN-"), Master(PhaseRun, "CCC-")},
     {}},
    {"LinksDuringActivationAndOnTheFirstStatusAreNoNews",
     false,
     {Master(PhaseRun, "NCC-"), Master(PhaseActivation, "NCC-"), Master(PhaseActivation, "CNC-"),
      Master(PhaseRun, "NCC-")},
     {}},
    {"LostBeforeAResetIsBackAfterIt",
     false,
     {Master(PhaseRun, "CC--"), Master(PhaseRun, "NC--"), Master(PhaseActivation, "NC--"),
      Master(PhaseRun, "NC--"), Master(PhaseRun, "CC--")},
     {"remote1 PC1 lost", "remote1 PC1 is back"}},
};

void PrintTo(const PlanCase& plan, std::ostream* out) {
    *out << plan.name;
}

class NotificationPlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(NotificationPlanTest, NoticesFollowTheStatuses) {
    RecordingNotifier notifier;
    NotificationPlan plan(notifier);
    plan.SetResetAllowed(GetParam().resetAllowed);
    for (const ProgramStatus& status : GetParam().statuses)
        plan.StatusChanged(status);
    EXPECT_EQ(notifier.calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(Sequences, NotificationPlanTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<PlanCase>& info) { return info.param.name; });

TEST(NotificationPlan, TextsNameTheProgramTheActionTheLostLinkAndTheTimeLeft) {
    RecordingNotifier notifier;
    NotificationPlan slavePlan(notifier);
    slavePlan.StatusChanged(Slave(PhaseCountdown, 60));
    NotificationPlan masterPlan(notifier);
    masterPlan.StatusChanged(Master(PhaseRun, "CC--"));
    masterPlan.StatusChanged(Master(PhaseRun, "CE--"));
    ProgramStatus monitor = Master(PhaseCountdown, "NN--");
    monitor.monitorOnly = true;
    monitor.timeLeft = 1;
    masterPlan.StatusChanged(monitor);
    ASSERT_EQ(notifier.shown.size(), 3u);
    EXPECT_EQ(notifier.shown[0].summary, "Tarnix Slave: Power Off in 60 s");
    EXPECT_EQ(notifier.shown[0].body,
              "Communications with the master lost. The computer will Power Off in 60 seconds.");
    EXPECT_EQ(notifier.shown[1].summary, "Tarnix: PC2 lost");
    EXPECT_EQ(notifier.shown[1].body,
              "Remote computer 2, PC2 (10.0.0.2): Data Error. The others are still heard.");
    EXPECT_EQ(notifier.shown[2].summary, "Tarnix: closes in 1 s");
    EXPECT_EQ(notifier.shown[2].body,
              "Communications with every remote computer lost. Tarnix will close in 1 second.");
}

TEST(NotificationPlan, ResetPermissionRedrawsOnlyALiveCountdown) {
    RecordingNotifier notifier;
    NotificationPlan plan(notifier);
    plan.SetResetAllowed(true); // no countdown yet
    plan.StatusChanged(Slave(PhaseCountdown, 30));
    plan.SetResetAllowed(false);
    plan.SetResetAllowed(false);
    plan.StatusChanged(Slave(PhaseActivation, 60, 1));
    plan.SetResetAllowed(true);
    EXPECT_EQ(notifier.calls,
              Then(Shown({30}, " +R"), {Shown({30})[0], "close countdown", "cancelled countdown cancelled"}));
}

// The service stopped in its countdown: its notice goes, and a countdown it resumes is shown anew.
TEST(NotificationPlan, AStoppedServiceTakesItsCountdownNoticeWithIt) {
    RecordingNotifier notifier;
    NotificationPlan plan(notifier);
    plan.StatusChanged(Slave(PhaseCountdown, 40));
    plan.StepTaken({.step = Step::Detached}, Slave(PhaseCountdown, 40));
    plan.StepTaken({.step = Step::Detached}, Slave(PhaseCountdown, 40));
    plan.StatusChanged(Slave(PhaseCountdown, 37));
    EXPECT_EQ(notifier.calls, (std::vector<std::string>{"countdown! Power Off in 40 s", "close countdown",
                                                        "countdown! Power Off in 37 s"}));
}

} // namespace
} // namespace tarnix
