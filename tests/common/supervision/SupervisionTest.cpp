#include "common/supervision/Supervision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "common/config/ConfigFile.h"
#include "common/program/SupervisionSteps.h"
#include "common/supervision/CountdownExpiry.h"
#include "common/supervision/ShutType.h"
#include "common/supervision/SupervisionLook.h"
#include "desktop/window/StatusPresenter.h"
#include "desktop/window/WindowPlacement.h"
#include "support/Fakes.h"

namespace tarnix::testing {
namespace {

using Lines = std::vector<std::string>;

// One journal of everything the machine does outside the window, in order. Log lines read
// "event/detail"; other entries start with "!".
using Journal = Lines;

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
        window_.timerEnabled = true;
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
          placement(window, config), steps([this] { window.SetTimerEnabled(false); }, followers,
                                           [this, kind] { return SupervisionStatus(kind, machine, config); }),
          machine(config, steps, program),
          expiry(
              ProgramTitleOf(kind), config, [this] { window.SetTimerEnabled(false); }, boxes, power, machine,
              program) {
        program.machine = &machine;
        followers.Add(placement);
        followers.Add(presenter);
        boxes.journal = power.journal = &journal;
        boxes.onShow = [this] {
            EXPECT_EQ(boxes.shown.back().icon, BoxIcon::None);
            EXPECT_EQ(boxes.shown.back().buttons, BoxButtons::Ok);
            timerWhileOpen = window.timerEnabled;
            if (auto run = std::exchange(whileOpen, nullptr)) run();
        };
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
    FakeBoxes boxes;
    FakePower power;
    FakeProgram program{journal, window};
    bool timerWhileOpen = true;      // as the last box opened
    std::function<void()> whileOpen; // runs once, inside the next box
    StatusPresenter presenter;
    WindowPlacement placement;
    StatusFanOut followers;
    SupervisionSteps steps;
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
        EXPECT_EQ(rig.window.counterHistory, c.counter) << c.startDelay << "/" << c.logLevel;
        EXPECT_EQ(rig.Logs(), c.logs) << c.startDelay << "/" << c.logLevel;
    }
}

TEST(SupervisionTest, CountdownStartsWithTheLastSilentSecondAndActsShutTimeLater) {
    for (bool heardInCountdown : {false, true}) {
        Rig rig(Config(1, 30, 30, ShutPowerOff, 2));
        rig.Seconds(1 + 29);
        EXPECT_EQ(rig.window.counterHistory.back(), " No connections for the last 29s");
        EXPECT_EQ(rig.machine.Phase(), PhaseRun);
        rig.window.counterHistory.clear();
        rig.Seconds(1);
        EXPECT_EQ(rig.window.counterHistory,
                  (Lines{" No connections for the last 30s", " The Computer Will Power Off In 30s"}));
        // Datagrams arriving again do not stop a running countdown.
        rig.Seconds(29, heardInCountdown);
        EXPECT_EQ(rig.window.counterHistory.back(), " The Computer Will Power Off In 1s");
        EXPECT_FALSE(rig.Journalled("!power ShutdownSystem(12)"));
        EXPECT_THROW(rig.Seconds(1, heardInCountdown), ProgramEnded);
        EXPECT_EQ(rig.window.counterHistory.back(), " The Computer Will Power Off In 0s");
        EXPECT_TRUE(rig.Journalled("!power ShutdownSystem(12)"));
    }
}

TEST(SupervisionTest, OneValidDatagramStartsTheSilentCountAgain) {
    Rig rig(Config(1, 5, 2, ShutPowerOff, 1));
    rig.Seconds(1 + 4);
    rig.Seconds(1, true);
    EXPECT_EQ(rig.window.counterHistory.back(), "");
    EXPECT_EQ(rig.window.counterForeground, colours::StatusGreen);
    EXPECT_EQ(rig.machine.NothingHeard(), 1); // armed for the next second
    rig.Seconds(4);
    EXPECT_EQ(rig.window.counterHistory.back(), " No connections for the last 4s");
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
        EXPECT_TRUE(rig.window.timerEnabled);
        rig.journal.clear();
        rig.Seconds(2);
        EXPECT_EQ(rig.window.counterHistory.back(), " Program Activation In 3s");
        EXPECT_EQ(rig.journal, Lines{"Inactive/"});
    }
}

TEST(SupervisionTest, PowerErrorsPropagateWithoutClosing) {
    for (std::int16_t shutType : {ShutReboot, ShutStandby}) {
        Rig rig(Config(1, 5, 2, shutType, 3));
        rig.power.failWith = PowerActionError(5, "ShutdownSystem", "Access denied");
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
        EXPECT_EQ(rig.window.counterHistory.back(),
                  " The Computer Will " + ShutTypeName(c.shutType) + " In 0s");
        EXPECT_EQ(rig.journal, c.expiry);
        EXPECT_FALSE(rig.timerWhileOpen);
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
        for (const std::string& text : rig.window.counterHistory)
            EXPECT_EQ(text.find("Will"), std::string::npos) << text;
        EXPECT_EQ(rig.window.buttonCaption.count(Button::Reset), 0u);
    }
}

TEST(SupervisionTest, NoSecondCountdownTickUnderItsMessageBox) {
    Rig rig(Config(1, 5, 2, ShutHibernate, 2), ProgramKind::Master, true);
    // As if something restarted the timer while the simulated action's box waits.
    rig.whileOpen = [&rig] { rig.machine.RunPhaseOperations(); };
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
        EXPECT_EQ(rig.window.counterHistory.back(), c.activation);
        rig.Seconds(1, true);
        EXPECT_EQ(rig.window.counterHistory.back(), c.heard);
        EXPECT_EQ(rig.window.counterForeground, c.heardColour);
        EXPECT_TRUE(rig.window.counterBold);
        rig.Seconds(4);
        EXPECT_EQ(rig.window.counterHistory.back(), c.silent);
        EXPECT_EQ(rig.window.counterForeground, c.silentColour);
        rig.Seconds(1);
        EXPECT_EQ(rig.window.counterHistory.back(), c.countdown);
        EXPECT_EQ(rig.window.buttonToolTip[Button::Reset], c.cancelTip);
        const bool slave = c.kind == ProgramKind::Slave;
        EXPECT_EQ(rig.window.cpuLoadColoured, slave);
        if (slave) {
            ASSERT_FALSE(rig.window.cpuLoadHistory.empty());
            EXPECT_EQ(rig.window.cpuLoadHistory.back(), "");
            EXPECT_EQ(rig.window.cpuLoadColours.first, colours::White);
            EXPECT_EQ(rig.window.cpuLoadColours.second, colours::Orange);
            rig.machine.ResetSupervision();
            EXPECT_EQ(rig.window.cpuLoadColours.first, colours::ButtonText);
            EXPECT_EQ(rig.window.cpuLoadColours.second, colours::ButtonFace);
        }
    }
}

TEST(SupervisionTest, CountdownTakesTheWindowAndResetGivesItBack) {
    Rig rig(Config(1, 5, 30, ShutPowerOff, 1));
    rig.window.minimised = rig.window.trayIcon = true;
    rig.window.titleBold = true;
    rig.Seconds(1 + 5);
    EXPECT_EQ(rig.window.placementCalls, (Lines{"ShowNormalCentred", "RemoveTrayIcon", "RemoveTrayIcon"}));
    EXPECT_TRUE(rig.window.topmost);
    for (Button b : {Button::Config, Button::About, Button::TestS, Button::Exit})
        EXPECT_FALSE(rig.window.buttonEnabled[b]);
    EXPECT_EQ(rig.window.buttonEnabled.count(Button::Reset), 0u);
    EXPECT_EQ(rig.window.buttonCaption[Button::Reset], "Cancel");
    EXPECT_EQ(rig.window.counterForeground, colours::White);
    EXPECT_EQ(rig.window.counterBackground, colours::Orange);

    rig.machine.ResetSupervision();
    for (Button b : {Button::Config, Button::About, Button::TestS, Button::Exit})
        EXPECT_TRUE(rig.window.buttonEnabled[b]);
    EXPECT_EQ(rig.window.counterForeground, colours::ButtonText);
    EXPECT_EQ(rig.window.counterBackground, colours::ButtonFace);
    EXPECT_FALSE(rig.window.counterBold);
    EXPECT_EQ(rig.window.titleColour, colours::ButtonText);
    EXPECT_FALSE(rig.window.titleBold);
    EXPECT_FALSE(rig.window.timerEnabled);
    EXPECT_EQ(rig.window.buttonCaption[Button::Reset], "Cancel"); // restored by the program's reset
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
        rig.window.placementCalls.clear();
        rig.window.topmost = false;
        rig.window.minimised = rig.window.trayIcon = c.minimised;
        rig.config.RunOnTop = c.runOnTop;
        rig.placement.BringToFront(rig.machine.Phase());
        EXPECT_FALSE(rig.window.minimised);
        EXPECT_FALSE(rig.window.trayIcon);
        EXPECT_EQ(rig.window.placementCalls.size(), c.minimised ? 2u : 0u);
        EXPECT_EQ(rig.window.topmost, c.topmost);
        EXPECT_EQ(rig.machine.PhaseDetail(), c.detail);
    }
}

} // namespace
} // namespace tarnix::testing
