#include "desktop/window/StatusReplay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnix {
namespace {

// The steps a window was told, as short words.
class Steps final : public StatusObserver {
public:
    std::vector<std::string> taken;
    void StatusChanged(const ProgramStatus&) override { taken.push_back("status"); }
    void StepTaken(const StatusStep& step, const ProgramStatus&) override {
        switch (step.step) {
        case Step::Supervision:
            taken.push_back(Change(step.change));
            return;
        case Step::Loading:
            taken.push_back("loading");
            return;
        case Step::TextsRefreshed:
            taken.push_back("texts");
            return;
        case Step::TestModeEntered:
            taken.push_back("test");
            return;
        case Step::LinkError:
            taken.push_back("error");
            return;
        case Step::RowsShown:
            taken.push_back("rows");
            return;
        case Step::Detached:
            taken.push_back("detached");
            return;
        default:
            taken.push_back("other");
        }
    }

private:
    static std::string Change(SupervisionChange change) {
        switch (change) {
        case SupervisionChange::Reset:
            return "reset";
        case SupervisionChange::ActivationCounted:
            return "activation";
        case SupervisionChange::LinkHeard:
            return "heard";
        case SupervisionChange::LinkSilent:
            return "silent";
        case SupervisionChange::CountdownSecond:
            return "second";
        case SupervisionChange::CountdownBegins:
            return "begins";
        case SupervisionChange::CountdownShown:
            return "countdown";
        }
        return "?";
    }
};

ProgramStatus Slave(SupervisionPhase phase, std::int16_t count, std::int16_t timeLeft = 0) {
    ProgramStatus status;
    status.kind = ProgramKind::Slave;
    status.phase = phase;
    status.count = count;
    status.timeLeft = timeLeft;
    status.action = "Power Off";
    status.lostCommsLimit = 30;
    return status;
}

// The steps that follow the one status before it, as the service's own logic takes them.
TEST(StatusReplay, DrawsEachChangeOnceInTheStepsOfTheProgram) {
    ProgramStatus testRun = Slave(PhaseActivation, 2);
    testRun.testRun = true;
    ProgramStatus dataError = Slave(PhaseRun, 3);
    dataError.masterLink = LinkState::DataError;
    struct {
        const char* what;
        ProgramStatus before, now;
        std::vector<std::string> steps;
    } const cases[] = {
        {"a second of activation",
         Slave(PhaseActivation, 3),
         Slave(PhaseActivation, 2),
         {"activation", "status"}},
        {"nothing new", Slave(PhaseRun, 0), Slave(PhaseRun, 0), {"status"}},
        {"heard", Slave(PhaseRun, 2), Slave(PhaseRun, 0), {"heard", "status"}},
        {"silent", Slave(PhaseRun, 1), Slave(PhaseRun, 2), {"silent", "status"}},
        {"a datagram it cannot read", Slave(PhaseRun, 2), dataError, {"silent", "error", "status"}},
        {"the countdown begins",
         Slave(PhaseRun, 29),
         Slave(PhaseCountdown, 0, 60),
         {"begins", "second", "countdown", "status"}},
        {"a second of it",
         Slave(PhaseCountdown, 0, 60),
         Slave(PhaseCountdown, 1, 59),
         {"second", "countdown", "status"}},
        {"a reset",
         Slave(PhaseCountdown, 1, 59),
         Slave(PhaseActivation, 2),
         {"other", "reset", "texts", "activation", "status"}},
        {"a reset within the activation",
         Slave(PhaseActivation, 1),
         Slave(PhaseActivation, 2),
         {"other", "reset", "texts", "activation", "status"}},
        {"a test run",
         Slave(PhaseRun, 0),
         testRun,
         {"other", "reset", "texts", "test", "activation", "status"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Steps window;
        StatusReplay replay(ProgramKind::Slave, window);
        replay.Follow(c.before);
        window.taken.clear();
        replay.Follow(c.now);
        EXPECT_EQ(window.taken, c.steps);
    }
}

TEST(StatusReplay, AStoppedServiceIsDrawnAfreshWhenItComesBack) {
    Steps window;
    StatusReplay replay(ProgramKind::Master, window);
    replay.Lost();
    ProgramStatus master = Slave(PhaseRun, 0);
    master.kind = ProgramKind::Master;
    replay.Follow(master);
    replay.Follow(master);
    replay.Lost();
    replay.Follow(master);
    const std::vector<std::string> attach = {"loading", "other", "reset", "texts", "other", "other",
                                             "other",   "heard", "rows",  "other", "status"};
    std::vector<std::string> expected = {"detached"};
    expected.insert(expected.end(), attach.begin(), attach.end());
    expected.push_back("status"); // the repeat draws nothing
    expected.push_back("detached");
    expected.insert(expected.end(), attach.begin(), attach.end());
    EXPECT_EQ(window.taken, expected);
}

} // namespace
} // namespace tarnix
