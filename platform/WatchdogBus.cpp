#include "platform/WatchdogBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QMap>

#include <optional>
#include <unistd.h>

#include "common/program/StatusFields.h"
#include "common/program/StatusReport.h"
#include "platform/PolkitQuestion.h"
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
        entries.append({remote.configured, Text(remote.name), Text(remote.address),
                        Text(remote.link ? LinkWord(*remote.link) : std::string()), Text(remote.letter)});
    return entries;
}

} // namespace

WatchdogBus::WatchdogBus(WatchdogCommands& commands, const QDBusConnection& connection, QString operatorGroup,
                         QObject* parent)
    : QDBusVirtualObject(parent), commands_(commands), connection_(connection),
      operatorGroup_(std::move(operatorGroup)), status_(commands.Status()) {
    qDBusRegisterMetaType<RemoteComputerEntry>();
    qDBusRegisterMetaType<RemoteComputerList>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
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
    registeredObject_ = connection_.registerVirtualObject(QString::fromLatin1(WatchdogObjectPath), this);
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

namespace {

constexpr const char* InvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
constexpr const char* UnknownMethod = "org.freedesktop.DBus.Error.UnknownMethod";
constexpr const char* UnknownProperty = "org.freedesktop.DBus.Error.UnknownProperty";
constexpr const char* ReadOnly = "org.freedesktop.DBus.Error.PropertyReadOnly";
constexpr const char* RemoteComputersName = "RemoteComputers";

QVariant BusValue(const StatusValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return Text(*text);
    if (const auto* number = std::get_if<std::int32_t>(&value)) return int(*number);
    if (const auto* count = std::get_if<std::uint64_t>(&value)) return qulonglong{*count};
    return std::get<bool>(value);
}

const char* BusType(const StatusValue& value) {
    if (std::holds_alternative<std::string>(value)) return "s";
    if (std::holds_alternative<std::int32_t>(value)) return "i";
    if (IsCounter(value)) return "t";
    return "b";
}

QString BusName(const StatusField& field) {
    return QString::fromLatin1(field.busName.data(), static_cast<qsizetype>(field.busName.size()));
}

} // namespace

QVariantMap WatchdogBus::PropertiesOf(const ProgramStatus& status) {
    QVariantMap properties;
    for (const StatusField& field : StatusFields())
        if (!field.busName.empty()) properties.insert(BusName(field), BusValue(field.read(status)));
    properties.insert(QString::fromLatin1(RemoteComputersName), QVariant::fromValue(EntriesOf(status)));
    return properties;
}

QString WatchdogBus::introspect(const QString&) const {
    QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(QString::fromLatin1(WatchdogInterface));
    for (const StatusField& field : StatusFields()) {
        if (field.busName.empty()) continue;
        const StatusValue kind = field.read(ProgramStatus{});
        xml += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"read\"%3\n")
                   .arg(BusName(field), QString::fromLatin1(BusType(kind)),
                        IsCounter(kind) ? QStringLiteral(">\n      <annotation "
                                                         "name=\"org.freedesktop.DBus.Property."
                                                         "EmitsChangedSignal\" value=\"false\"/>\n    "
                                                         "</property>")
                                        : QStringLiteral("/>"));
    }
    xml += QStringLiteral("    <property name=\"%1\" type=\"a(bssss)\" access=\"read\"/>\n")
               .arg(QString::fromLatin1(RemoteComputersName));
    xml += QStringLiteral("    <signal name=\"Event\"><arg name=\"name\" type=\"s\"/>"
                          "<arg name=\"details\" type=\"a{ss}\"/></signal>\n");
    xml += QStringLiteral("    <method name=\"Reset\"/>\n"
                          "    <method name=\"Test\"/>\n"
                          "    <method name=\"Status\"><arg type=\"s\" direction=\"out\"/></method>\n"
                          "  </interface>\n");
    return xml;
}

bool WatchdogBus::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.interface() == QLatin1String(PropertiesInterface)) return AnswerProperties(message);
    if (message.interface() == QLatin1String(WatchdogInterface) || message.interface().isEmpty())
        return AnswerWatchdog(message);
    return false; // introspection and the rest: Qt's own answers
}

bool WatchdogBus::AnswerProperties(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    const QString member = message.member();
    const bool ours = !args.isEmpty() && args.at(0).toString() == QLatin1String(WatchdogInterface);
    if (member == QLatin1String("GetAll") && message.signature() == QLatin1String("s")) {
        connection_.send(
            message.createReply(QVariant::fromValue(ours ? PropertiesOf(status_) : QVariantMap())));
        return true;
    }
    if (member == QLatin1String("Get") && message.signature() == QLatin1String("ss")) {
        const QVariantMap properties = PropertiesOf(status_);
        const auto found = properties.constFind(args.at(1).toString());
        if (!ours || found == properties.constEnd()) {
            Refuse(message, UnknownProperty,
                   QStringLiteral("No such property: %1").arg(args.at(1).toString()));
        } else {
            connection_.send(message.createReply(QVariant::fromValue(QDBusVariant(found.value()))));
        }
        return true;
    }
    if (member == QLatin1String("Set")) {
        Refuse(message, ReadOnly, QStringLiteral("The watchdog's properties are read-only"));
        return true;
    }
    Refuse(message, InvalidArgs, QStringLiteral("No such call of %1").arg(member));
    return true;
}

bool WatchdogBus::AnswerWatchdog(const QDBusMessage& message) {
    const QString member = message.member();
    const bool known = member == QLatin1String("Reset") || member == QLatin1String("Test") ||
                       member == QLatin1String("Status");
    if (!known) {
        Refuse(message, UnknownMethod, QStringLiteral("No method %1").arg(member));
    } else if (!message.signature().isEmpty()) {
        Refuse(message, InvalidArgs, QStringLiteral("%1 takes no arguments").arg(member));
    } else if (member == QLatin1String("Status")) {
        connection_.send(message.createReply(Text(StatusReport(status_).Json())));
    } else if (member == QLatin1String("Reset")) {
        PressForCaller(message, &WatchdogCommands::ResetClick, member);
    } else {
        PressForCaller(message, &WatchdogCommands::TestClick, member);
    }
    return true;
}

void WatchdogBus::Refuse(const QDBusMessage& call, const char* errorName, const QString& text) {
    connection_.send(call.createErrorReply(QString::fromLatin1(errorName), text));
}

// Twice a second: only the fields that changed are turned into bus values, and counters, which
// move at every tick, not at all (a client reads them when it wants them).
void WatchdogBus::StatusChanged(const ProgramStatus& status) {
    QVariantMap changed;
    for (const StatusField& field : StatusFields()) {
        if (field.busName.empty()) continue;
        const StatusValue now = field.read(status);
        if (!IsCounter(now) && now != field.read(status_)) changed.insert(BusName(field), BusValue(now));
    }
    const bool sameComputers = std::equal(
        status.remote.begin(), status.remote.end(), status_.remote.begin(), [](const auto& a, const auto& b) {
            return a.configured == b.configured && a.name == b.name && a.address == b.address &&
                   a.link == b.link && a.letter == b.letter;
        });
    if (!sameComputers)
        changed.insert(QString::fromLatin1(RemoteComputersName), QVariant::fromValue(EntriesOf(status)));
    status_ = status;
    if (!registeredObject_ || changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(WatchdogObjectPath),
                                                     QString::fromLatin1(PropertiesInterface),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(WatchdogInterface) << changed << QStringList();
    connection_.send(signal);
}

QMap<QString, QString> WatchdogBus::DetailsOf(const WatchdogEvent& event) {
    QMap<QString, QString> details;
    for (const auto& [key, value] : event.details)
        details.insert(Text(key), Text(value));
    details.insert(QStringLiteral("sequence"), QString::number(event.sequence));
    details.insert(QStringLiteral("program"),
                   event.program == ProgramKind::Master ? QStringLiteral("master") : QStringLiteral("slave"));
    if (event.testRun) details.insert(QStringLiteral("test"), QStringLiteral("1"));
    return details;
}

void WatchdogBus::Emit(const WatchdogEvent& event) {
    if (!registeredObject_) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(QString::fromLatin1(WatchdogObjectPath),
                                   QString::fromLatin1(WatchdogInterface), QStringLiteral("Event"));
    signal << Text(event.name) << QVariant::fromValue(DetailsOf(event));
    connection_.send(signal);
}

namespace {

// Long enough for the person at the computer to type a password where polkit asks for one;
// tarnixctl waits longer, so it hears this answer rather than a timeout of its own.
constexpr int PolkitTimeoutMs = 60000;

QString CallerName(uid_t uid) {
    const std::optional<std::string> name = UserName(uid);
    if (!name) return QStringLiteral("uid %1").arg(uid);
    return QStringLiteral("%1 (uid %2)").arg(Text(*name)).arg(uid);
}

} // namespace

// Asking the bus who called, and polkit whether they may, takes round trips: the answers come
// back through the event loop, so the program ticks on meanwhile, and the call is answered then.
void WatchdogBus::PressForCaller(const QDBusMessage& call, Press press, const QString& button) {
    emit CallerCheckStarted();
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"));
    ask << call.service();
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, call, press, button](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> uid = *finished;
                if (uid.isError()) {
                    Refuse(call, AccessDenied,
                           QStringLiteral("%1 refused: the bus could not tell who asked (%2)")
                               .arg(button, uid.error().message()));
                    return;
                }
                const QString who = CallerName(uid.value());
                // Root and the operators need no polkit, so they can press where it is missing.
                if (IsRootOrMember(uid.value(), operatorGroup_.toStdString())) {
                    PressFor(call, press, button, who);
                } else {
                    AskPolkit(call, press, button, who);
                }
            });
}

void WatchdogBus::AskPolkit(const QDBusMessage& call, Press press, const QString& button,
                            const QString& who) {
    emit AuthorizationCheckStarted();
    auto* watcher = new QDBusPendingCallWatcher(
        connection_.asyncCall(AuthorizationQuestion(call.service(), true), PolkitTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, call, press, button, who](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const AuthorizationAnswer answer = AnswerOf(finished->reply());
                if (!answer.answered) {
                    Refuse(
                        call, AccessDenied,
                        QStringLiteral("%1 refused: %2 is neither root nor a member of the group %3, and the "
                                       "authorisation service could not be asked: %4")
                            .arg(button, who, operatorGroup_, answer.why));
                    return;
                }
                if (!answer.authorized) {
                    Refuse(call, AccessDenied,
                           QStringLiteral("%1 refused: %2 is not allowed to press it: only the person at the "
                                          "computer, root and members of the group %3 may")
                               .arg(button, who, operatorGroup_));
                    return;
                }
                PressFor(call, press, button, who);
            });
}

void WatchdogBus::PressFor(const QDBusMessage& call, Press press, const QString& button, const QString& who) {
    commands_.PressedBy(button.toStdString(), who.toStdString());
    (commands_.*press)();
    connection_.send(call.createReply());
}

} // namespace tarnix
