#include "common/Supervision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "common/ConfigFile.h"
#include "common/CountdownExpiry.h"
#include "common/MachineDisplay.h"
#include "common/ShutType.h"
#include "common/SupervisionLook.h"

namespace tarnix {
namespace {

using Lines = std::vector<std::string>;

// Thrown by the fake EndProgram so that a test run stops where the program would end.
struct ProgramEnded {};

// One journal of everything the machine does outside the window, in order. Log lines read
// "event/detail"; other entries start with "!".
using Journal = Lines;

class FakeWindow : public MainWindowView, public CpuLoadBandView, public SupervisionTimer {
public:
    Lines counterTexts; // every text the counter showed
    Colour counterFg, counterBg, titleFg, cpuFg, cpuBg;
    bool counterBold = false, titleBold = false, cpuColoured = false;
    std::string cpuText = "unset";
    std::map<Button, bool> enabled;
    std::map<Button, std::string> captions, toolTips;
    bool minimised = false, topmost = false, trayIcon = false, timer = false;
    Lines placement; // ShowNormalCentred and RemoveTrayIcon in the order called

    void SetCaption(const std::string&) override {}
    void SetTitleText(const std::string&) override {}
    void SetTitleStyle(Colour fg, bool bold) override { titleFg = fg, titleBold = bold; }
    void SetCounterText(const std::string& text) override { counterTexts.push_back(text); }
    void SetCounterForeground(Colour c) override { counterFg = c; }
    void SetCounterBackground(Colour c) override { counterBg = c; }
    void SetCounterBold(bool bold) override { counterBold = bold; }
    void SetCpuLoadText(const std::string& text) override { cpuText = text; }
    void SetCpuLoadColours(Colour fg, Colour bg) override { cpuFg = fg, cpuBg = bg, cpuColoured = true; }
    void SetButtonEnabled(Button b, bool on) override { enabled[b] = on; }
    void SetButtonCaption(Button b, const std::string& text) override { captions[b] = text; }
    void SetButtonToolTip(Button b, const std::string& text) override { toolTips[b] = text; }
    bool IsMinimised() const override { return minimised; }
    void Minimise() override { minimised = true; }
    void ShowNormalCentred() override { minimised = false, placement.push_back("ShowNormalCentred"); }
    void SetTopmost(bool onTop) override { topmost = onTop; }
    void HideWindow() override {}
    void AddTrayIcon() override { trayIcon = true; }
    void RemoveTrayIcon() override { trayIcon = false, placement.push_back("RemoveTrayIcon"); }
    void SetTimerEnabled(bool on) override { timer = on; }
    bool TimerEnabled() const override { return timer; }
    void OpenAboutBox(bool, bool, AuxWindowEvents&) override {}
    void CloseAboutBox() override {}
};

class FakeBoxes : public MessageBoxes {
public:
    FakeBoxes(Journal& journal, FakeWindow& window) : journal_(journal), window_(window) {}
    std::function<void()> whileOpen; // runs once, inside the next box
    bool timerWhileOpen = true;

    BoxAnswer Show(const std::string& title, const Lines& lines, BoxIcon icon, BoxButtons buttons) override {
        journal_.push_back("!box " + title + ": " + BoxText{"", icon, lines}.Message());
        EXPECT_EQ(icon, BoxIcon::None);
        EXPECT_EQ(buttons, BoxButtons::Ok);
        timerWhileOpen = window_.timer;
        if (auto run = std::exchange(whileOpen, nullptr)) run();
        return BoxAnswer::Ok;
    }
    void Notify(const std::string& title, const Lines& lines, BoxIcon icon) override {
        journal_.push_back("!notice " + title + ": " + BoxText{"", icon, lines}.Message());
    }

private:
    Journal& journal_;
    FakeWindow& window_;
};

class FakePower : public PowerActions {
public:
    explicit FakePower(Journal& journal) : journal_(journal) {}
    bool fail = false;

    bool ShutdownSystem(std::int32_t code) override {
        return Act("ShutdownSystem(" + std::to_string(code) + ")");
    }
    bool HibernateSystem() override { return Act("HibernateSystem"); }
    bool StandbySystem() override { return Act("StandbySystem"); }

private:
    bool Act(const std::string& call) {
        if (fail) throw PowerActionError(5, call, call + " failed: Access denied");
        journal_.push_back("!power " + call);
        return true;
    }
    Journal& journal_;
};

// Does what the programs do around the machine: a reset is ResetSupervision followed by the
// window-text refresh, which restarts the timer.
class FakeProgram : public SupervisionLog {
public:
    FakeProgram(Journal& journal, FakeWindow& window) : journal_(journal), window_(window) {}
    Supervision* machine = nullptr;

    void Log(const std::string& event, const std::string& detail) override {
        journal_.push_back(event + "/" + detail);
    }
    void ResetProgram() {
        journal_.push_back("!ResetProgram");
        machine->ResetSupervision();
        RefreshWindowTexts();
    }
    void RefreshWindowTexts() {
        journal_.push_back("!Refresh");
        window_.timer = true;
    }
    void EndProgram() {
        journal_.push_back("!End");
        throw ProgramEnded{};
    }

private:
    Journal& journal_;
    FakeWindow& window_;
};

ConfigRecord Config(std::int16_t startDelay, std::int16_t cpuDelay, std::int16_t shutTime,
                    std::int16_t shutType, std::int16_t logLevel) {
    ConfigRecord config;
    config.StartDelay = startDelay;
    config.CPUDelay = cpuDelay;
    config.ShutTime = shutTime;
    config.ShutType = shutType;
    config.LogLevel = logLevel;
    config.RunOnTop = 1;
    return config;
}

// A program around one machine on simulated time: each Seconds(1) is one supervision second.
struct Rig {
    explicit Rig(ConfigRecord c, ProgramKind kind = ProgramKind::Master, bool inhibit = false)
        : config(std::move(c)),
          presenter(SupervisionLookOf(kind), window, kind == ProgramKind::Slave ? &window : nullptr),
          display(presenter, window, &window, config,
                  [this, kind] { return SupervisionStatus(kind, machine, config); }),
          machine(config, display, program),
          expiry(ProgramTitleOf(kind), config, window, boxes, power, machine, program) {
        program.machine = &machine;
        machine.SetInhibitShutdown(inhibit);
        machine.ResetSupervision();
        program.RefreshWindowTexts();
        journal.clear();
    }
    // `heard`: a valid datagram arrives within each of these seconds.
    void Seconds(int n, bool heard = false) {
        for (int i = 0; i < n; ++i) {
            if (heard) machine.Heard();
            Second();
        }
    }
    // What the programs do with a second's outcome; the test run's end is theirs alone.
    void Second() {
        switch (machine.RunPhaseOperations()) {
        case SecondOutcome::CountdownExpired:
            if (expiry.Act() == ExpiryEnd::ProgramCloses) return program.EndProgram();
            program.ResetProgram();
            expiry.Suspend();
            return;
        case SecondOutcome::TestRunEnded:
            journal.push_back("!TestRunEnded");
            return;
        case SecondOutcome::Nothing:
            return;
        }
    }
    Lines Logs() const {
        Lines logs;
        for (const std::string& entry : journal)
            if (entry.front() != '!') logs.push_back(entry);
        return logs;
    }
    bool Journalled(const std::string& entry) const {
        return std::find(journal.begin(), journal.end(), entry) != journal.end();
    }

    ConfigRecord config;
    Journal journal;
    FakeWindow window;
    FakeBoxes boxes{journal, window};
    FakePower power{journal};
    FakeProgram program{journal, window};
    StatusPresenter presenter;
    MachineDisplay display;
    Supervision machine;
    CountdownExpiry expiry;
};

TEST(SupervisionTest, ActivationCountsDownToRun) {
    struct {
        std::int16_t startDelay, logLevel;
        Lines counter, logs;
    } const cases[] = {
        {3,
         3,
         {" Program Activation In 2s", " Program Activation In 1s", " Program Activation In 0s"},
         {"Inactive/", "Inactive/", "Enter/Run"}},
        {3,
         2,
         {" Program Activation In 2s", " Program Activation In 1s", " Program Activation In 0s"},
         {"Enter/Run"}},
        {3, 1, {" Program Activation In 2s", " Program Activation In 1s", " Program Activation In 0s"}, {}},
        {1, 3, {" Program Activation In 0s"}, {"Enter/Run"}},
    };
    for (const auto& c : cases) {
        Rig rig(Config(c.startDelay, 5, 2, 1, c.logLevel));
        rig.Seconds(c.startDelay - 1);
        EXPECT_EQ(rig.machine.Phase(), PhaseActivation);
        rig.Seconds(1);
        EXPECT_EQ(rig.machine.Phase(), PhaseRun);
        EXPECT_EQ(rig.machine.PhaseCounter(), 0);
        EXPECT_EQ(rig.window.counterTexts, c.counter) << c.startDelay << "/" << c.logLevel;
        EXPECT_EQ(rig.Logs(), c.logs) << c.startDelay << "/" << c.logLevel;
    }
}

TEST(SupervisionTest, CountdownStartsWithTheLastSilentSecondAndActsShutTimeLater) {
    for (bool heardInCountdown : {false, true}) {
        Rig rig(Config(1, 30, 30, ShutPowerOff, 2));
        rig.Seconds(1 + 29);
        EXPECT_EQ(rig.window.counterTexts.back(), " No connections for the last 29s");
        EXPECT_EQ(rig.machine.Phase(), PhaseRun);
        rig.window.counterTexts.clear();
        rig.Seconds(1);
        EXPECT_EQ(rig.window.counterTexts,
                  (Lines{" No connections for the last 30s", " The Computer Will Power Off In 30s"}));
        // Datagrams arriving again do not stop a running countdown.
        rig.Seconds(29, heardInCountdown);
        EXPECT_EQ(rig.window.counterTexts.back(), " The Computer Will Power Off In 1s");
        EXPECT_FALSE(rig.Journalled("!power ShutdownSystem(12)"));
        EXPECT_THROW(rig.Seconds(1, heardInCountdown), ProgramEnded);
        EXPECT_EQ(rig.window.counterTexts.back(), " The Computer Will Power Off In 0s");
        EXPECT_TRUE(rig.Journalled("!power ShutdownSystem(12)"));
    }
}

TEST(SupervisionTest, OneValidDatagramStartsTheSilentCountAgain) {
    Rig rig(Config(1, 5, 2, ShutPowerOff, 1));
    rig.Seconds(1 + 4);
    rig.Seconds(1, true);
    EXPECT_EQ(rig.window.counterTexts.back(), "");
    EXPECT_EQ(rig.window.counterFg, colours::StatusGreen);
    EXPECT_EQ(rig.machine.NothingHeard(), 1); // armed for the next second
    rig.Seconds(4);
    EXPECT_EQ(rig.window.counterTexts.back(), " No connections for the last 4s");
    EXPECT_EQ(rig.machine.Phase(), PhaseRun);
    rig.Seconds(1);
    EXPECT_EQ(rig.machine.Phase(), PhaseCountdown);
}

TEST(SupervisionTest, LogLinesOfAWholeRun) {
    struct {
        std::int16_t logLevel;
        Lines journal;
    } const cases[] = {
        {3,
         {"Inactive/", "Enter/Run", "Run/", "Run/", "Run/", "Run/", "Enter/Shutdown", "Shutdown/",
          "Shutdown/", "Start/Shutdown", "!power ShutdownSystem(5)", "Close/Shutdown", "!End"}},
        {2,
         {"Enter/Run", "Enter/Shutdown", "Start/Shutdown", "!power ShutdownSystem(5)", "Close/Shutdown",
          "!End"}},
        {1, {"!power ShutdownSystem(5)", "!End"}},
    };
    for (const auto& c : cases) {
        Rig rig(Config(2, 5, 2, ShutShutdown, c.logLevel));
        EXPECT_THROW(rig.Seconds(2 + 5 + 2), ProgramEnded);
        EXPECT_EQ(rig.journal, c.journal) << "LogLevel " << c.logLevel;
    }
}

TEST(SupervisionTest, EndOfTheCountdownByShutType) {
    struct {
        std::int16_t shutType;
        Lines expiry;
    } const cases[] = {
        {ShutPowerOff, {"Start/Power Off", "!power ShutdownSystem(12)", "Close/Power Off", "!End"}},
        {ShutReboot, {"Start/Reboot", "!power ShutdownSystem(6)", "Close/Reboot", "!End"}},
        {ShutShutdown, {"Start/Shutdown", "!power ShutdownSystem(5)", "Close/Shutdown", "!End"}},
        {ShutMonitor, {"Start/Monitor", "Close/Monitor", "!End"}},
        {ShutHibernate,
         {"Start/Hibernate", "!ResetProgram", "!Refresh", "!power HibernateSystem", "Restart/Hibernate",
          "----------/----------", "----------/----------"}},
        {ShutStandby,
         {"Start/Standby", "!ResetProgram", "!Refresh", "!power StandbySystem", "Restart/Standby",
          "----------/----------", "----------/----------"}},
    };
    for (const auto& c : cases) {
        const std::int16_t startDelay = 4;
        Rig rig(Config(startDelay, 5, 2, c.shutType, 3));
        rig.Seconds(startDelay + 5 + 1);
        rig.journal.clear();
        const bool ends = c.shutType <= ShutMonitor;
        if (ends)
            EXPECT_THROW(rig.Seconds(1), ProgramEnded);
        else
            rig.Seconds(1);
        EXPECT_EQ(rig.journal, c.expiry) << c.shutType;
        if (ends) continue;
        // Back from the suspension the activation starts one second higher, so its first
        // second shows the full delay and is not reported as inactive.
        EXPECT_EQ(rig.machine.Phase(), PhaseActivation);
        EXPECT_EQ(rig.machine.PhaseCounter(), startDelay + 1);
        EXPECT_TRUE(rig.window.timer);
        rig.journal.clear();
        rig.Seconds(2);
        EXPECT_EQ(rig.window.counterTexts.back(), " Program Activation In 3s");
        EXPECT_EQ(rig.journal, Lines{"Inactive/"});
    }
}

TEST(SupervisionTest, PowerErrorsPropagateWithoutClosing) {
    for (std::int16_t shutType : {ShutReboot, ShutStandby}) {
        Rig rig(Config(1, 5, 2, shutType, 3));
        rig.power.fail = true;
        rig.Seconds(1 + 5 + 1);
        EXPECT_THROW(rig.Seconds(1), PowerActionError);
        EXPECT_EQ(rig.Logs().back(), "Start/" + ShutTypeName(shutType));
        EXPECT_FALSE(rig.Journalled("!End"));
    }
}

TEST(SupervisionTest, SimulatedActionUnderInhibitShutdown) {
    struct {
        std::int16_t shutType;
        Lines expiry;
    } const cases[] = {
        {ShutReboot,
         {"Reboot/Simulate", "!box Tarnix Simulate Reboot: Test Real Reboot", "Close/Reboot", "!End"}},
        {ShutHibernate,
         {"Hibernate/Simulate", "!box Tarnix Simulate Hibernate: Test Real Hibernate", "!ResetProgram",
          "!Refresh", "Restart/Hibernate", "----------/----------", "----------/----------"}},
    };
    for (const auto& c : cases) {
        Rig rig(Config(1, 30, 30, c.shutType, 2), ProgramKind::Master, true);
        // The shortened times are the machine's own: the configuration keeps the file's values.
        EXPECT_EQ(rig.config.CPUDelay, 30);
        EXPECT_EQ(rig.config.ShutTime, 30);
        EXPECT_EQ(rig.machine.LostCommsLimit(), 6);
        EXPECT_EQ(rig.machine.ShutTime(), 6);
        rig.Seconds(1 + 6 + 5);
        rig.journal.clear();
        if (c.shutType == ShutReboot)
            EXPECT_THROW(rig.Seconds(1), ProgramEnded);
        else
            rig.Seconds(1);
        EXPECT_EQ(rig.window.counterTexts.back(),
                  " The Computer Will " + ShutTypeName(c.shutType) + " In 0s");
        EXPECT_EQ(rig.journal, c.expiry);
        EXPECT_FALSE(rig.boxes.timerWhileOpen);
    }
}

// The program's part of the test run's end (its log line, reset and box) is tested with the
// programs.
TEST(SupervisionTest, TestRunEndsWithoutACountdown) {
    for (ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave}) {
        Rig rig(Config(10, 30, 30, ShutPowerOff, 2), kind);
        rig.window.minimised = rig.window.trayIcon = true;
        rig.machine.StartTestRun();
        rig.Seconds(2 + 4);
        EXPECT_EQ(rig.journal, Lines{"Enter/Run"});
        rig.journal.clear();
        rig.Seconds(1);
        EXPECT_EQ(rig.journal, Lines{"!TestRunEnded"});
        EXPECT_FALSE(rig.window.trayIcon);
        for (const std::string& text : rig.window.counterTexts)
            EXPECT_EQ(text.find("Will"), std::string::npos) << text;
        EXPECT_EQ(rig.window.captions.count(Button::Reset), 0u);
    }
}

TEST(SupervisionTest, NoSecondCountdownTickUnderItsMessageBox) {
    Rig rig(Config(1, 5, 2, ShutHibernate, 2), ProgramKind::Master, true);
    // As if something restarted the timer while the simulated action's box waits.
    rig.boxes.whileOpen = [&rig] { rig.machine.RunPhaseOperations(); };
    rig.Seconds(1 + 6 + 7);
    EXPECT_EQ(std::count(rig.journal.begin(), rig.journal.end(),
                         "!box Tarnix Simulate Hibernate: Test Real Hibernate"),
              1);
}

TEST(SupervisionTest, MasterAndSlaveDiffer) {
    struct {
        ProgramKind kind;
        std::string activation, heard;
        Colour heardColour;
        std::string silent;
        Colour silentColour;
        std::string countdown, cancelTip;
    } const cases[] = {
        {ProgramKind::Master, " Program Activation In 0s", "", colours::StatusGreen,
         " No connections for the last 4s", colours::StatusOrange, " Tarnix Will Close In 2s",
         "Cancel Tarnix Monitor"},
        {ProgramKind::Slave, "Program Activation In 0s", "Connected", colours::SlaveGreen,
         "Not connected for the last 4s", colours::Orange, "Tarnix Slave Will Close In 2s",
         "Cancel Tarnix Slave Monitor"},
    };
    for (const auto& c : cases) {
        Rig rig(Config(1, 5, 2, ShutMonitor, 1), c.kind);
        rig.Seconds(1);
        EXPECT_EQ(rig.window.counterTexts.back(), c.activation);
        rig.Seconds(1, true);
        EXPECT_EQ(rig.window.counterTexts.back(), c.heard);
        EXPECT_EQ(rig.window.counterFg, c.heardColour);
        EXPECT_TRUE(rig.window.counterBold);
        rig.Seconds(4);
        EXPECT_EQ(rig.window.counterTexts.back(), c.silent);
        EXPECT_EQ(rig.window.counterFg, c.silentColour);
        rig.Seconds(1);
        EXPECT_EQ(rig.window.counterTexts.back(), c.countdown);
        EXPECT_EQ(rig.window.toolTips[Button::Reset], c.cancelTip);
        const bool slave = c.kind == ProgramKind::Slave;
        EXPECT_EQ(rig.window.cpuColoured, slave);
        if (slave) {
            EXPECT_EQ(rig.window.cpuText, "");
            EXPECT_EQ(rig.window.cpuFg, colours::White);
            EXPECT_EQ(rig.window.cpuBg, colours::Orange);
            rig.machine.ResetSupervision();
            EXPECT_EQ(rig.window.cpuFg, colours::ButtonText);
            EXPECT_EQ(rig.window.cpuBg, colours::ButtonFace);
        }
    }
}

TEST(SupervisionTest, CountdownTakesTheWindowAndResetGivesItBack) {
    Rig rig(Config(1, 5, 30, ShutPowerOff, 1));
    rig.window.minimised = rig.window.trayIcon = true;
    rig.window.titleBold = true;
    rig.Seconds(1 + 5);
    EXPECT_EQ(rig.window.placement, (Lines{"ShowNormalCentred", "RemoveTrayIcon", "RemoveTrayIcon"}));
    EXPECT_TRUE(rig.window.topmost);
    for (Button b : {Button::Config, Button::About, Button::TestS, Button::Exit})
        EXPECT_FALSE(rig.window.enabled[b]);
    EXPECT_EQ(rig.window.enabled.count(Button::Reset), 0u);
    EXPECT_EQ(rig.window.captions[Button::Reset], "Cancel");
    EXPECT_EQ(rig.window.counterFg, colours::White);
    EXPECT_EQ(rig.window.counterBg, colours::Orange);

    rig.machine.ResetSupervision();
    for (Button b : {Button::Config, Button::About, Button::TestS, Button::Exit})
        EXPECT_TRUE(rig.window.enabled[b]);
    EXPECT_EQ(rig.window.counterFg, colours::ButtonText);
    EXPECT_EQ(rig.window.counterBg, colours::ButtonFace);
    EXPECT_FALSE(rig.window.counterBold);
    EXPECT_EQ(rig.window.titleFg, colours::ButtonText);
    EXPECT_FALSE(rig.window.titleBold);
    EXPECT_FALSE(rig.window.timer);
    EXPECT_EQ(rig.window.captions[Button::Reset], "Cancel"); // restored by the program's reset
    EXPECT_EQ(rig.machine.PhaseDetail(), "Initialise");
}

TEST(SupervisionTest, BringToFrontAndPhaseDetail) {
    struct {
        bool minimised;
        std::int16_t runOnTop;
        int seconds; // into the phase: activation, run, then countdown
        SupervisionPhase phase;
        bool topmost;
        const char* detail;
    } const cases[] = {
        {true, 1, 1, PhaseRun, false, "Run"},
        {false, 2, 0, PhaseActivation, true, "Initialise"},
        {false, 1, 1 + 5, PhaseCountdown, true, "Standby"},
    };
    for (const auto& c : cases) {
        Rig rig(Config(1, 5, 2, ShutStandby, 1));
        rig.Seconds(c.seconds);
        ASSERT_EQ(rig.machine.Phase(), c.phase);
        rig.window.placement.clear();
        rig.window.topmost = false;
        rig.window.minimised = rig.window.trayIcon = c.minimised;
        rig.config.RunOnTop = c.runOnTop;
        rig.display.BringToFront(rig.machine.Phase());
        EXPECT_FALSE(rig.window.minimised);
        EXPECT_FALSE(rig.window.trayIcon);
        EXPECT_EQ(rig.window.placement.size(), c.minimised ? 2u : 0u);
        EXPECT_EQ(rig.window.topmost, c.topmost);
        EXPECT_EQ(rig.machine.PhaseDetail(), c.detail);
    }
}

} // namespace
} // namespace tarnix
