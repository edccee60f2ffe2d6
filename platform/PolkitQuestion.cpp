#include "platform/PolkitQuestion.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QMap>
#include <QVariantMap>

#include "common/program/WatchdogBusNames.h"

namespace tarnix {

QDBusMessage AuthorizationQuestion(const QString& busName, bool interactive) {
    qDBusRegisterMetaType<QMap<QString, QString>>(); // the details, a{ss}
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.PolicyKit1"), QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
        QStringLiteral("org.freedesktop.PolicyKit1.Authority"), QStringLiteral("CheckAuthorization"));
    QDBusArgument subject;
    subject.beginStructure();
    subject << QStringLiteral("system-bus-name") << QVariantMap{{QStringLiteral("name"), busName}};
    subject.endStructure();
    constexpr unsigned AllowUserInteraction = 1;
    ask << QVariant::fromValue(subject) << QString::fromLatin1(WatchdogControlAction)
        << QVariant::fromValue(QMap<QString, QString>()) << (interactive ? AllowUserInteraction : 0u)
        << QString();
    return ask;
}

AuthorizationAnswer AnswerOf(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("(bba{ss})"))
        return {.why = reply.type() == QDBusMessage::ErrorMessage
                           ? reply.errorMessage()
                           : QStringLiteral("it answered %1").arg(reply.signature())};
    bool authorized = false;
    bool challenge = false;
    QMap<QString, QString> details;
    const QDBusArgument result = reply.arguments().at(0).value<QDBusArgument>();
    result.beginStructure();
    result >> authorized >> challenge >> details;
    result.endStructure();
    return {.answered = true, .authorized = authorized};
}

} // namespace tarnix
