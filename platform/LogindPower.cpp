#include "platform/LogindPower.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>

#include <unistd.h>

#include <atomic>
#include <utility>

namespace tarnix {

namespace {

const QString Service = QStringLiteral("org.freedesktop.login1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// logind's SD_LOGIND_ROOT_CHECK_INHIBITORS: block inhibitors stop privileged callers too. Without
// it a privileged caller passes over them, which is what the force flag asks for.
constexpr quint64 RootCheckInhibitors = 1;

} // namespace

QString LogindVerb(PowerCall call) {
    switch (call) {
    case PowerCall::PowerOff:
        return QStringLiteral("PowerOff");
    case PowerCall::Reboot:
        return QStringLiteral("Reboot");
    case PowerCall::Halt:
        return QStringLiteral("Halt");
    case PowerCall::Hibernate:
        return QStringLiteral("Hibernate");
    case PowerCall::Suspend:
        return QStringLiteral("Suspend");
    case PowerCall::EndSession:
        break;
    }
    return {};
}

namespace {

// The inhibitor lock type that guards a call.
QString InhibitorKind(PowerCall call) {
    return call == PowerCall::Hibernate || call == PowerCall::Suspend ? QStringLiteral("sleep")
                                                                      : QStringLiteral("shutdown");
}

bool IsError(const QDBusMessage& reply) {
    return reply.type() != QDBusMessage::ReplyMessage;
}

PowerCallResult Result(const QDBusMessage& reply) {
    if (!IsError(reply)) return {};
    return {false, reply.errorName().toStdString(), reply.errorMessage().toStdString()};
}

PowerCallResult Failure(const QString& name, const QString& text) {
    return {false, name.toStdString(), text.toStdString()};
}

bool IsBusGone(const QDBusMessage& reply) {
    return reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoServer") ||
           reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

bool IsLogindMissing(const QDBusMessage& reply) {
    return reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

// Qt keeps the connection of QDBusConnection::systemBus() however dead it is, so a power layer
// that connects by itself does it under a name of its own.
QString NewConnectionName() {
    static std::atomic<int> count{0};
    return QStringLiteral("tarnix-logind-%1").arg(++count);
}

std::string AnswerText(const QString& method, const QString& answer) {
    return (method + QStringLiteral(" answered ") + answer).toStdString();
}

struct Inhibitor {
    QString what, who, why, mode;
    quint32 uid = 0;
    quint32 pid = 0;
};

QList<Inhibitor> ReadInhibitors(const QDBusMessage& reply) {
    QList<Inhibitor> inhibitors;
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        Inhibitor one;
        list.beginStructure();
        list >> one.what >> one.who >> one.why >> one.mode >> one.uid >> one.pid;
        list.endStructure();
        inhibitors.append(one);
    }
    list.endArray();
    return inhibitors;
}

QString ReadString(const QVariant& value) {
    if (value.canConvert<QDBusVariant>()) return value.value<QDBusVariant>().variant().toString();
    return value.toString();
}

} // namespace

LogindPower::LogindPower(int timeoutMs)
    : systemBusName_(NewConnectionName()), bus_(systemBusName_), timeoutMs_(timeoutMs) {}

LogindPower::LogindPower(QDBusConnection bus, int timeoutMs) : bus_(std::move(bus)), timeoutMs_(timeoutMs) {}

LogindPower::~LogindPower() {
    if (!systemBusName_.isEmpty()) QDBusConnection::disconnectFromBus(systemBusName_);
}

bool LogindPower::TakeSystemBus() {
    if (systemBusName_.isEmpty() || bus_.isConnected()) return true;
    // A dead connection holds on to its name until it is let go.
    QDBusConnection::disconnectFromBus(systemBusName_);
    // By address, read at each connection, rather than by bus type, which libdbus looks up only
    // once in a process.
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    bus_ = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, systemBusName_)
                             : QDBusConnection::connectToBus(address, systemBusName_);
    return bus_.isConnected();
}

PrivilegeAnswer LogindPower::MissingAnswer(const QDBusMessage& reply) const {
    if (IsBusGone(reply) || !bus_.isConnected()) return PrivilegeAnswer::BusUnreachable;
    return IsLogindMissing(reply) ? PrivilegeAnswer::ServiceMissing : PrivilegeAnswer::Failed;
}

QDBusMessage LogindPower::Send(QDBusMessage message) {
    // A password prompt would stall the countdown at its most important moment: never ask.
    message.setInteractiveAuthorizationAllowed(false);
    if (!TakeSystemBus()) return message.createErrorReply(bus_.lastError());
    const QDBusMessage reply = bus_.call(message, QDBus::Block, timeoutMs_);
    // Qt may learn of a broken connection only from a call; the next action connects afresh.
    if (!systemBusName_.isEmpty() && IsBusGone(reply)) {
        QDBusConnection::disconnectFromBus(systemBusName_);
        bus_ = QDBusConnection(systemBusName_);
    }
    return reply;
}

QDBusMessage LogindPower::CallManager(const QString& method, const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(Service, ManagerPath, ManagerInterface, method);
    message.setArguments(args);
    return Send(message);
}

PrivilegeAnswer LogindPower::Can(PowerCall call, std::string& errorText) {
    // Ending one's own session needs no permission, only logind: asking for our session tells
    // whether it is there.
    const bool endSession = call == PowerCall::EndSession;
    const QString method =
        endSession ? QStringLiteral("GetSessionByPID") : QStringLiteral("Can") + LogindVerb(call);
    const QDBusMessage reply = endSession
                                   ? CallManager(method, {QVariant::fromValue(static_cast<uint>(::getpid()))})
                                   : CallManager(method);
    const PrivilegeAnswer missing = IsError(reply) ? MissingAnswer(reply) : PrivilegeAnswer::Yes;
    if (endSession) {
        if (missing == PrivilegeAnswer::Yes || missing == PrivilegeAnswer::Failed)
            return PrivilegeAnswer::Yes;
        errorText = reply.errorMessage().toStdString();
        return missing;
    }
    if (IsError(reply)) {
        errorText = reply.errorMessage().toStdString();
        return missing;
    }
    const QString answer = reply.arguments().value(0).toString();
    if (answer == QLatin1String("yes")) return PrivilegeAnswer::Yes;
    errorText = AnswerText(method, answer);
    if (answer == QLatin1String("no")) return PrivilegeAnswer::No;
    if (answer == QLatin1String("na")) return PrivilegeAnswer::NotAvailable;
    if (answer == QLatin1String("challenge")) return PrivilegeAnswer::Challenge;
    return PrivilegeAnswer::Failed;
}

PowerCallResult LogindPower::Call(PowerCall call, bool force) {
    if (call == PowerCall::EndSession) return EndOwnSession();
    return Act(call, force);
}

// Without force, other users' block inhibitors stop the call. logind's flag makes it check them
// only for a privileged caller; an unprivileged one whom polkit lets ignore inhibitors (as the
// package's rule lets the group tarnix) would pass over them, and a logind older than the
// ...WithFlags methods passes over them for everyone. So they are checked here first.
PowerCallResult LogindPower::Act(PowerCall call, bool force) {
    if (!force) {
        const PowerCallResult blocked = CheckOtherUsersBlocks(call);
        if (!blocked.ok) return blocked;
    }
    const quint64 flags = force ? 0 : RootCheckInhibitors;
    const QDBusMessage reply =
        CallManager(LogindVerb(call) + QStringLiteral("WithFlags"), {QVariant::fromValue(flags)});
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
        return Result(CallManager(LogindVerb(call), {QVariant(false)}));
    return Result(reply);
}

PowerCallResult LogindPower::CheckOtherUsersBlocks(PowerCall call) {
    const QDBusMessage reply = CallManager(QStringLiteral("ListInhibitors"));
    // Not knowing the inhibitors is no licence to pass over them.
    if (IsError(reply)) return Result(reply);
    if (reply.signature() != QLatin1String("a(ssssuu)"))
        return Failure(QStringLiteral("org.freedesktop.DBus.Error.InvalidSignature"),
                       QStringLiteral("ListInhibitors answered with the signature ") + reply.signature());
    const quint32 self = geteuid();
    for (const Inhibitor& one : ReadInhibitors(reply)) {
        if (one.mode != QLatin1String("block") || one.uid == self) continue;
        if (!one.what.split(QLatin1Char(':')).contains(InhibitorKind(call))) continue;
        return Failure(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                       QStringLiteral("Operation denied due to active block inhibitor of user %1 (%2: %3)")
                           .arg(one.uid)
                           .arg(one.who, one.why));
    }
    return {};
}

// The session this process belongs to, else the one the environment names (a program started
// by a user service manager is in no session but inherits the desktop's XDG_SESSION_ID).
PowerCallResult LogindPower::EndOwnSession() {
    const QDBusMessage byPid = CallManager(QStringLiteral("GetSessionByPID"), {quint32(getpid())});
    QString id;
    if (!IsError(byPid)) {
        const QString path = byPid.arguments().value(0).value<QDBusObjectPath>().path();
        QDBusMessage get =
            QDBusMessage::createMethodCall(Service, path, PropertiesInterface, QStringLiteral("Get"));
        get.setArguments({SessionInterface, QStringLiteral("Id")});
        const QDBusMessage reply = Send(get);
        if (IsError(reply)) return Result(reply);
        id = ReadString(reply.arguments().value(0));
    } else {
        id = qEnvironmentVariable("XDG_SESSION_ID");
        if (id.isEmpty()) return Result(byPid);
    }
    return Result(CallManager(QStringLiteral("TerminateSession"), {id}));
}

} // namespace tarnix
