#pragma once

#include <QCoreApplication>

#include <string>

#include "common/JournalBoxes.h"
#include "common/ProgramBase.h"
#include "common/ShutdownModule.h"
#include "common/StatusJournal.h"
#include "platform/LogindPower.h"
#include "platform/QtSupervisionTimer.h"
#include "platform/SdNotify.h"
#include "platform/ServiceClaim.h"
#include "platform/SodiumSealing.h"
#include "platform/SystemClock.h"
#include "platform/TerminalWall.h"

namespace tarnix {

// Journal lines on standard error, each with its sd-daemon priority prefix, one write each.
class StderrJournal final : public JournalSink {
public:
    void Line(JournalPriority priority, const std::string& text) override;
};

// The program ends at once; after a warning or an error box, with exit status 1.
class ServiceControl final : public ProgramControl {
public:
    explicit ServiceControl(const JournalBoxes& boxes) : boxes_(boxes) {}
    void RaisePriority() override;
    void EndProgram() override;

private:
    const JournalBoxes& boxes_;
};

// The service manager hears of every tick: a service whose timer stops is killed and restarted.
class WatchdogPing final : public TickObserver {
public:
    explicit WatchdogPing(SdNotify& notify) : notify_(notify) {}
    void TickBegins() override {}
    void TickEnded() override { notify_.Send("WATCHDOG=1"); }

private:
    SdNotify& notify_;
};

// Fans how things stand out to every face part that follows it.
class StatusFanOut final : public StatusObserver {
public:
    void Add(StatusObserver& observer) { observers_.push_back(&observer); }
    void StatusChanged(const ProgramStatus& status) override {
        for (StatusObserver* observer : observers_)
            observer->StatusChanged(status);
    }

private:
    std::vector<StatusObserver*> observers_;
};

// The headless face of both programs: the same logic with journal lines for windows and boxes,
// the service manager's notifications, and the service's own instance claim.
class ServiceFace {
public:
    ServiceFace(int& argc, char** argv, ProgramKind kind, std::string commandLine);

    const std::string& CommandLine() const { return commandLine_; }
    ProgramKind Kind() const { return kind_; }
    // False, with a line saying why, when another service holds the claim.
    bool ClaimInstance();
    ProgramServices Services();
    StatusFanOut& StatusFollowers() { return followers_; }
    JournalSink& Journal() { return journal_; }
    // The load sequence, then READY=1 and the event loop.
    int Run(ProgramBase& program);

private:
    ProgramKind kind_;
    std::string commandLine_;
    QCoreApplication app_;
    StderrJournal journal_;
    JournalBoxes boxes_;
    LogindPower logind_;
    ShutdownModule shutdown_;
    JournalledPower power_;
    SystemClock clock_;
    ServiceControl control_;
    QtSupervisionTimer timer_;
    SodiumSealing sealing_;
    SdNotify notify_;
    WatchdogPing ping_;
    TerminalWall wall_;
    StatusJournal statusJournal_;
    StatusFanOut followers_;
    ServiceClaim claim_;
};

} // namespace tarnix
