#include "service/ServiceBus.h"

#include "common/program/WatchdogBusNames.h"

namespace tarnix {
namespace {

constexpr const char* ConnectionName = "tarnix-service-bus";

} // namespace

ServiceBus::ServiceBus(WatchdogCommands& commands, JournalSink& journal, SdNotify& notify,
                       std::string programTitle)
    : commands_(commands), pressing_(commands, journal), journal_(journal), notify_(notify),
      programTitle_(std::move(programTitle)), connectionName_(QString::fromLatin1(ConnectionName)),
      connection_(connectionName_) {}

ServiceBus::~ServiceBus() {
    bus_.reset();
    QDBusConnection::disconnectFromBus(connectionName_);
}

bool ServiceBus::OnBus() const {
    return bus_ != nullptr && connection_.isConnected();
}

void ServiceBus::Tick() {
    if (OnBus()) {
        ticks_ = 0;
        return;
    }
    if (everOn_) SayLost(QStringLiteral("the connection was closed"));
    if (++ticks_ < TicksBetweenTries) return;
    ticks_ = 0;
    Keep();
}

void ServiceBus::Keep() {
    if (OnBus()) return;
    QString whyNot;
    if (Connect(whyNot)) {
        SayBack();
    } else {
        SayLost(whyNot);
    }
}

// Qt keeps a dead connection under its name however long it is dead, and libdbus reads the
// system bus's address only once a process: a fresh connection, by the address read now.
bool ServiceBus::Connect(QString& whyNot) {
    bus_.reset();
    QDBusConnection::disconnectFromBus(connectionName_);
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    connection_ = address.isEmpty()
                      ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, connectionName_)
                      : QDBusConnection::connectToBus(address, connectionName_);
    auto bus = std::make_unique<WatchdogBus>(pressing_, connection_);
    if (!bus->Register(whyNot)) return false;
    bus_ = std::move(bus);
    return true;
}

void ServiceBus::SayLost(const QString& whyNot) {
    if (lostSaid_) return;
    lostSaid_ = true;
    const std::string text =
        (everOn_ ? "lost the system bus (" : "no status or commands on the system bus (") +
        whyNot.toStdString() + "); supervision goes on and the bus is tried again every " +
        std::to_string(TicksBetweenTries) + " ticks";
    journal_.Line(JournalPriority::Warning, programTitle_ + ": " + text);
    notify_.Send("STATUS=Supervising; " + text);
}

void ServiceBus::SayBack() {
    const std::string name = WatchdogBusNameOf(commands_.Status().kind);
    if (lostSaid_)
        journal_.Line(JournalPriority::Notice, programTitle_ + ": on the system bus again as " + name);
    lostSaid_ = false;
    everOn_ = true;
    notify_.Send("STATUS=Supervising; on the system bus as " + name);
}

void ServiceBus::StatusChanged(const ProgramStatus& status) {
    if (bus_ != nullptr) bus_->StatusChanged(status);
}

void ServiceBus::Emit(const WatchdogEvent& event) {
    if (bus_ != nullptr) bus_->Emit(event);
}

} // namespace tarnix
