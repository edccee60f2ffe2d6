#pragma once

#include <QDBusConnection>
#include <QString>

#include <memory>
#include <string>

#include "common/program/WatchdogCommands.h"
#include "platform/SdNotify.h"
#include "platform/WatchdogBus.h"
#include "service/StatusJournal.h"

namespace tarnix {

// The service's place on the system bus, kept up: the bus may start after the service, restart
// under it, or refuse it its name until the bus has read the package's policy. Every few ticks
// it connects and registers afresh where it is not on the bus, and says once that it lost the
// bus and once that it is back: in the journal and in the status systemctl shows.
class ServiceBus final : public StatusObserver, public EventSink {
public:
    static constexpr int TicksBetweenTries = 5;

    ServiceBus(WatchdogCommands& commands, JournalSink& journal, SdNotify& notify, std::string programTitle);
    ~ServiceBus() override;
    ServiceBus(const ServiceBus&) = delete;
    ServiceBus& operator=(const ServiceBus&) = delete;

    // Once a tick: a try every TicksBetweenTries ticks while it is not on the bus.
    void Tick();
    // Connects and registers now, if it is not on the bus.
    void Keep();
    void StatusChanged(const ProgramStatus& status) override;
    // An event while it is on the bus; one while it is not is lost to the bus (the hooks and the
    // log still have it).
    void Emit(const WatchdogEvent& event) override;

private:
    bool OnBus() const;
    bool Connect(QString& whyNot);
    void SayLost(const QString& whyNot);
    void SayBack();

    WatchdogCommands& commands_;
    JournalledCommands pressing_;
    JournalSink& journal_;
    SdNotify& notify_;
    std::string programTitle_;
    QString connectionName_;
    QDBusConnection connection_;
    std::unique_ptr<WatchdogBus> bus_;
    bool lostSaid_ = false;
    bool everOn_ = false;
    int ticks_ = 0;
};

} // namespace tarnix
