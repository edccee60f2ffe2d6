// The master's 500 ms cycle: the poll rhythm, the status rows, the poll pass and the datagram
// handler, with the slaves played by hand through the fake network.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/link/Datagram.h"
#include "support/Rigs.h"

namespace tarnix::testing {
namespace {

class MasterCycle : public ::testing::Test {
protected:
    ProgramFolder folder;
    FakeNetwork network;
    Settings settings = MasterSettings();
    std::unique_ptr<MasterRig> rig;
    // Stand-ins for slaves: ports bound where the master sends (Port1) and answering to nobody.
    std::vector<std::string> heardBySlaves;

    void Load(const std::string& commandLine = "") {
        folder.WriteMaster(settings);
        rig = std::make_unique<MasterRig>(network, commandLine);
        rig->program->Load();
    }
    // Ticks once and returns what the master sent to computer i in that tick.
    std::vector<std::string> TickAndCollect(int i) {
        const std::size_t before = rig->Port(i).sent.size();
        rig->Tick();
        const auto& sent = rig->Port(i).sent;
        return {sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()};
    }
    // A datagram arriving on the master's socket i.
    void Arrive(int i, const std::string& text) { rig->program->OnDatagram(i, text); }
};

TEST_F(MasterCycle, PollsOnlyInTheLastActivationSecondThenEveryTick) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["StartDelay"] = "3";
    Load();
    std::vector<std::size_t> polls;
    std::vector<int> counters;
    for (int tick = 0; tick < 8; ++tick) {
        polls.push_back(TickAndCollect(1).size());
        counters.push_back(rig->program->Machine().PhaseCounter());
    }
    // Evaluations run on ticks 2, 4, 6, 8: activation counts 2, 1, then 0 (run), then the first
    // silent second.
    EXPECT_EQ(polls, (std::vector<std::size_t>{0, 0, 0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(counters, (std::vector<int>{3, 2, 2, 1, 1, 0, 0, 1})); // then one silent second
    EXPECT_EQ(rig->Port(1).sent.front(), "<TNA100>");
}

TEST_F(MasterCycle, RowsShowNamesAddressesAndUnconfiguredComputers) {
    settings["CName1"] = "Alpha";
    settings["IPAdd1"] = "127.0.0.1";
    settings["IPAdd2"] = "127.0.0.2";
    Load();
    const FakeWindow& w = rig->window;
    EXPECT_EQ(w.RowText(0, RowBox::Comp), " Host");
    EXPECT_EQ(w.RowText(0, RowBox::Shut1), "P");
    EXPECT_EQ(w.RowText(1, RowBox::Comp), " Alpha");
    EXPECT_EQ(w.RowText(2, RowBox::Comp), " 127.0.0.2");
    for (RowBox box : {RowBox::Comp, RowBox::Type1, RowBox::Shut1}) {
        EXPECT_EQ(w.RowText(3, box), " ---");
        EXPECT_EQ(w.RowColour(3, box), colours::Black);
    }
    // During the activation delay the status boxes stay blank.
    EXPECT_EQ(w.RowText(1, RowBox::Type1), " ");
}

TEST_F(MasterCycle, EvaluationShowsWhatEachComputerSentInTheLastSecond) {
    for (const char* k : {"IPAdd1", "IPAdd2", "IPAdd3", "IPAdd4"})
        settings[k] = "127.0.0.9";
    settings["StartDelay"] = "1";
    Load();
    rig->Tick();
    rig->Tick(); // the activation ends
    Arrive(1, "<TNP100>");
    Arrive(2, "<TNX100"); // malformed
    Arrive(3, "<TNR200>");
    rig->Tick();
    rig->Tick(); // evaluation
    const FakeWindow& w = rig->window;
    EXPECT_EQ(w.RowText(1, RowBox::Type1), " Connected");
    EXPECT_EQ(w.RowColour(1, RowBox::Type1), colours::StatusGreen);
    EXPECT_EQ(w.RowColour(1, RowBox::Comp), colours::StatusGreen);
    EXPECT_EQ(w.RowText(1, RowBox::Shut1), "P");
    EXPECT_EQ(w.RowColour(1, RowBox::Shut1), colours::StatusGreen);
    EXPECT_EQ(w.RowText(2, RowBox::Type1), " Data Error");
    EXPECT_EQ(w.RowColour(2, RowBox::Type1), colours::StatusOrange);
    EXPECT_EQ(w.RowText(3, RowBox::Shut1), "R**");
    EXPECT_EQ(w.RowColour(3, RowBox::Shut1), colours::StatusOrange);
    EXPECT_EQ(w.RowText(4, RowBox::Type1), " Not Connected");
    EXPECT_EQ(w.RowText(4, RowBox::Shut1), "");
    // The arrays are cleared for the next window.
    EXPECT_EQ(rig->program->StatusOf(1), LinkState::Nothing);
    EXPECT_EQ(rig->program->PeerReply(3), "");
}

TEST_F(MasterCycle, ReceiveHandlerKeepsTheLastResultAndGuardsNothingHeard) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["IPAdd2"] = "127.0.0.2";
    Load();
    const Supervision& machine = rig->program->Machine();

    Arrive(1, "<TNP100>");
    EXPECT_EQ(machine.NothingHeard(), 0);
    Arrive(2, "garbage"); // another computer answered well: the second stays heard
    EXPECT_EQ(machine.NothingHeard(), 0);
    EXPECT_EQ(rig->program->StatusOf(2), LinkState::DataError);
    Arrive(1, "<TN"); // a malformed datagram after a good one overwrites its status only
    EXPECT_EQ(rig->program->StatusOf(1), LinkState::DataError);
    EXPECT_EQ(machine.NothingHeard(), 0);

    Arrive(1, "<TNE100>");
    rig->program->OnDatagram(1, std::nullopt); // receive error
    EXPECT_EQ(rig->program->StatusOf(1), LinkState::Nothing);
    EXPECT_EQ(machine.NothingHeard(), 0);
    // The error reply is a well-formed datagram with the letter E.
    Arrive(2, "<TNE100>");
    EXPECT_EQ(rig->program->PeerReply(2), "E");
}

// Junk after every good reply must neither end the run nor stop the count from resetting.
TEST_F(MasterCycle, MalformedDatagramAfterTheOnlyGoodReplyKeepsTheLinkAlive) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["StartDelay"] = "1";
    Load();
    for (int second = 0; second < 20; ++second) {
        rig->Tick();
        Arrive(1, "<TNP100>");
        Arrive(1, "junk");
        rig->Tick();
    }
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseRun);
    EXPECT_EQ(rig->program->Machine().PhaseCounter(), 0);
    EXPECT_EQ(rig->window.RowText(1, RowBox::Type1), " Data Error");
    EXPECT_TRUE(rig->power.calls.empty());
}

TEST_F(MasterCycle, OneFailedSendDoesNotStarveTheOtherComputers) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["IPAdd2"] = "127.0.0.2";
    settings["IPAdd3"] = "127.0.0.3";
    settings["StartDelay"] = "1";
    Load();
    rig->Port(1).failSends = true;
    rig->Tick();
    rig->Tick();
    EXPECT_FALSE(rig->Port(2).sent.empty());
    EXPECT_FALSE(rig->Port(3).sent.empty());
    EXPECT_EQ(rig->window.RowText(0, RowBox::Type1), " No Network");
    EXPECT_EQ(rig->window.RowColour(0, RowBox::Type1), colours::StatusOrange);
    EXPECT_EQ(rig->window.RowColour(0, RowBox::Comp), colours::StatusOrange);
    EXPECT_FALSE(rig->program->NetworkOK());

    rig->Port(1).failSends = false;
    rig->Tick();
    EXPECT_EQ(rig->window.RowText(0, RowBox::Type1), " Network OK");
    EXPECT_EQ(rig->window.RowColour(0, RowBox::Shut1), colours::StatusGreen);
    EXPECT_TRUE(rig->program->NetworkOK());
}

TEST_F(MasterCycle, SilentComputersCountDownAndTheInhibitedEndIsSimulated) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["StartDelay"] = "1";
    Load("-InhibitShutdown");
    int ticks = 0;
    while (rig->program->Machine().Phase() != PhaseCountdown && ticks < 100) {
        rig->Tick();
        ++ticks;
    }
    // One second of activation, then six silent seconds (the inhibited limit).
    EXPECT_EQ(ticks, 14);
    EXPECT_EQ(rig->window.counter, " The Computer Will Power Off In 6s");
    // No polls during the countdown.
    const std::size_t polls = rig->Port(1).sent.size();
    bool ended = Ends([&] {
        for (int i = 0; i < 20; ++i)
            rig->Tick();
    });
    EXPECT_EQ(rig->Port(1).sent.size(), polls);
    EXPECT_TRUE(ended);
    ASSERT_FALSE(rig->boxes.shown.empty());
    EXPECT_EQ(rig->boxes.shown.back().title, "Tarnix Simulate Power Off");
    EXPECT_TRUE(rig->power.calls.empty());
    const auto events = folder.LogEvents("TarnixM.log");
    EXPECT_EQ(events.back(), "Close,Power Off");
    EXPECT_EQ(events[events.size() - 2], "Power Off,Simulate");
}

// A remote computer lost while another is heard, back again, then both lost: the countdown, its
// cancel by the button, and at the end the action just before the power call.
TEST_F(MasterCycle, TellsLostAndBackLinksTheCountdownItsCancelAndTheAction) {
    settings["CName1"] = "Pump";
    settings["IPAdd1"] = "127.0.0.1";
    settings["IPAdd2"] = "127.0.0.2";
    settings["StartDelay"] = "1";
    Load("-InhibitShutdown");
    const auto second = [&](bool one, bool two) {
        for (int tick = 0; tick < 2; ++tick) {
            if (one) Arrive(1, "<TNP000>");
            if (two) Arrive(2, "<TNP000>");
            rig->Tick();
        }
    };
    second(true, true);
    second(true, true);  // both heard
    second(false, true); // Pump lost
    second(true, true);  // and back
    while (rig->program->Machine().Phase() != PhaseCountdown)
        second(false, false);
    rig->rules->OnButtonClicked(Button::Reset);
    EXPECT_TRUE(Ends([&] {
        for (int i = 0; i < 100; ++i)
            second(false, false);
    }));
    EXPECT_EQ(
        rig->events.lines,
        (std::vector<std::string>{
            "run", "link-lost peer=Pump peer_address=127.0.0.1", "link-back peer=Pump peer_address=127.0.0.1",
            "link-lost peer=Pump peer_address=127.0.0.1", "link-lost peer=127.0.0.2 peer_address=127.0.0.2",
            "countdown action=Power Off time_left=6", "cancelled by=button", "run",
            "countdown action=Power Off time_left=6", "action action=Power Off simulated=1"}));
    EXPECT_EQ(rig->program->Status().actions, 1u);
    EXPECT_EQ(rig->program->Status().resetsBy.button, 1u);
}

TEST_F(MasterCycle, ResetSendsTheCommandOnceAndClearsTheRows) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["IPAdd2"] = "127.0.0.2";
    settings["StartDelay"] = "1";
    Load();
    rig->Tick();
    rig->Tick();
    Arrive(1, "<TNP100>");
    rig->Tick();
    rig->Tick();
    ASSERT_EQ(rig->program->Machine().Phase(), PhaseRun);
    const std::size_t before = rig->Port(1).sent.size();
    rig->rules->OnButtonClicked(Button::Reset);
    ASSERT_EQ(rig->Port(1).sent.size(), before + 1);
    EXPECT_EQ(rig->Port(1).sent.back(), "<TNC000>");
    EXPECT_EQ(rig->Port(2).sent.back(), "<TNC000>");
    EXPECT_EQ(rig->program->OutgoingMessage(), "<TNA100>");
    EXPECT_EQ(rig->window.RowText(1, RowBox::Type1), " ");
    EXPECT_EQ(rig->window.RowColour(1, RowBox::Type1), colours::StatusOrange);
    EXPECT_EQ(rig->window.RowColour(1, RowBox::Comp), colours::Black);
    EXPECT_EQ(rig->window.counter, " Program Activation In 1s");
    EXPECT_EQ(folder.LogEvents("TarnixM.log").back(), "Start,Initialise");
    const auto events = folder.LogEvents("TarnixM.log");
    EXPECT_EQ(events[events.size() - 2], "Reset,Run");
}

TEST_F(MasterCycle, ResetWhileUnconfiguredStillResetsAndSends) {
    settings["CName0"] = "";
    settings["IPAdd1"] = "127.0.0.1";
    Load();
    rig->rules->OnButtonClicked(Button::Reset);
    EXPECT_EQ(rig->Port(1).sent, std::vector<std::string>{"<TNC000>"});
}

TEST_F(MasterCycle, TestStartsAMarkedRunAndCommandsTheSlaves) {
    settings["IPAdd1"] = "127.0.0.1";
    Load();
    rig->rules->OnButtonClicked(Button::TestS);
    EXPECT_EQ(rig->Port(1).sent, std::vector<std::string>{"<TNT000>"});
    EXPECT_EQ(rig->window.caption, "Tarnix - Test Mode");
    EXPECT_EQ(rig->window.buttonToolTip[Button::Reset], "Reset Tarnix");
    EXPECT_TRUE(rig->program->Machine().TestRun());
    const auto lines = folder.LogLines("TarnixM.log");
    EXPECT_EQ(lines[lines.size() - 2], "07-Dec-26 05:04:29, *Enter    , Test      ");
    EXPECT_EQ(lines.back(), "07-Dec-26 05:04:29, *Start    , Initialise");

    // Two seconds of activation, five silent seconds, then the simulated end and a fresh start.
    for (int i = 0; i < 14; ++i)
        rig->Tick();
    ASSERT_FALSE(rig->boxes.shown.empty());
    EXPECT_EQ(rig->boxes.shown.back().title, "Tarnix Test");
    EXPECT_EQ(rig->boxes.shown.back().lines, std::vector<std::string>{"Test Power Off"});
    EXPECT_FALSE(rig->program->Machine().TestRun());
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseActivation);
    EXPECT_EQ(rig->window.caption, "Tarnix");
}

// The test run's end: its log line, the reset and refresh (which may send the master's window
// back to the tray), and only then the box, so that supervision goes on behind it.
TEST_F(MasterCycle, TestRunEndResetsBeforeItsBox) {
    settings["StartMin"] = "2";
    Load();
    rig->rules->OnButtonClicked(Button::TestS);
    const int minimised = rig->window.minimiseCalls;
    bool timerWhileOpen = false;
    rig->boxes.onShow = [&] { timerWhileOpen = rig->window.timerEnabled; };
    for (int i = 0; i < 14; ++i)
        rig->Tick();
    ASSERT_EQ(rig->boxes.shown.size(), 1u);
    EXPECT_TRUE(timerWhileOpen);
    EXPECT_EQ(rig->window.minimiseCalls, minimised + 1);
    const auto events = folder.LogEvents("TarnixM.log");
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"Enter,Run", "Simulate,Power Off", "Start,Initialise"}));
}

TEST_F(MasterCycle, RealCountdownCallsThePowerActionAndEnds) {
    settings["StartDelay"] = "1";
    settings["ShutTime"] = "2";
    Load();
    EXPECT_TRUE(Ends([&] {
        for (int i = 0; i < 100; ++i)
            rig->Tick();
    }));
    EXPECT_EQ(rig->power.calls, std::vector<std::string>{"ShutdownSystem(12)"});
    const auto events = folder.LogEvents("TarnixM.log");
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 2], "Start,Power Off");
    EXPECT_EQ(events.back(), "Close,Power Off");
}

// A log that cannot be written must not stop the polls: the slaves would take the silence for a
// lost master and power their computers off.
TEST_F(MasterCycle, ALostLogIsReportedOnceWithoutWaitingAndThePollsGoOn) {
    settings["StartDelay"] = "1";
    settings["CPUDelay"] = "30";
    Load();
    const std::filesystem::path log = "Log/TarnixM.log";
    std::filesystem::remove(log);
    std::filesystem::create_directory(log); // something that is not a file where the log should be
    rig->rules->OnButtonClicked(Button::Reset);
    rig->rules->OnButtonClicked(Button::Reset);
    std::size_t polls = 0;
    for (int tick = 0; tick < 8; ++tick)
        polls += TickAndCollect(1).size();
    EXPECT_EQ(polls, 8u) << "a poll every tick of the run";
    EXPECT_TRUE(rig->window.timerEnabled);
    EXPECT_TRUE(rig->boxes.shown.empty()) << "nothing waits for an answer";
    ASSERT_EQ(rig->boxes.notices.size(), 1u) << "one report for the whole outage";
    EXPECT_EQ(rig->boxes.notices[0].title, "Tarnix Log File Error");
    EXPECT_EQ(rig->boxes.notices[0].lines.back(),
              "Supervision goes on. The log is tried again every second.");

    std::filesystem::remove(log);
    rig->clock.Advance(7);
    rig->Tick();
    rig->Tick();
    const auto events = folder.LogEvents("TarnixM.log");
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"Start,Initialise", "Enter,Run", "Log Lost,7s"}));
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.starts_with("Reset,"); }),
              2)
        << "the lines of the outage are kept";
    EXPECT_EQ(folder.LogLines("TarnixM.log").front(), "Tarnix") << "the file is made again, as at start";

    std::filesystem::remove(log);
    std::filesystem::create_directory(log);
    rig->rules->OnButtonClicked(Button::Reset);
    EXPECT_EQ(rig->boxes.notices.size(), 2u) << "a new outage is reported again";
}

// Sockets read at the master's tick: every one is read before the second is judged, so replies
// that arrived since the last tick count in it, whichever computer sent them.
TEST_F(MasterCycle, EachTickReadsEverySocketBeforeItJudgesTheSecond) {
    settings["StartDelay"] = "1";
    for (int i = 1; i <= 4; ++i) {
        settings["CName" + std::to_string(i)] = i == 2 ? "" : "PC" + std::to_string(i);
        settings["IPAdd" + std::to_string(i)] = "127.0.0." + std::to_string(i + 1);
    }
    Load();
    for (int i = 1; i <= 4; ++i)
        rig->Port(i).holdsArrivals = true;
    for (int tick = 0; tick < 4; ++tick)
        rig->Tick();
    ASSERT_EQ(rig->program->Machine().Phase(), PhaseRun);
    for (int i : {1, 3, 4})
        rig->Port(i).Arrive(i == 3 ? "<TNR200>" : "<TNP100>");
    rig->Port(2).Arrive("garbage");
    const int readsBefore = rig->Port(4).reads;
    rig->Tick();
    rig->Tick(); // the evaluation
    EXPECT_EQ(rig->Port(4).reads, readsBefore + 2) << "each tick reads";
    const ProgramStatus status = rig->program->Status();
    std::vector<std::string> seen;
    for (const RemoteComputerStatus& remote : status.remote)
        seen.push_back(remote.link ? LinkWord(*remote.link) : "");
    EXPECT_EQ(seen, (std::vector<std::string>{"Connected", "Data Error", "Connected", "Connected"}));
    EXPECT_EQ(rig->window.RowText(4, RowBox::Type1), " Connected");
    EXPECT_EQ(status.remote[2].letter, "R**");
    EXPECT_EQ(status.remote[1].name, "");
    EXPECT_EQ(status.remote[1].address, "127.0.0.3");
    EXPECT_EQ(status.remote[0].name, "PC1");
    EXPECT_EQ(rig->program->Machine().PhaseCounter(), 0) << "the replies count in the second they came";
}

} // namespace
} // namespace tarnix::testing
