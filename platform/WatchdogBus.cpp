#include "platform/WatchdogBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>

#include <algorithm>
#include <optional>
#include <unistd.h>
#include <vector>

#include "common/program/StatusReport.h"
#include "platform/UserGroups.h"

namespace tarnix {

QDBusArgument& operator<<(QDBusArgument& out, const RemoteComputerEntry& entry) {
    out.beginStructure();
    out << entry.configured << entry.name << entry.address << entry.status << entry.letter;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, RemoteComputerEntry& entry) {
    in.beginStructure();
    in >> entry.configured >> entry.name >> entry.address >> entry.status >> entry.letter;
    in.endStructure();
    return in;
}

namespace {

constexpr const char* PropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* AccessDenied = "org.freedesktop.DBus.Error.AccessDenied";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

RemoteComputerList EntriesOf(const ProgramStatus& status) {
    RemoteComputerList entries;
    if (status.kind != ProgramKind::Master) return entries;
    for (const RemoteComputerStatus& remote : status.remote)
        entries.append({remote.configured, Text(remote.name), Text(remote.address), Text(remote.status),
                        Text(remote.letter)});
    return entries;
}

} // namespace

bool MayPressButtons(uid_t uid, const std::string& group) {
    if (uid == 0) return true;
    const std::optional<gid_t> gid = GroupId(group);
    if (!gid) return false;
    const std::vector<gid_t> groups = GroupsOfUser(uid);
    return std::find(groups.begin(), groups.end(), *gid) != groups.end();
}

WatchdogBus::WatchdogBus(WatchdogCommands& commands, const QDBusConnection& connection, QString operatorGroup,
                         QObject* parent)
    : QObject(parent), commands_(commands), connection_(connection), operatorGroup_(std::move(operatorGroup)),
      status_(commands.Status()) {
    qDBusRegisterMetaType<RemoteComputerEntry>();
    qDBusRegisterMetaType<RemoteComputerList>();
}

WatchdogBus::~WatchdogBus() {
    if (registeredName_) connection_.unregisterService(Text(WatchdogBusNameOf(status_.kind)));
    if (registeredObject_) connection_.unregisterObject(QString::fromLatin1(WatchdogObjectPath));
}

bool WatchdogBus::Register(QString& errorText) {
    const QString name = Text(WatchdogBusNameOf(status_.kind));
    if (!connection_.isConnected()) {
        errorText = QStringLiteral("Cannot reach the bus to register %1: %2")
                        .arg(name, connection_.lastError().message());
        return false;
    }
    registeredObject_ =
        connection_.registerObject(QString::fromLatin1(WatchdogObjectPath), this,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    if (!registeredObject_) {
        errorText = QStringLiteral("Cannot export %1 on the bus: the path is taken")
                        .arg(QString::fromLatin1(WatchdogObjectPath));
        return false;
    }
    // Without queueing: a second service for the same program must fail, not wait in line.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        connection_.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                 QDBusConnectionInterface::DontAllowReplacement);
    registeredName_ = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!registeredName_) {
        errorText =
            reply.isValid()
                ? QStringLiteral("Cannot register %1 on the bus: another program owns it").arg(name)
                : QStringLiteral("Cannot register %1 on the bus: %2").arg(name, reply.error().message());
        return false;
    }
    return true;
}

QVariantMap WatchdogBus::PropertiesOf(const ProgramStatus& status) {
    return {
        {QStringLiteral("Program"), Text(ProgramWord(status.kind))},
        {QStringLiteral("Phase"), Text(PhaseWord(status.phase))},
        {QStringLiteral("Count"), int(status.count)},
        {QStringLiteral("TimeLeft"), int(status.timeLeft)},
        {QStringLiteral("Action"), Text(status.action)},
        {QStringLiteral("TestRun"), status.testRun},
        {QStringLiteral("Unconfigured"), status.unconfigured},
        {QStringLiteral("RemoteComputers"), QVariant::fromValue(EntriesOf(status))},
    };
}

void WatchdogBus::StatusChanged(const ProgramStatus& status) {
    const QVariantMap before = PropertiesOf(status_);
    status_ = status;
    if (!registeredObject_) return;
    QVariantMap changed = PropertiesOf(status_);
    for (auto it = changed.begin(); it != changed.end();) {
        const bool same = it.key() == QLatin1String("RemoteComputers")
                              ? EntriesOf(status_) == before.value(it.key()).value<RemoteComputerList>()
                              : it.value() == before.value(it.key());
        it = same ? changed.erase(it) : std::next(it);
    }
    if (changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(WatchdogObjectPath),
                                                     QString::fromLatin1(PropertiesInterface),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(WatchdogInterface) << changed << QStringList();
    connection_.send(signal);
}

QString WatchdogBus::Program() const {
    return Text(ProgramWord(status_.kind));
}
QString WatchdogBus::Phase() const {
    return Text(PhaseWord(status_.phase));
}
int WatchdogBus::Count() const {
    return status_.count;
}
int WatchdogBus::TimeLeft() const {
    return status_.timeLeft;
}
QString WatchdogBus::Action() const {
    return Text(status_.action);
}
bool WatchdogBus::TestRun() const {
    return status_.testRun;
}
bool WatchdogBus::Unconfigured() const {
    return status_.unconfigured;
}
RemoteComputerList WatchdogBus::RemoteComputers() const {
    return EntriesOf(status_);
}

QString WatchdogBus::Status() const {
    return Text(StatusReport(status_).Json());
}

void WatchdogBus::Reset() {
    PressForCaller(&WatchdogCommands::ResetClick, "Reset");
}

void WatchdogBus::Test() {
    PressForCaller(&WatchdogCommands::TestClick, "Test");
}

void WatchdogBus::PressForCaller(void (WatchdogCommands::*press)(), const char* button) {
    // Asking the bus who called takes a round trip: the answer comes back through the event loop,
    // so the program ticks on meanwhile.
    setDelayedReply(true);
    const QDBusMessage call = message();
    emit CallerCheckStarted();
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"));
    ask << call.service();
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(ask), this);
    const QString buttonName = QString::fromLatin1(button);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, call, press, buttonName](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> uid = *finished;
                if (uid.isError()) {
                    connection_.send(call.createErrorReply(
                        QString::fromLatin1(AccessDenied),
                        QStringLiteral("%1 refused: the bus could not tell who asked (%2)")
                            .arg(buttonName, uid.error().message())));
                    return;
                }
                if (!MayPressButtons(uid.value(), operatorGroup_.toStdString())) {
                    connection_.send(call.createErrorReply(
                        QString::fromLatin1(AccessDenied),
                        QStringLiteral("%1 refused: only root and members of the group %2 may press it "
                                       "(the caller is uid %3)")
                            .arg(buttonName, operatorGroup_)
                            .arg(uid.value())));
                    return;
                }
                (commands_.*press)();
                connection_.send(call.createReply());
            });
}

} // namespace tarnix
