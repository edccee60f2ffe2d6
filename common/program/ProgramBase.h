#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/base/Clock.h"
#include "common/config/ConfigRecord.h"
#include "common/config/ConfigScreenHost.h"
#include "common/config/ConfigScreenView.h"
#include "common/display/MainWindowView.h"
#include "common/link/PeerKey.h"
#include "common/link/SealedPort.h"
#include "common/log/LogFile.h"
#include "common/log/RunningLog.h"
#include "common/program/MessageBox.h"
#include "common/program/ProgramControl.h"
#include "common/program/ProgramStatus.h"
#include "common/program/SupervisionSteps.h"
#include "common/program/WatchdogCommands.h"
#include "common/program/WatchdogEvents.h"
#include "common/supervision/CountdownExpiry.h"
#include "common/supervision/PowerActions.h"
#include "common/supervision/Supervision.h"
#include "common/supervision/SupervisionTimer.h"

namespace tarnix {

// The outside world of a program's logic: the seams every face gives. What only a window needs
// follows the status as an observer the desktop face adds.
struct ProgramServices {
    SupervisionTimer& timer;
    MessageBoxes& boxes;
    PowerActions& power;
    const Clock& clock;
    ProgramControl& control;
    StatusObserver& statusObserver; // the parts of the face that follow how things stand
    Sealing& sealing;               // the crypto of keyed links
    EventSink& events;              // who hears of what happened (the bus, the hooks)
};

// The configuration and keys as read and checked, not yet in force.
struct CheckedConfiguration {
    ConfigRecord record;
    std::string text;
    bool unconfigured = false;
    LinkKeys keys;
};

// What the master and the slave do alike: configuration and log at start, the log writer with
// its fatal errors, the steps of how things stand, the about box and the configuration screen,
// and the end. The two programs derive from it and add their datagram handling and their own
// load order.
class ProgramBase : public TickEvents, public WatchdogCommands, public SupervisionLog {
public:
    ProgramBase(ProgramKind kind, std::string commandLine, const ProgramServices& services);

    // The load sequence: files, log and links, then supervision from its activation delay.
    void Load();
    // Reads the configuration and key files and creates the log (the slave also opens its
    // port); a failure ends the program.
    virtual void InitialiseProgram() = 0;

    // SupervisionLog: writes one log line. Until the program guards its computer a log failure
    // ends the program inside this call; from then on it is reported once and the line kept.
    void Log(const std::string& event, const std::string& detail) override;
    // The line, where the logging level is Normal or Full.
    void LogAtNormal(const std::string& event, const std::string& detail);
    void RefreshWindowTexts();
    // After the configuration screen's box: the program ends at once, as a failure.
    void EndProgram();

    // How things stand now.
    ProgramStatus Status() const override;
    // A line about an event hook's run: in the log at Full, or at Normal for a failure.
    void LogHookLine(const std::string& line, bool failure);

    // The window's commands. Exit, or the window closed by any other means: the program ends.
    void OnWindowClosing();
    // Opens the about box in view; returns when it has closed.
    void OpenAboutBox(AuxWindowsView& view);
    // Opens the configuration screen in window modally; returns when it has closed and the
    // program has taken up what it saved. host: what the screen asks of the window's side.
    void OpenConfigScreen(ConfigScreenWindow& window, ConfigScreenHost& host);
    // The desktop's viewer could not open the log file named logName.
    void ReportLogFileUnopened(const std::string& logName);

    // The system asks the program to end (logout, shutdown, kill).
    void OnTerminationSignal();
    // Reads the configuration and key files again and restarts supervision with them, as the
    // configuration screen's Close does. Files that fail their checks are refused whole: the
    // box says why (without ending the program) and everything in force stays. True when taken.
    bool ReloadConfiguration();
    // Takes up a countdown that an earlier process of this program left with secondsLeft to go;
    // false when there is nothing to resume it in (not configured, ending).
    bool ResumeCountdown(int secondsLeft);

    void ResetClick() override = 0;
    void TestClick() override = 0;
    void PressedBy(const std::string& button, const std::string& who) override;
    virtual void ResetProgram() = 0;

    const ConfigRecord& Config() const { return config_; }
    bool Unconfigured() const { return unconfigured_; }
    const Supervision& Machine() const { return supervision_; }
    const AuxWindows& Auxiliary() const { return auxWindows_; }
    // Whether the link to the master (0, in a slave) or to remote computer 1..4 has a key.
    bool LinkKeyed(int link) const { return keys_.Keyed(link); }

    // What the configuration screen asks of the program (see ConfigScreenHost).
    bool ConfigSaved() const { return configSaved_; }
    void SetConfigSaved(bool saved) { configSaved_ = saved; }
    void StopSupervisionTimer();
    virtual void ReinitialiseAfterConfiguration() = 0;

protected:
    // After the screen's re-initialisation: the "Config"/"Updated" line and, at Full, the header
    // with the configuration listing.
    void WriteConfigUpdatedLog();

    // Takes up the configuration and keys that a reload checked, or else reads and checks them,
    // and creates the log; a failure ends the program.
    void ReadConfigurationAndLog();
    // Reads and checks the configuration file and the key files, changing nothing in force.
    std::variant<CheckedConfiguration, FatalError> ReadCheckedConfiguration() const;
    // Gives a link's port the key read for it, or none.
    void SealLink(SealedPort& port, int link);
    // Once per tick: the link's report of dropped datagrams when one is due, in the log, and
    // a domain name that cannot be looked up, once per outage, in the log and the status.
    void WatchLink(SealedPort& port, int link);
    // The two empty lines, the start-up header and the "UnConfig" line.
    void WriteStartUpLog();
    // Shows a fatal error's box, removes the tray icon and ends the program.
    void Fatal(const FatalError& error, ProgramEnd end = ProgramEnd::Failed);
    // The load sequence is over: from now on a log failure no longer ends the program.
    void StartGuarding();
    // Once a second: the log lines kept while the log could not be written.
    void RetryLostLog();
    // Tells the face that follows how things stand: settled, or one step on the way.
    void NotifyStatus();
    void Publish(StatusStep step);
    // Tells what happened, numbered in the order it happened.
    void Emit(std::string name, std::vector<std::pair<std::string, std::string>> details = {});
    // A link to a peer was judged up or down: lost once it was up, back once it was lost. link 0
    // is a slave's master, 1..4 a master's remote computers.
    void JudgeLink(int link, bool up, const std::string& peer, const std::string& address);
    // Every Reset, pressed or commanded: counted by where it came from; a real countdown it
    // cancels is told.
    void NoteReset();
    // How events name a link's peer: "master" for a slave's, a remote computer's name or address.
    std::string PeerName(int link) const;
    // A Reset command from the master (a slave's) comes next.
    void ResetCommandFollows() { resetSource_ = ResetSource::Command; }
    // One second of supervision and what it ended in; a refused power action ends the program
    // with its error box.
    void RunSupervisionSecond();
    // Asks the port-in-use question; Yes ends the program, No leaves it unconfigured.
    void AskPortQuestion();
    // Closes an auxiliary window whose countdown has run out.
    void CloseExpiredAuxWindows();
    bool InhibitShutdownSwitch() const;
    // Every reset of the machine goes through here: the timer waits for the refresh that follows.
    void ResetSupervision();
    // Stops the supervision timer until the next window-text refresh, which alone starts it.
    void HoldTicks();

    virtual LogLineState CurrentLogState() const = 0;
    // The master opens its remote computers' ports after the reset of the load sequence, and
    // shows them once the texts are up; the slave opened its one port with the files.
    virtual void OpenLinks() {}
    virtual void ShowLinks() {}
    // What the master adds to how things stand (its remote computers).
    virtual void AddProgramStatus(ProgramStatus&) const {}
    // What the slave adds to the window-text refresh (its reply message).
    virtual void RefreshProgramTexts() {}

    // What every reset does first: give a cancelled countdown's button back its caption, and
    // decide whether the refresh may send the window to the tray.
    void BeginReset();
    // Starts a test run on a machine that was just reset, and says so in the window and log.
    void EnterTestMode();
    // The test run's countdown began: report it, reset, and show the "Test" box.
    void EndTestRun();
    // What the second just run changed: supervision active, a real countdown begun.
    void TellPhaseEvents(SupervisionPhase before);
    // The countdown ran out: the action, then the program's end or its reset.
    void ActOnExpiredCountdown();
    // The program ends now, with end as its exit status.
    void End(ProgramEnd end);
    void AppendToLog(const std::string& text);
    void ReportLostLog(const FatalError& error);

    ProgramKind kind_;
    std::string commandLine_;
    SupervisionTimer& timer_;
    MessageBoxes& boxes_;
    const Clock& clock_;
    ProgramControl& control_;
    StatusObserver& statusObserver_;
    Sealing& sealing_;
    EventSink& events_;
    std::uint64_t eventSequence_ = 0;
    enum class ResetSource { Button, Bus, Command };
    ResetSource resetSource_ = ResetSource::Button; // of the next Reset
    std::string resetBy_;                           // who pressed it over the bus
    ProgramStatus::ResetSources resetsBy_;
    std::uint32_t countdowns_ = 0, actions_ = 0;
    // By link as in JudgeLink: the last judgement, and whether its loss was told.
    std::array<std::optional<bool>, RemoteComputerCount + 1> linkUp_{};
    std::array<bool, RemoteComputerCount + 1> linkLostTold_{};
    LinkKeys keys_;
    std::array<std::string, RemoteComputerCount + 1> lookupFailures_{}; // by link, as in LinkKeyed
    std::optional<CheckedConfiguration> reloaded_; // checked by a reload, for the re-initialisation
    AuxWindows auxWindows_;

    std::string programTitle_;
    ConfigRecord config_;
    std::string configText_;
    bool unconfigured_ = false;
    bool minimiseAllowed_ = true;
    bool configSaved_ = false;
    bool ending_ = false; // a fatal box is open and the program ends when it closes
    bool guarding_ = false;
    bool testBoxOpen_ = false;
    std::uint32_t resets_ = 0, tests_ = 0;

    LogFile log_;
    RunningLog runningLog_;
    SupervisionSteps steps_;
    Supervision supervision_;
    CountdownExpiry expiry_;
};

} // namespace tarnix
