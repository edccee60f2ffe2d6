#pragma once

#include <cstdint>
#include <string>

#include "common/config/ConfigRecord.h"

namespace tarnix {

enum SupervisionPhase : std::int16_t { PhaseActivation = 0, PhaseRun = 1, PhaseCountdown = 2 };

// What a supervision second ended in, for the program to act on.
enum class SecondOutcome {
    Nothing,
    TestRunEnded,     // the test run's countdown began: the program reports and resets
    CountdownExpired, // the countdown reached ShutTime: the program performs (or simulates) the action
};

// What the machine reports as it goes, for its program to show: each change as it happens,
// the values to be read from the machine.
enum class SupervisionChange {
    Reset,             // back to the start of the activation delay
    ActivationCounted, // a second of the activation delay went by
    LinkHeard,         // the loss check found a valid datagram in its second
    LinkSilent,        // the loss check found none
    CountdownSecond,   // a second of the countdown begins
    CountdownBegins,   // its first second: the window comes to the front
    CountdownShown,    // the time left changed
};

class SupervisionDisplay {
public:
    virtual ~SupervisionDisplay() = default;
    virtual void ShowSupervision(SupervisionChange change) = 0;
};

// Where the machine's log lines go; the machine has tested the log level. A log failure may
// end the program inside this call.
class SupervisionLog {
public:
    virtual ~SupervisionLog() = default;
    virtual void Log(const std::string& event, const std::string& detail) = 0;
};

// The line, where the configuration's logging level is Normal or Full (LogAtFull: Full only).
void LogAtNormal(SupervisionLog& log, const ConfigRecord& config, const std::string& event,
                 const std::string& detail);
void LogAtFull(SupervisionLog& log, const ConfigRecord& config, const std::string& event,
               const std::string& detail);

// The supervision state machine shared by both programs: activation delay, counting of silent
// seconds and the visible action countdown. It advances only when RunPhaseOperations is
// called, never reads a clock, shows nothing itself and leaves acting on the countdown's end to
// its program.
class Supervision {
public:
    Supervision(const ConfigRecord& config, SupervisionDisplay& display, SupervisionLog& log);

    // One supervision second, in the fixed order PhaseRun -> loss check, then PhaseActivation
    // -> activation, then PhaseCountdown -> countdown, each test reading the phase afresh.
    SecondOutcome RunPhaseOperations();

    // A valid datagram arrived: the current second is not silent.
    void Heard() { nothingHeard_ = 0; }
    void ResetSupervision();
    // Starts a test run: two seconds of activation, a loss limit of five seconds.
    void StartTestRun();
    // Goes straight into the countdown with secondsLeft of it to go (0: it expires at the next
    // second), as when a restarted process takes up the countdown its predecessor left.
    void ResumeCountdown(std::int16_t secondsLeft);
    // "-InhibitShutdown": the loss limit and the countdown shrink to six seconds and the
    // action is only simulated. Takes effect at the next reset.
    void SetInhibitShutdown(bool inhibit) { inhibitShutdown_ = inhibit; }
    // While the program's box for an expired countdown is open, a tick that something else
    // started must not run the countdown a second time underneath it.
    void HoldCountdown(bool held) { countdownHeld_ = held; }
    // The second in which the countdown expired into a suspension still counts after the
    // reset: the first second after resumption then shows StartDelay and is not reported as
    // inactive.
    void CountSuspensionSecond() { ++phaseCounter_; }

    // The detail word for "Reset" and "Exit" log lines: the phase's name.
    std::string PhaseDetail() const;
    bool LogNormal() const;
    bool LogFull() const;

    SupervisionPhase Phase() const { return phase_; }
    std::int16_t PhaseCounter() const { return phaseCounter_; }
    std::int16_t NothingHeard() const {
        return nothingHeard_;
    } // 1 = no valid datagram since the last loss check
    std::int16_t LostCommsLimit() const { return lostCommsLimit_; }
    std::int16_t ShutTime() const { return shutTime_; } // the countdown's length in force
    // Seconds left of the countdown, as it shows them (the full length before it starts).
    std::int16_t TimeLeft() const { return timeLeft_; }
    bool TestRun() const { return testRun_; }
    bool InhibitShutdown() const { return inhibitShutdown_; }
    const std::string& ShutTypeName() const { return shutTypeName_; }
    // Changes whenever the machine starts listening afresh: at a reset, on entering Run and at
    // every loss check. A program can tell by it whether what it heard belongs to the present
    // stretch of listening.
    std::uint32_t ListeningSecond() const { return listeningSecond_; }
    // Whether the machine has listened since its last reset: from just after the "Enter Run"
    // line on.
    bool Listening() const { return listening_; }

private:
    void ActivationTick();
    void LossCheckTick();
    SecondOutcome CountdownTick();
    void ListenAfresh();

    const ConfigRecord& config_;
    SupervisionDisplay& display_;
    SupervisionLog& log_;

    SupervisionPhase phase_ = PhaseActivation;
    std::int16_t phaseCounter_ = 0;
    std::int16_t nothingHeard_ = 1;
    std::int16_t lostCommsLimit_ = 0;
    std::int16_t shutTime_ = 0;
    std::int16_t timeLeft_ = 0;
    bool testRun_ = false;
    bool inhibitShutdown_ = false;
    bool countdownHeld_ = false;
    std::string shutTypeName_;
    std::uint32_t listeningSecond_ = 0;
    bool listening_ = false;
};

} // namespace tarnix
