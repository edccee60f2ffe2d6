#include "platform/WatchdogClient.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "common/program/StatusFields.h"
#include "common/program/WatchdogBusNames.h"
#include "platform/PolkitQuestion.h"
#include "platform/UserGroups.h"
#include "platform/WatchdogBus.h"

namespace tarnix {
namespace {

constexpr const char* PropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr int PressTimeoutMs = 120000; // time enough to type a password when asked

StatusValue ValueLike(const StatusValue& kind, const QVariant& value) {
    if (std::holds_alternative<std::string>(kind)) return value.toString().toStdString();
    if (std::holds_alternative<std::int32_t>(kind)) return static_cast<std::int32_t>(value.toInt());
    if (IsCounter(kind)) return static_cast<std::uint64_t>(value.toULongLong());
    return value.toBool();
}

void ApplyRemoteComputers(const QVariant& value, ProgramStatus& status) {
    RemoteComputerList entries;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> entries;
    else
        entries = value.value<RemoteComputerList>();
    for (qsizetype i = 0; i < qsizetype(status.remote.size()); ++i) {
        RemoteComputerStatus& remote = status.remote[static_cast<std::size_t>(i)];
        if (i >= entries.size()) {
            remote = {};
            continue;
        }
        const RemoteComputerEntry& entry = entries.at(i);
        remote.configured = entry.configured;
        remote.name = entry.name.toStdString();
        remote.address = entry.address.toStdString();
        remote.link = LinkFromWord(entry.status.toStdString());
        remote.letter = entry.letter.toStdString();
    }
}

} // namespace

WatchdogClient::WatchdogClient(const QDBusConnection& connection, ProgramKind kind, Events events,
                               QObject* parent)
    : QObject(parent), connection_(connection), kind_(kind),
      name_(QString::fromStdString(WatchdogBusNameOf(kind))), events_(std::move(events)),
      watcher_(name_, connection, QDBusServiceWatcher::WatchForOwnerChange) {
    qDBusRegisterMetaType<RemoteComputerEntry>();
    qDBusRegisterMetaType<RemoteComputerList>();
    status_.kind = kind;
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { OnOwnerChanged(newOwner); });
}

bool WatchdogClient::ApplyProperties(const QVariantMap& properties, ProgramStatus& status) {
    bool any = false;
    for (const StatusField& field : StatusFields()) {
        if (field.busName.empty()) continue;
        const auto found =
            properties.constFind(QString::fromLatin1(field.busName.data(), field.busName.size()));
        if (found == properties.constEnd()) continue;
        any = field.write(status, ValueLike(field.read(ProgramStatus{}), found.value())) || any;
    }
    const auto remote = properties.constFind(QStringLiteral("RemoteComputers"));
    if (remote != properties.constEnd()) {
        ApplyRemoteComputers(remote.value(), status);
        any = true;
    }
    return any;
}

void WatchdogClient::Start() {
    connection_.connect(name_, QString::fromLatin1(WatchdogObjectPath),
                        QString::fromLatin1(PropertiesInterface), QStringLiteral("PropertiesChanged"), this,
                        SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    ask << name_;
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QString> owner = *finished;
        OnOwnerChanged(owner.isError() ? QString() : owner.value());
    });
}

void WatchdogClient::OnOwnerChanged(const QString& newOwner) {
    if (newOwner.isEmpty()) return Detach();
    FetchAll();
}

void WatchdogClient::Detach() {
    ++fetches_;
    const bool was = attached_;
    attached_ = false;
    status_ = ProgramStatus{};
    status_.kind = kind_;
    if (events_.gone && (was || fetches_ == 1)) events_.gone();
}

void WatchdogClient::FetchAll() {
    const unsigned fetch = ++fetches_;
    QDBusMessage call =
        QDBusMessage::createMethodCall(name_, QString::fromLatin1(WatchdogObjectPath),
                                       QString::fromLatin1(PropertiesInterface), QStringLiteral("GetAll"));
    call << QString::fromLatin1(WatchdogInterface);
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, fetch](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (fetch != fetches_) return;
                const QDBusPendingReply<QVariantMap> reply = *finished;
                if (reply.isError()) return Detach();
                ApplyProperties(reply.value(), status_);
                attached_ = true;
                if (events_.status) events_.status(status_);
            });
}

void WatchdogClient::OnPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                         const QStringList&) {
    if (!attached_ || interfaceName != QLatin1String(WatchdogInterface)) return;
    if (ApplyProperties(changed, status_) && events_.status) events_.status(status_);
}

void WatchdogClient::AskMayPress(uid_t uid, std::function<void(bool)> answer) {
    if (IsRootOrMember(uid, WatchdogOperatorGroup)) return answer(true);
    constexpr int PolkitTimeoutMs = 10000;
    auto* watcher = new QDBusPendingCallWatcher(
        connection_.asyncCall(AuthorizationQuestion(connection_.baseService(), false), PolkitTimeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answer = std::move(answer)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                answer(AnswerOf(finished->reply()).authorized);
            });
}

void WatchdogClient::Press(const QString& button) {
    QDBusMessage call = QDBusMessage::createMethodCall(name_, QString::fromLatin1(WatchdogObjectPath),
                                                       QString::fromLatin1(WatchdogInterface), button);
    // The service may ask polkit, which may ask the user for a password.
    call.setInteractiveAuthorizationAllowed(true);
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call, PressTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, button](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<> reply = *finished;
                if (reply.isError() && events_.refused) events_.refused(button, reply.error().message());
            });
}

} // namespace tarnix
