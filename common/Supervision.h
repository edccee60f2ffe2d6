#pragma once

#include <cstdint>
#include <string>

#include "common/ConfigRecord.h"
#include "common/MainWindowView.h"
#include "common/MessageBox.h"
#include "common/PowerActions.h"

namespace tarnix {

enum SupervisionPhase : std::int16_t { PhaseActivation = 0, PhaseRun = 1, PhaseCountdown = 2 };

// What the supervision machine asks of the program that owns it.
class SupervisionProgram {
public:
    virtual ~SupervisionProgram() = default;
    // Writes one log line; the machine has tested the log level. A log failure ends the
    // program inside this call.
    virtual void Log(const std::string& event, const std::string& detail) = 0;
    virtual void ResetProgram() = 0;
    virtual void RefreshWindowTexts() = 0;
    // Ends the program at once; never returns to the caller in production.
    virtual void EndProgram() = 0;
    // The program's MinimiseAllowed flag: whether its next RefreshWindowTexts may send the
    // window to the tray. The slave clears it when a test run ends.
    virtual void SetMinimiseAllowed(bool allowed) = 0;
};

// The supervision state machine shared by both programs: activation delay, counting of silent
// seconds, the visible action countdown and its end. It advances only when its tick
// operations are called; it never reads a clock.
class Supervision {
public:
    Supervision(ProgramKind kind, ConfigRecord& config, MainWindowView& window, MessageBoxes& boxes,
                PowerActions& power, SupervisionProgram& program);

    // The phase operations in the fixed order of every supervision second: PhaseRun ->
    // LossCheckTick, then PhaseActivation -> ActivationTick, then PhaseCountdown ->
    // CountdownTick, each test reading the phase afresh.
    void RunPhaseOperations();

    void ActivationTick();
    void LossCheckTick();
    void CountdownTick();
    void ResetSupervision();
    void BringToFront();

    // Starts a test run: two seconds of activation, a loss limit of five seconds.
    void StartTestRun();

    // The detail word for "Reset" and "Exit" log lines: the phase's name.
    std::string PhaseDetail() const;
    const std::string& ProgramTitle() const { return programTitle_; }
    bool LogNormal() const { return config_.LogLevel > 1; }
    bool LogFull() const { return config_.LogLevel == 3; }

    // The machine's state, named as the rest of the programs read it.
    SupervisionPhase Phase = PhaseActivation;
    std::int16_t PhaseCounter = 0;
    std::int16_t NothingHeard = 1; // 1 = no valid datagram since the last loss check
    std::int16_t LostCommsLimit = 0;
    bool TestRun = false;
    bool InhibitShutdown = false;
    std::string ShutTypeName;
    std::string CommsStatus; // slave only: "....", "-OK-", "Error" or "Fail"

private:
    bool IsMaster() const { return kind_ == ProgramKind::Master; }
    void LogAtNormal(const std::string& event, const std::string& detail);
    void LogAtFull(const std::string& event, const std::string& detail);
    void ShowCountdownBox(const std::string& titleSuffix, const std::string& prompt);
    void EndTestRun();
    void ShowCountdown();
    bool ExpireCountdown();
    void PerformPowerAction();
    std::string CountdownText() const;

    ProgramKind kind_;
    ConfigRecord& config_;
    MainWindowView& window_;
    MessageBoxes& boxes_;
    PowerActions& power_;
    SupervisionProgram& program_;
    std::string programTitle_;
    bool countdownBoxOpen_ = false; // a CountdownTick waits for its message box
};

} // namespace tarnix
