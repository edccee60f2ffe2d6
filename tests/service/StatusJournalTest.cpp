// What a face without windows writes for the journal and the terminals, from the program's
// status as it changes, and its boxes as lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/JournalBoxes.h"
#include "service/StatusJournal.h"
#include "support/Fakes.h"

namespace tarnix::testing {
namespace {

struct Recorder : JournalSink, TerminalMessages {
    std::vector<std::string> lines, broadcasts;
    void Line(JournalPriority priority, const std::string& text) override {
        lines.push_back("<" + std::to_string(static_cast<int>(priority)) + ">" + text);
    }
    void Broadcast(const std::string& text) override { broadcasts.push_back(text); }
    void Warn(const std::string& text, const std::string& forOperators,
              const std::string& forOthers) override {
        broadcasts.push_back(text + " [" + forOperators + " | " + forOthers + "]");
    }
};

ProgramStatus Slave(SupervisionPhase phase, std::int16_t count, std::int16_t timeLeft = 0) {
    ProgramStatus status;
    status.kind = ProgramKind::Slave;
    status.phase = phase;
    status.count = count;
    status.timeLeft = timeLeft;
    status.lostCommsLimit = 30;
    status.action = "Power Off";
    return status;
}

// A slave's whole story: activation, run, a lost master, the countdown with its warnings, and
// the reset that cancels it.
TEST(StatusJournal, TellsTheStoryOfACountdownAndWarnsTheTerminals) {
    Recorder out;
    StatusJournal journal(out, &out);
    journal.StatusChanged(Slave(PhaseActivation, 2));
    journal.StatusChanged(Slave(PhaseActivation, 1));
    journal.StatusChanged(Slave(PhaseRun, 0));
    journal.StatusChanged(Slave(PhaseRun, 5));
    for (std::int16_t left = 125; left >= 9; --left)
        journal.StatusChanged(Slave(PhaseCountdown, static_cast<std::int16_t>(125 - left), left));
    ProgramStatus reset = Slave(PhaseActivation, 2);
    reset.resets = 1;
    journal.StatusChanged(reset);

    EXPECT_EQ(out.lines,
              (std::vector<std::string>{
                  "<6>Activation: supervision starts in 2 seconds",
                  "<6>Run: Power Off the computer if communications are lost for over 30 seconds",
                  "<4>Communications with the master lost: the computer will Power Off in 125 seconds",
                  "<5>Reset: supervision starts again",
                  "<6>Activation: supervision starts in 2 seconds",
                  "<5>Countdown cancelled: nothing will be powered down",
              }));
    const std::string end =
        " [You can cancel it: tarnixctl reset. | Root and members of the group tarnix can cancel it.]";
    EXPECT_EQ(
        out.broadcasts,
        (std::vector<std::string>{
            "Tarnix Slave: Communications with the master lost; the computer will Power Off in 125 seconds." +
                end,
            "Tarnix Slave: Communications with the master lost; the computer will Power Off in 120 seconds." +
                end,
            "Tarnix Slave: Communications with the master lost; the computer will Power Off in 60 seconds." +
                end,
            "Tarnix Slave: Communications with the master lost; the computer will Power Off in 10 seconds." +
                end,
            "Tarnix Slave: the countdown was cancelled; nothing will be powered down.",
        }));
}

TEST(StatusJournal, AMastersLinksGoingAndComingBackAndATestRun) {
    Recorder out;
    StatusJournal journal(out, nullptr);
    ProgramStatus status;
    status.phase = PhaseRun;
    status.action = "Reboot";
    status.lostCommsLimit = 6;
    status.remote[0] = {true, "Alpha", "10.0.0.2", std::nullopt, "", ""};
    status.remote[2] = {true, "", "pc3.lab", std::nullopt, "", ""};
    journal.StatusChanged(status);
    out.lines.clear();
    const std::string noName = "the name pc3.lab cannot be looked up: Host not found";
    const struct {
        const char* first;
        const char* third;
        std::string thirdLookup;
        std::vector<std::string> lines;
    } steps[] = {
        {"Connected", "Not Connected", "", {"<6>Remote computer 1, Alpha (10.0.0.2): Connected"}},
        {"Connected", "Not Connected", "", {}},
        {"Not Connected",
         "Connected",
         "",
         {"<4>Remote computer 1, Alpha (10.0.0.2): Not Connected",
          "<6>Remote computer 3, pc3.lab: Connected"}},
        {"Data Error", "Connected", "", {"<4>Remote computer 1, Alpha (10.0.0.2): Data Error"}},
        // A name that cannot be looked up is said once per outage, however long it lasts.
        {"Data Error",
         "Not Connected",
         noName,
         {"<4>Remote computer 3, pc3.lab: Not Connected", "<4>Remote computer 3, pc3.lab: " + noName}},
        {"Data Error", "Not Connected", noName, {}},
        {"Data Error", "Not Connected", "", {}},
        {"Data Error", "Not Connected", noName, {"<4>Remote computer 3, pc3.lab: " + noName}},
    };
    for (const auto& step : steps) {
        status.remote[0].link = LinkFromWord(step.first);
        status.remote[2].link = LinkFromWord(step.third);
        status.remote[2].lookupFailure = step.thirdLookup;
        journal.StatusChanged(status);
        EXPECT_EQ(out.lines, step.lines) << step.first << "/" << step.third;
        out.lines.clear();
    }
    status.tests = 1;
    status.testRun = true;
    status.phase = PhaseActivation;
    status.count = 2;
    journal.StatusChanged(status);
    status.phase = PhaseCountdown; // a test run ends here, without a countdown
    journal.StatusChanged(status);
    EXPECT_EQ(out.lines, (std::vector<std::string>{"<5>Test: a test run starts; nothing will be powered down",
                                                   "<6>Activation: supervision starts in 2 seconds"}));
}

TEST(JournalBoxes, EachBoxIsOneLineAtItsSeverityAndNothingWaits) {
    const struct {
        BoxIcon icon;
        BoxButtons buttons;
        const char* line;
        BoxAnswer answer;
    } cases[] = {
        {BoxIcon::Error, BoxButtons::YesNo, "<3>Tarnix Port Error: In Use. End?", BoxAnswer::Yes},
        {BoxIcon::Warning, BoxButtons::Ok, "<4>Tarnix Port Error: In Use. End?", BoxAnswer::Ok},
        {BoxIcon::Information, BoxButtons::Ok, "<5>Tarnix Port Error: In Use. End?", BoxAnswer::Ok},
        {BoxIcon::None, BoxButtons::Ok, "<5>Tarnix Port Error: In Use. End?", BoxAnswer::Ok},
    };
    for (const auto& c : cases) {
        Recorder out;
        JournalBoxes boxes(out);
        EXPECT_EQ(boxes.Show("Tarnix Port Error", {"In Use.", "End?"}, c.icon, c.buttons), c.answer);
        EXPECT_EQ(out.lines, std::vector<std::string>{c.line});
    }
    Recorder out;
    JournalBoxes boxes(out);
    boxes.Notify("Tarnix Log File Error", {"Unable to write."}, BoxIcon::Warning);
    EXPECT_EQ(out.lines, std::vector<std::string>{"<4>Tarnix Log File Error: Unable to write."});
}

TEST(JournalledPower, AnnouncesEachActionAsCriticalBeforeAskingForIt) {
    Recorder out;
    FakePower power;
    JournalledPower journalled(power, out);
    power.failWith = PowerActionError(5, "ShutdownSystem", "refused");
    EXPECT_THROW(journalled.ShutdownSystem(12), PowerActionError);
    EXPECT_EQ(out.lines,
              std::vector<std::string>{"<2>Countdown expired: asking logind to act (action code 12)"});
    power.failWith.reset();
    EXPECT_TRUE(journalled.HibernateSystem());
    EXPECT_EQ(power.calls, (std::vector<std::string>{"ShutdownSystem(12)", "HibernateSystem"}));
}

// Who pressed goes to the journal, and on to the program for its log.
TEST(JournalledCommands, NamesWhoPressed) {
    struct Program : WatchdogCommands {
        std::string by;
        ProgramStatus Status() const override { return {}; }
        void ResetClick() override {}
        void TestClick() override {}
        void PressedBy(const std::string& button, const std::string& who) override {
            by = button + " " + who;
        }
    } program;
    Recorder out;
    JournalledCommands(program, out).PressedBy("Test", "alice (uid 1000)");
    EXPECT_EQ(out.lines, std::vector<std::string>{"<5>Test pressed over the bus by alice (uid 1000)"});
    EXPECT_EQ(program.by, "Test alice (uid 1000)");
}

} // namespace
} // namespace tarnix::testing
