// The slave's logic with fakes: its load sequence, when it answers, the master's commands, and
// malformed traffic.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/Rigs.h"

namespace tarnix::testing {
namespace {

class Slave : public ::testing::Test {
protected:
    ProgramFolder folder;
    FakeNetwork network;
    Settings settings = SlaveSettings();
    std::unique_ptr<SlaveRig> rig;
    FakePort* master = nullptr; // stands in for the master: bound where the slave answers

    void Load(const std::string& commandLine = "") {
        folder.WriteSlave(settings);
        rig = std::make_unique<SlaveRig>(network, commandLine);
        master = &network.NewPort();
        master->Bind(std::stoi(settings.at("Port1")));
        master->SetRemoteHost("127.0.0.1");
        master->SetRemotePort(std::stoi(settings.at("Port2")));
        rig->program->Load();
    }
    // The master sends a datagram; returns what the slave sent back.
    std::vector<std::string> Send(const std::string& datagram) {
        const std::size_t before = rig->port.sent.size();
        master->Send(datagram);
        network.Deliver();
        const auto& sent = rig->port.sent;
        return {sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()};
    }
    void Seconds(int n) {
        for (int i = 0; i < n; ++i)
            rig->Tick();
    }
};

TEST_F(Slave, LoadBindsPort2AndWritesItsStartLines) {
    Load();
    EXPECT_EQ(rig->port.boundPort, 20000);
    EXPECT_EQ(rig->window.caption, "Tarnix Slave");
    EXPECT_EQ(rig->window.counter, "Program Activation In 2s");
    EXPECT_EQ(rig->program->ReplyMessage(), "<TNC000>");
    const std::vector<std::string> expected = {"Tarnix Slave",
                                               "Version 4.2",
                                               "File Created",
                                               "07-Dec-26 05:04:29",
                                               "",
                                               "",
                                               "Tarnix Slave",
                                               "Version 4.2",
                                               "",
                                               "07-Dec-26 05:04:29,  Start    , Initialise"};
    EXPECT_EQ(folder.LogLines("TarnixS.log"), expected);
}

TEST_F(Slave, AnswersNothingUntilTheLastActivationSecond) {
    settings["StartDelay"] = "10";
    Load();
    std::vector<std::string> answers; // per second: what the two polls of that second got
    for (int second = 1; second <= 12; ++second) {
        std::string got;
        for (int poll = 0; poll < 2; ++poll)
            for (const std::string& reply : Send("<TNA100>"))
                got += reply;
        answers.push_back(got);
        rig->Tick();
    }
    for (int second = 0; second < 9; ++second)
        EXPECT_EQ(answers[second], "") << "second " << second + 1;
    EXPECT_EQ(answers[9], "<TNP000><TNP000>");
    EXPECT_EQ(answers[10], "<TNP100><TNP100>");
}

TEST_F(Slave, ReplyCarriesTheActionLetter) {
    for (const auto& [code, reply] : std::vector<std::pair<std::string, std::string>>{
             {"2", "<TNR100>"}, {"3", "<TNS100>"}, {"4", "<TNM100>"}, {"5", "<TNH100>"}, {"6", "<TNB100>"}}) {
        FakeNetwork net;
        settings["ShutType"] = code;
        settings["StartDelay"] = "1";
        folder.WriteSlave(settings);
        SlaveRig slave(net);
        slave.program->Load();
        slave.Tick();
        slave.program->OnDatagram(std::string("<TNA100>"));
        EXPECT_EQ(slave.port.sent.back(), reply) << code;
    }
}

TEST_F(Slave, ResetCommandIsAcknowledgedThenAnsweredWhenTheResetAllowsIt) {
    settings["StartDelay"] = "1";
    Load();
    Seconds(1);
    ASSERT_EQ(rig->program->Machine().Phase(), PhaseRun);
    // The reset leaves the slave in its last activation second: acknowledgement and status.
    EXPECT_EQ(Send("<TNC000>"), (std::vector<std::string>{"<TNC000>", "<TNP000>"}));
    EXPECT_EQ(folder.LogEvents("TarnixS.log").back(), "Start,Initialise");
}

TEST_F(Slave, CommandsAreAcknowledgedEvenWhenTheSlaveMayNotAnswer) {
    settings["StartDelay"] = "5";
    Load();
    // With seconds of activation left it only acknowledges.
    EXPECT_EQ(Send("<TNC000>"), std::vector<std::string>{"<TNC000>"});
    // A "C" frame with another digit is no command.
    EXPECT_TRUE(Send("<TNC100>").empty());
}

TEST_F(Slave, ResetCommandCancelsTheCountdown) {
    settings["StartDelay"] = "1";
    Load();
    Seconds(1 + 5); // activation, then five silent seconds
    ASSERT_EQ(rig->program->Machine().Phase(), PhaseCountdown);
    EXPECT_EQ(rig->window.buttonCaption[Button::Reset], "Cancel");
    // Polls get no answer during the countdown.
    EXPECT_TRUE(Send("<TNA100>").empty());
    EXPECT_EQ(Send("<TNC000>"), (std::vector<std::string>{"<TNC000>", "<TNP000>"}));
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseActivation);
    EXPECT_EQ(rig->window.buttonCaption[Button::Reset], "Reset");
    EXPECT_EQ(rig->window.buttonToolTip[Button::Reset], "Reset Tarnix Slave");
    const auto events = folder.LogEvents("TarnixS.log");
    EXPECT_EQ(events[events.size() - 2], "Reset,Power Off");
}

// What the slave tells the rest of the system, in order, and where its resets came from.
TEST_F(Slave, TellsItsEventsInOrderAndCountsResetsBySource) {
    settings["StartDelay"] = "1";
    Load();
    Seconds(1); // Run
    Send("<TNA100>");
    Seconds(1);       // heard
    Seconds(5);       // lost, then the countdown
    Send("<TNC000>"); // the master's Reset
    Seconds(1);
    Send("<TNA100>");
    Seconds(1); // heard again
    rig->program->PressedBy("Reset", "alice (uid 1000)");
    rig->program->ResetClick();
    rig->program->TestClick();
    Seconds(2 + 5); // the test run's activation and silence
    EXPECT_EQ(rig->events.lines,
              (std::vector<std::string>{"run", "link-lost peer=master peer_address=127.0.0.1",
                                        "countdown action=Power Off time_left=3", "cancelled by=master",
                                        "run", "link-back peer=master peer_address=127.0.0.1",
                                        "test-start action=Power Off [test]", "run [test]",
                                        "test-end action=Power Off [test]"}));
    for (std::size_t i = 0; i < rig->events.sequences.size(); ++i)
        EXPECT_EQ(rig->events.sequences[i], i + 1);
    const ProgramStatus status = rig->program->Status();
    EXPECT_EQ(status.resets, 2u);
    EXPECT_EQ(status.resetsBy.command, 1u);
    EXPECT_EQ(status.resetsBy.bus, 1u);
    EXPECT_EQ(status.resetsBy.button, 0u);
    EXPECT_EQ(status.countdowns, 1u);
}

TEST_F(Slave, TestCommandStartsATestRunAndIsAcknowledged) {
    Load();
    EXPECT_EQ(Send("<TNT000>"), std::vector<std::string>{"<TNC000>"});
    EXPECT_TRUE(rig->program->Machine().TestRun());
    EXPECT_EQ(rig->window.caption, "Tarnix Slave - Test Mode");
    EXPECT_EQ(rig->program->Machine().LostCommsLimit(), 5);
}

// The test run's end: its log line, then the reset and the window-text refresh, and only then
// the box, so that supervision goes on behind it. The slave's window stays where it is.
TEST_F(Slave, TestRunEndsWithAMessageInsteadOfACountdown) {
    settings["StartDelay"] = "10";
    settings["CPUDelay"] = "30";
    settings["ShutTime"] = "30";
    settings["StartMin"] = "2";
    Load();
    rig->rules->OnButtonClicked(Button::TestS);
    const int minimised = rig->window.minimiseCalls;
    bool timerWhileOpen = false;
    rig->boxes.onShow = [&] { timerWhileOpen = rig->window.timerEnabled; };
    Seconds(2 + 5);
    ASSERT_EQ(rig->boxes.shown.size(), 1u);
    EXPECT_EQ(rig->boxes.shown[0].title, "Tarnix Slave Test");
    EXPECT_EQ(rig->boxes.shown[0].lines, std::vector<std::string>{"Test Power Off"});
    EXPECT_TRUE(timerWhileOpen) << "supervision goes on behind the box";
    EXPECT_FALSE(rig->window.trayIcon);
    EXPECT_EQ(rig->window.minimiseCalls, minimised);
    const auto events = folder.LogEvents("TarnixS.log");
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"Enter,Run", "Simulate,Power Off", "Start,Initialise"}));
    // Back to the configured values.
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseActivation);
    EXPECT_EQ(rig->program->Machine().PhaseCounter(), 10);
    EXPECT_EQ(rig->program->Machine().LostCommsLimit(), 30);
    EXPECT_FALSE(rig->program->Machine().TestRun());
}

// Nobody presses OK on an unattended computer: the test's box stays open while the watchdog
// counts the silence again and acts.
TEST_F(Slave, SupervisionGoesOnBehindTheTestRunsBox) {
    settings["StartDelay"] = "1";
    settings["ShutTime"] = "2";
    settings["ShutType"] = "4";
    Load();
    rig->rules->OnButtonClicked(Button::TestS);
    bool ended = false;
    rig->boxes.onShow = [&] {
        rig->boxes.onShow = nullptr;
        ended = Ends([&] { Seconds(1 + 5 + 2); });
    };
    Seconds(2 + 5);
    EXPECT_TRUE(ended);
    EXPECT_EQ(folder.LogEvents("TarnixS.log"),
              (std::vector<std::string>{"Start,Initialise", "Enter,Test", "Start,Initialise", "Enter,Run",
                                        "Simulate,Monitor", "Start,Initialise", "Enter,Run", "Enter,Monitor",
                                        "Start,Monitor", "Close,Monitor"}));
}

// The link as the full log shows it: nothing expected before Run, failed until heard in Run.
TEST_F(Slave, CommsStatusFollowsTheListening) {
    settings["StartDelay"] = "1";
    settings["LogLevel"] = "3";
    Load();
    // The log's word and the status's value, which every face reads, say the same.
    const auto expect = [&](const char* word, std::optional<LinkState> link) {
        EXPECT_EQ(rig->program->CommsStatus(), word);
        EXPECT_EQ(rig->program->Status().masterLink, link) << word;
    };
    expect("....", std::nullopt);
    Seconds(1);
    expect("Fail", LinkState::Nothing);
    Send("<TNA100>");
    expect("-OK-", LinkState::Connected);
    Seconds(1);
    expect("Fail", LinkState::Nothing);
    Send("garbage");
    expect("Error", LinkState::DataError);
    const auto lines = folder.LogLines("TarnixS.log");
    // "Enter Run" is written before the machine listens; the check after it already has.
    EXPECT_NE(lines[lines.size() - 2].find("Comms: ...."), std::string::npos) << lines[lines.size() - 2];
    EXPECT_NE(lines.back().find("Comms: -OK-"), std::string::npos) << lines.back();
}

TEST_F(Slave, MalformedDatagramsAreReportedAndAnsweredButDoNotCancelAGoodOne) {
    settings["StartDelay"] = "1";
    Load();
    Seconds(1);
    for (int second = 0; second < 10; ++second) {
        EXPECT_EQ(Send("<TNA100>"), std::vector<std::string>{"<TNP100>"});
        EXPECT_EQ(Send("stray"), std::vector<std::string>{"<TNE100>"});
        EXPECT_EQ(rig->window.counter, "Connection Error");
        EXPECT_EQ(rig->window.counterForeground, colours::Orange);
        EXPECT_TRUE(rig->window.counterBold);
        EXPECT_EQ(rig->program->CommsStatus(), "Error");
        rig->Tick();
    }
    // A stray sender after every poll must not make a slave with a good link count down.
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseRun);
    EXPECT_EQ(rig->program->Machine().PhaseCounter(), 0);
    EXPECT_EQ(rig->window.counter, "Connected");
}

TEST_F(Slave, ReceiveErrorSendsNothing) {
    settings["StartDelay"] = "1";
    Load();
    Seconds(1);
    const std::size_t before = rig->port.sent.size();
    rig->program->OnDatagram(std::nullopt);
    EXPECT_EQ(rig->port.sent.size(), before);
    EXPECT_EQ(rig->program->CommsStatus(), "Error");
    EXPECT_EQ(rig->window.counter, "Connection Error");
}

TEST_F(Slave, OnlyARunningSlaveCountsAPollAsHeard) {
    settings["StartDelay"] = "3";
    Load();
    Send("<TNA100>");
    EXPECT_EQ(rig->program->Machine().NothingHeard(), 1);
    EXPECT_EQ(rig->program->CommsStatus(), "-OK-");
    Seconds(3);
    Send("<TNA100>");
    EXPECT_EQ(rig->program->Machine().NothingHeard(), 0);
}

TEST_F(Slave, TakenPortAsksTheSlavesQuestion) {
    network.takenPorts = {20000};
    Load();
    ASSERT_EQ(rig->boxes.shown.size(), 1u);
    EXPECT_EQ(rig->boxes.shown[0].title, "Tarnix Slave Port Error");
    EXPECT_EQ(rig->boxes.shown[0].lines[0], "The RX Port 20000 Is Already In Use.");
    EXPECT_EQ(rig->boxes.shown[0].lines[2], "You Can Use Tarnix Slave.");
    EXPECT_TRUE(rig->program->Unconfigured());
    EXPECT_EQ(rig->window.title, "Click Configure To Set Up Tarnix Slave");
    EXPECT_EQ(folder.LogEvents("TarnixS.log"), std::vector<std::string>{"UnConfig,********"});
}

TEST_F(Slave, UnconfiguredSlaveStillBindsButHasNoMasterToListenTo) {
    settings["IPAdd"] = "";
    Load();
    EXPECT_TRUE(rig->program->Unconfigured());
    EXPECT_EQ(rig->port.boundPort, 20000);
    EXPECT_TRUE(Send("<TNT000>").empty());
    EXPECT_FALSE(rig->program->Machine().TestRun());
}

// After a refused power action the program only waits for its error box to be closed: the
// master's reset must not bring supervision back underneath it.
TEST_F(Slave, NothingIsHandledWhileTheFatalPowerErrorBoxIsOpen) {
    settings["StartDelay"] = "1";
    Load();
    rig->power.failWith = PowerActionError(0x8004062E, "TarnixS.mShutDown", "Access denied");
    std::vector<std::string> answers;
    rig->boxes.onShow = [&] {
        answers = Send("<TNC000>");
        rig->Tick();
    };
    EXPECT_TRUE(Ends([&] { Seconds(1 + 5 + 3); }));
    ASSERT_EQ(rig->boxes.shown.size(), 1u);
    EXPECT_EQ(rig->boxes.shown[0].title, "Tarnix Slave");
    EXPECT_EQ(
        rig->boxes.shown[0].lines,
        (std::vector<std::string>{"Run-time error 0x8004062E (TarnixS.mShutDown)", "", "Access denied"}));
    EXPECT_EQ(rig->boxes.shown[0].icon, BoxIcon::Error);
    EXPECT_TRUE(answers.empty());
    EXPECT_FALSE(rig->window.timerEnabled);
    EXPECT_EQ(folder.LogEvents("TarnixS.log").back(), "Start,Power Off");
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseCountdown);
}

// Each test command whose run ends while the last run's box waits would open its box inside that
// box's wait, until the stack gives out.
TEST_F(Slave, ATestRunEndingUnderTheLastTestsBoxLeavesThatOneBox) {
    Load();
    int depth = 0;
    rig->boxes.onShow = [&] {
        if (depth++ > 0) return; // without the fix, the boxes would nest for ever
        for (int run = 0; run < 3; ++run) {
            Send("<TNT000>");
            Seconds(2 + 5);
        }
    };
    Send("<TNT000>");
    Seconds(2 + 5);
    EXPECT_EQ(rig->boxes.shown.size(), 1u);
    const auto events = folder.LogEvents("TarnixS.log");
    EXPECT_EQ(std::count(events.begin(), events.end(), "Simulate,Power Off"), 4);
}

// The slave goes on answering its master while its log is lost, and says nothing about it to
// anyone who would have to press OK.
TEST_F(Slave, ALostLogLeavesTheSlaveAnsweringAndIsReportedOnce) {
    Load();
    Seconds(2);
    std::filesystem::remove_all("Log");
    rig->rules->OnButtonClicked(Button::Reset);
    Seconds(2);
    EXPECT_EQ(Send("<TNA100>"), std::vector<std::string>{"<TNP100>"});
    EXPECT_TRUE(rig->boxes.shown.empty());
    ASSERT_EQ(rig->boxes.notices.size(), 1u);
    EXPECT_EQ(rig->boxes.notices[0].title, "Tarnix Slave Log Directory Error");
    std::filesystem::create_directory("Log");
    Seconds(1);
    const auto events = folder.LogEvents("TarnixS.log");
    EXPECT_EQ(events,
              (std::vector<std::string>{"Reset,Run", "Start,Initialise", "Enter,Run", "Log Lost,0s"}));
    // Told as events too: the outage with its reason, and its end.
    const std::vector<std::string>& told = rig->events.lines;
    ASSERT_EQ(told.size(), 4u) << ::testing::PrintToString(told);
    EXPECT_EQ(told[1].rfind("log-lost reason=The log directory is either missing or ", 0), 0u) << told[1];
    EXPECT_EQ(told.back(), "log-back");
}

// Reset pressed over the bus: at the Normal level the log names who pressed before the press,
// in full, where an event line's detail column would cut the name.
TEST_F(Slave, ABusPressNamesWhoPressedInTheLog) {
    for (const char* level : {"1", "2"}) {
        settings["LogLevel"] = level;
        rig.reset();
        Load();
        Seconds(2);
        rig->program->PressedBy("Reset", "somebody-long (uid 100000)");
        rig->program->ResetClick();
        const auto lines = folder.LogLines("TarnixS.log");
        const auto note = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(" Bus      , Reset pressed by somebody-long (uid 100000)") != std::string::npos;
        });
        if (std::string(level) == "1") {
            EXPECT_EQ(note, lines.end());
            continue;
        }
        ASSERT_NE(note, lines.end());
        ASSERT_NE(note + 1, lines.end());
        EXPECT_NE((note + 1)->find(" Reset    , "), std::string::npos) << *(note + 1);
    }
}

// A master's name that cannot be looked up: one log line and one status per outage, however
// many seconds it lasts.
TEST_F(Slave, AMastersNameThatCannotBeLookedUpIsSaidOncePerOutage) {
    settings["LogLevel"] = "2";
    Load();
    const std::string noName = "the name m.lab cannot be looked up: Host not found";
    const struct {
        std::string failure;
        std::size_t lookupLines;
    } seconds[] = {{noName, 1}, {noName, 1}, {"", 1}, {noName, 2}};
    for (const auto& second : seconds) {
        rig->port.lookupFailure = second.failure;
        Seconds(1);
        EXPECT_EQ(rig->program->Status().masterLookupFailure, second.failure);
        const auto lines = folder.LogLines("TarnixS.log");
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) {
                                    return line.find("Lookup   , " + noName) != std::string::npos;
                                }),
                  static_cast<std::ptrdiff_t>(second.lookupLines));
    }
}

} // namespace
} // namespace tarnix::testing
