// The master's load sequence, its fatal ends, the window-text refresh and the unload.

#include <gtest/gtest.h>

#include "support/Rigs.h"

namespace tarnix::testing {
namespace {

class MasterStart : public ::testing::Test {
protected:
    ProgramFolder folder;
    FakeNetwork network;
    Settings settings = MasterSettings();

    std::unique_ptr<MasterRig> Load(const std::string& commandLine = "") {
        folder.WriteMaster(settings);
        auto rig = std::make_unique<MasterRig>(network, commandLine);
        rig->program->Load();
        return rig;
    }
};

TEST_F(MasterStart, FreshLogHoldsCreationLinesHeaderAndStartLine) {
    auto rig = Load();
    const std::vector<std::string> expected = {"Tarnix",
                                               "Version 4.2",
                                               "File Created",
                                               "07-Dec-26 05:04:29",
                                               "",
                                               "",
                                               "Tarnix",
                                               "Version 4.2",
                                               "",
                                               "07-Dec-26 05:04:29,  Start    , Initialise"};
    EXPECT_EQ(folder.LogLines("TarnixM.log"), expected);
    EXPECT_TRUE(rig->window.timerEnabled);
    EXPECT_EQ(rig->window.caption, "Tarnix");
    EXPECT_EQ(rig->window.title, "Power Off the computer if communications are lost for over 5 sec");
    EXPECT_EQ(rig->window.counter, " Program Activation In 2s");
    EXPECT_EQ(rig->control.priorityRaised, 1);
    EXPECT_FALSE(rig->program->Unconfigured());
}

TEST_F(MasterStart, WithoutItsOwnNameTheMasterAsksToBeSetUpAndDoesNotSupervise) {
    settings["CName0"] = "";
    auto rig = Load();
    EXPECT_TRUE(rig->program->Unconfigured());
    EXPECT_EQ(rig->window.title, "Click Configure To Set Up Tarnix");
    EXPECT_EQ(rig->window.titleColour, colours::Orange);
    EXPECT_TRUE(rig->window.titleBold);
    EXPECT_EQ(rig->window.counter, "");
    EXPECT_EQ(folder.LogEvents("TarnixM.log"), std::vector<std::string>{"UnConfig,********"});

    for (int i = 0; i < 20; ++i)
        rig->Tick();
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseActivation);
    rig->rules->OnButtonClicked(Button::TestS);
    EXPECT_FALSE(rig->program->Machine().TestRun());
    EXPECT_EQ(rig->window.caption, "Tarnix");
}

TEST_F(MasterStart, MonitorModeSaysUntilInTheSummary) {
    settings["ShutType"] = "4";
    auto rig = Load();
    EXPECT_EQ(rig->window.title, "Monitor the computer until communications are lost for over 5 sec");
}

TEST_F(MasterStart, MissingConfigurationEndsWithItsBoxAndNoLog) {
    auto rig = std::make_unique<MasterRig>(network);
    EXPECT_TRUE(Ends([&] { rig->program->Load(); }));
    ASSERT_EQ(rig->boxes.shown.size(), 1u);
    EXPECT_EQ(rig->boxes.shown[0].title, "Tarnix Configuration File Error");
    EXPECT_EQ(rig->boxes.shown[0].icon, BoxIcon::Error);
    EXPECT_FALSE(std::filesystem::exists(folder.Root() / "Log" / "TarnixM.log"));
    EXPECT_FALSE(rig->window.trayIcon);
    EXPECT_EQ(rig->control.lastEnd, ProgramEnd::NotConfigured) << "exit status 6, which no restart cures";
}

TEST_F(MasterStart, MissingLogFolderEndsWithTheLogBox) {
    std::filesystem::remove_all(folder.Root() / "Log");
    folder.WriteMaster(settings);
    MasterRig rig(network);
    EXPECT_TRUE(Ends([&] { rig.program->Load(); }));
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].title, "Tarnix Log Directory Error");
    EXPECT_EQ(rig.control.lastEnd, ProgramEnd::Failed);
}

TEST_F(MasterStart, SocketsBindPort2PlusIndexForConfiguredComputersOnly) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["IPAdd3"] = "127.0.0.3";
    settings["Port2"] = "5000";
    auto rig = Load();
    EXPECT_EQ(rig->Port(1).boundPort, 5000);
    EXPECT_EQ(rig->Port(2).boundPort, 0);
    EXPECT_EQ(rig->Port(3).boundPort, 5002);
    EXPECT_EQ(rig->Port(3).remoteHost, "127.0.0.3");
    EXPECT_EQ(rig->Port(3).remotePort, 20000);
    EXPECT_TRUE(rig->boxes.shown.empty());
}

TEST_F(MasterStart, TakenReceivePortAsksTheQuestionNamingPort2) {
    settings["IPAdd1"] = "127.0.0.1";
    settings["IPAdd2"] = "127.0.0.2";
    network.takenPorts = {20002}; // computer 2's port
    auto rig = Load();
    ASSERT_EQ(rig->boxes.shown.size(), 1u);
    const ShownBox& box = rig->boxes.shown[0];
    EXPECT_EQ(box.title, "Tarnix Port Error");
    EXPECT_EQ(box.icon, BoxIcon::Error);
    EXPECT_EQ(box.buttons, BoxButtons::YesNo);
    const std::vector<std::string> lines = {"The RX Port 20001 Is Already In Use",
                                            "This Error Must Be Resolved Before",
                                            "You Can Use Tarnix.",
                                            "Use The Configuration Screen",
                                            "To Change The RX Port.",
                                            "Do You Want To End The Program?"};
    EXPECT_EQ(box.lines, lines);
    // No: the program goes on, unconfigured, and says so in its log.
    EXPECT_TRUE(rig->program->Unconfigured());
    EXPECT_EQ(folder.LogEvents("TarnixM.log"), std::vector<std::string>{"UnConfig,********"});
    for (int i = 0; i < 10; ++i)
        rig->Tick();
    EXPECT_TRUE(rig->Port(1).sent.empty());
}

TEST_F(MasterStart, YesToThePortQuestionEndsTheProgram) {
    settings["IPAdd1"] = "127.0.0.1";
    network.takenPorts = {20001};
    folder.WriteMaster(settings);
    MasterRig rig(network);
    rig.boxes.answers = {BoxAnswer::Yes};
    EXPECT_TRUE(Ends([&] { rig.program->Load(); }));
    EXPECT_EQ(rig.control.ended, 1);
    EXPECT_EQ(rig.control.lastEnd, ProgramEnd::Failed);
}

TEST_F(MasterStart, InhibitShutdownOnlyAtTheVeryStartOfTheCommandLine) {
    struct Case {
        std::string commandLine;
        bool inhibited;
    };
    for (const Case& c : {Case{"-InhibitShutdown", true}, Case{"-InhibitShutdown -AllowMulti", true},
                          Case{" -InhibitShutdown", false}, Case{"-inhibitshutdown", false}}) {
        FakeNetwork net;
        folder.WriteMaster(settings);
        MasterRig rig(net, c.commandLine);
        rig.program->Load();
        EXPECT_EQ(rig.program->Machine().InhibitShutdown(), c.inhibited) << c.commandLine;
        EXPECT_EQ(rig.program->Machine().LostCommsLimit(), c.inhibited ? 6 : 5) << c.commandLine;
    }
}

TEST_F(MasterStart, StartMinimisedGoesToTheTrayUnlessUnconfigured) {
    settings["StartMin"] = "2";
    auto rig = Load();
    EXPECT_TRUE(rig->window.minimised);
    EXPECT_TRUE(rig->window.hidden);
    EXPECT_TRUE(rig->window.trayIcon);
    EXPECT_FALSE(rig->placement->WindowStateOverride());

    settings["CName0"] = "";
    FakeNetwork other;
    folder.WriteMaster(settings);
    MasterRig unconfigured(other);
    unconfigured.program->Load();
    EXPECT_FALSE(unconfigured.window.minimised);
}

TEST_F(MasterStart, RestoringFromTheTrayOverridesStartMinUntilMinimisedAgain) {
    settings["StartMin"] = "2";
    auto rig = Load();
    rig->rules->OnTrayRestoreRequested();
    EXPECT_FALSE(rig->window.minimised);
    EXPECT_FALSE(rig->window.trayIcon);
    EXPECT_TRUE(rig->placement->WindowStateOverride());
    // A reset that cancels nothing leaves the window where the user put it.
    rig->rules->OnButtonClicked(Button::Reset);
    EXPECT_FALSE(rig->window.minimised);
    rig->window.Minimise();
    EXPECT_FALSE(rig->placement->WindowStateOverride());
    EXPECT_TRUE(rig->window.trayIcon);
}

TEST_F(MasterStart, ActivationAppliesTheOnTopSetting) {
    settings["RunOnTop"] = "2";
    auto rig = Load();
    rig->rules->OnWindowActivated();
    EXPECT_TRUE(rig->window.topmost);
}

TEST_F(MasterStart, ExitLogsThePhaseRemovesTheTrayIconAndEnds) {
    auto rig = Load();
    for (int i = 0; i < 4; ++i)
        rig->Tick(); // two seconds: into the run phase
    ASSERT_EQ(rig->program->Machine().Phase(), PhaseRun);
    rig->window.trayIcon = true;
    EXPECT_TRUE(Ends([&] { rig->rules->OnButtonClicked(Button::Exit); }));
    EXPECT_EQ(rig->control.lastEnd, ProgramEnd::Closed);
    EXPECT_EQ(folder.LogEvents("TarnixM.log").back(), "Exit,Run");
    EXPECT_FALSE(rig->window.trayIcon);
    EXPECT_FALSE(rig->window.timerEnabled);
}

TEST_F(MasterStart, ClosingWhileUnconfiguredWritesNoExitLine) {
    settings["CName0"] = "";
    auto rig = Load();
    EXPECT_TRUE(Ends([&] { rig->program->OnWindowClosing(); }));
    EXPECT_EQ(folder.LogEvents("TarnixM.log"), std::vector<std::string>{"UnConfig,********"});
}

TEST_F(MasterStart, AboutBoxPausesSupervisionUntilTheCycleClosesIt) {
    auto rig = Load();
    rig->rules->OnButtonClicked(Button::About);
    EXPECT_TRUE(rig->window.aboutOpen);
    EXPECT_TRUE(rig->program->Auxiliary().AnyOpen());
    for (int i = 0; i < 10; ++i)
        rig->Tick();
    EXPECT_EQ(rig->program->Machine().Phase(), PhaseActivation); // paused
    for (int second = 0; second < 30; ++second)                  // the box counts down
        rig->window.aboutEvents->AboutBoxSecond();
    rig->Tick();
    rig->Tick();
    EXPECT_FALSE(rig->program->Auxiliary().AnyOpen());
    EXPECT_EQ(rig->window.aboutClosed, 1);
    EXPECT_EQ(rig->program->Auxiliary().AboutSecondsLeft(), 30);
}

// Runs the master until its countdown has started.
void RunIntoCountdown(MasterRig& rig) {
    for (int i = 0; i < 100 && rig.program->Machine().Phase() != PhaseCountdown; ++i)
        rig.Tick();
    ASSERT_EQ(rig.program->Machine().Phase(), PhaseCountdown);
}

TEST_F(MasterStart, ARealCountdownComesOutOfTheTrayAndItsCancelSendsTheWindowBack) {
    settings["StartMin"] = "2";
    settings["StartDelay"] = "1";
    settings["ShutTime"] = "60";
    auto rig = Load();
    ASSERT_TRUE(rig->window.hidden);
    RunIntoCountdown(*rig);
    EXPECT_FALSE(rig->window.hidden);
    EXPECT_FALSE(rig->window.minimised);
    EXPECT_FALSE(rig->window.trayIcon);
    EXPECT_TRUE(rig->window.topmost);

    rig->rules->OnButtonClicked(Button::Reset);
    EXPECT_TRUE(rig->window.minimised);
    EXPECT_TRUE(rig->window.hidden) << "back in the tray, not left in the task bar";
    EXPECT_TRUE(rig->window.trayIcon);
}

TEST_F(MasterStart, CancellingASimulatedCountdownLeavesTheWindowShown) {
    settings["StartMin"] = "2";
    settings["StartDelay"] = "1";
    auto rig = Load("-InhibitShutdown");
    RunIntoCountdown(*rig);
    const int minimised = rig->window.minimiseCalls;
    rig->rules->OnButtonClicked(Button::Reset);
    EXPECT_EQ(rig->window.minimiseCalls, minimised);
    EXPECT_FALSE(rig->window.hidden);
}

TEST_F(MasterStart, AWindowTheUserSentToTheTrayReturnsThereAfterACancelledCountdown) {
    settings["StartDelay"] = "1";
    settings["ShutTime"] = "60";
    auto rig = Load();
    rig->window.Minimise(); // the user, with StartMin asking for a shown window
    EXPECT_TRUE(rig->placement->WindowStateOverride());
    RunIntoCountdown(*rig);
    EXPECT_FALSE(rig->window.hidden);
    EXPECT_TRUE(rig->placement->WindowStateOverride()) << "the countdown keeps the user's choice";
    rig->rules->OnButtonClicked(Button::Reset);
    EXPECT_TRUE(rig->window.hidden);
}

} // namespace
} // namespace tarnix::testing
