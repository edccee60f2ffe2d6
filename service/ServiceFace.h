#pragma once

#include <QCoreApplication>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/program/ProgramBase.h"
#include "common/supervision/ShutdownModule.h"
#include "platform/LogindPower.h"
#include "platform/QtSupervisionTimer.h"
#include "platform/SdNotify.h"
#include "platform/ServiceClaim.h"
#include "platform/SodiumSealing.h"
#include "platform/SystemClock.h"
#include "platform/TerminalWall.h"
#include "service/CountdownRecord.h"
#include "service/JournalBoxes.h"
#include "service/ServiceBus.h"
#include "service/StatusJournal.h"

namespace tarnix {

// Journal lines on standard error, each with its sd-daemon priority prefix, one write each.
class StderrJournal final : public JournalSink {
public:
    void Line(JournalPriority priority, const std::string& text) override;
};

// The program ends at once, with the exit status its end calls for, after whatever the face
// must do before any end.
class ServiceControl final : public ProgramControl {
public:
    void RaisePriority() override;
    void EndProgram(ProgramEnd end) override;
    void BeforeEnd(std::function<void()> step) { beforeEnd_ = std::move(step); }

private:
    std::function<void()> beforeEnd_;
};

// The service manager hears of every tick: a service whose timer stops is killed and restarted.
// The bus is looked after at the same beat, so keeping it costs no wakeup of its own.
class ServiceTicks final : public TickObserver {
public:
    explicit ServiceTicks(SdNotify& notify) : notify_(notify) {}
    void Follow(ServiceBus& bus) { bus_ = &bus; }
    void TickBegins() override {}
    void TickEnded() override {
        notify_.Send("WATCHDOG=1");
        if (bus_ != nullptr) bus_->Tick();
    }

private:
    SdNotify& notify_;
    ServiceBus* bus_ = nullptr;
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
    // The load sequence, a countdown taken up where an earlier process left it, then READY=1
    // and the event loop.
    int Run(ProgramBase& program);

private:
    void FollowSignals(ProgramBase& program);
    void Reload(ProgramBase& program);
    void ResumeCountdown(ProgramBase& program, std::optional<int> leftOver);

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
    ServiceTicks ticks_;
    TerminalWall wall_;
    StatusJournal statusJournal_;
    StatusFanOut followers_;
    EventFanOut events_; // the bus's Event signal, the hooks
    ServiceClaim claim_;
    std::optional<CountdownRecord> countdown_; // only where this service holds the computer's claim
};

} // namespace tarnix
