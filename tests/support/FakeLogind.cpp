#include "support/FakeLogind.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace tarnix::test {

namespace {

constexpr int SkipStatus = 77;

QString ArgumentText(const QVariant& value) {
    const QVariant inner = value.canConvert<QDBusVariant>() ? value.value<QDBusVariant>().variant() : value;
    if (inner.typeId() == QMetaType::Bool)
        return inner.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return inner.toString();
}

QStringList ReadCalls(const QDBusMessage& reply) {
    QStringList calls;
    const QDBusArgument log = reply.arguments().value(0).value<QDBusArgument>();
    log.beginArray();
    while (!log.atEnd()) {
        quint64 time = 0;
        QString method;
        QStringList args;
        log.beginStructure();
        log >> time >> method;
        log.beginArray();
        while (!log.atEnd()) {
            QDBusVariant arg;
            log >> arg;
            args << ArgumentText(arg.variant());
        }
        log.endArray();
        log.endStructure();
        calls << method + QLatin1Char('(') + args.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    log.endArray();
    return calls;
}

} // namespace

std::unique_ptr<FakeLogind> FakeLogind::Start(const QStringList& options, QString& whyNot, bool& skipped) {
    skipped = false;
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3"))) {
        skipped = true;
        whyNot = QStringLiteral("/usr/bin/python3 is missing");
        return nullptr;
    }
    std::unique_ptr<FakeLogind> fake(new FakeLogind);
    fake->process_.start(QStringLiteral("/usr/bin/python3"), QStringList{TARNIX_FAKE_LOGIND} + options);
    QString line;
    while (fake->process_.waitForReadyRead(15000)) {
        if (fake->process_.canReadLine()) {
            line = QString::fromUtf8(fake->process_.readLine()).trimmed();
            break;
        }
    }
    const QString prefix = QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=");
    if (!line.startsWith(prefix)) {
        fake->process_.closeWriteChannel();
        fake->process_.waitForFinished(5000);
        skipped =
            fake->process_.exitStatus() == QProcess::NormalExit && fake->process_.exitCode() == SkipStatus;
        whyNot = QStringLiteral("fake logind did not start: ") +
                 QString::fromUtf8(fake->process_.readAllStandardError());
        return nullptr;
    }
    fake->address_ = line.mid(prefix.size());
    static int connections = 0;
    fake->connectionName_ = QStringLiteral("fake-logind-control-%1").arg(++connections);
    return fake;
}

FakeLogind::~FakeLogind() {
    if (!connectionName_.isEmpty()) QDBusConnection::disconnectFromBus(connectionName_);
    // The script takes the bus and the mock down with it once its input closes.
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
        process_.waitForFinished(1000);
    }
}

QDBusConnection FakeLogind::Bus() const {
    return QDBusConnection::connectToBus(address_, connectionName_);
}

QDBusMessage FakeLogind::Control(const QString& method, const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.DBus.Mock"), method);
    message.setArguments(args);
    const QDBusMessage reply = Bus().call(message, QDBus::Block, 10000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply;
}

void FakeLogind::Reset() {
    Control(QStringLiteral("Reset"));
    ClearCalls();
}

void FakeLogind::ClearCalls() {
    Control(QStringLiteral("ClearCalls"));
}

void FakeLogind::SetCanAnswer(const QString& method, const QString& answer) {
    Control(QStringLiteral("SetCanAnswer"), {method, answer});
}

void FakeLogind::SetError(const QString& method, const QString& name, const QString& text) {
    Control(QStringLiteral("SetError"), {method, name, text});
}

void FakeLogind::SetDelay(const QString& method, double seconds) {
    Control(QStringLiteral("SetDelay"), {method, seconds});
}

void FakeLogind::AddInhibitor(const QString& what, const QString& mode, quint32 uid) {
    Control(QStringLiteral("AddInhibitor"),
            {what, QStringLiteral("a test"), QStringLiteral("holding on"), mode, uid, quint32(4242)});
}

QStringList FakeLogind::Calls() {
    return ReadCalls(Control(QStringLiteral("GetCalls")));
}

namespace {

struct SystemBusState {
    bool tried = false;
    bool skipped = false;
    QString whyNot;
    std::unique_ptr<FakeLogind> fake;
};

SystemBusState& State() {
    static SystemBusState state;
    return state;
}

QString BusId(const QDBusConnection& bus) {
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(
                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
                 QDBus::Block, 5000);
    return reply.arguments().value(0).toString();
}

// Anything but our own bus daemon answering here means the test could reach a real logind.
QString CheckSystemBusIsPrivate(const FakeLogind& fake) {
    if (qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS") != fake.Address())
        return QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS does not name the private bus");
    const QString privateId = BusId(fake.Bus());
    if (privateId.isEmpty()) return QStringLiteral("the private bus does not tell its id");
    const QString systemId = BusId(QDBusConnection::systemBus());
    if (systemId != privateId)
        return QStringLiteral("the system bus connection is not the private bus (id '%1', not '%2')")
            .arg(systemId, privateId);
    return {};
}

} // namespace

FakeLogind* SystemBusFake(QString& whyNot, bool& skipped) {
    SystemBusState& state = State();
    if (!state.tried) {
        state.tried = true;
        std::unique_ptr<FakeLogind> fake = FakeLogind::Start({}, state.whyNot, state.skipped);
        if (fake) {
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", fake->Address().toUtf8());
            state.whyNot = CheckSystemBusIsPrivate(*fake);
            if (state.whyNot.isEmpty()) state.fake = std::move(fake);
        }
    }
    whyNot = state.whyNot;
    skipped = state.skipped;
    return state.fake.get();
}

void StopSystemBusFake() {
    State().fake.reset();
}

} // namespace tarnix::test
