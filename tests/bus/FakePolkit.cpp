#include "bus/FakePolkit.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace tarnix::test {

namespace {

constexpr const char* PolkitName = "org.freedesktop.PolicyKit1";
constexpr const char* AuthorityPath = "/org/freedesktop/PolicyKit1/Authority";

} // namespace

std::unique_ptr<FakePolkit> FakePolkit::Start(const QString& busAddress, QString& whyNot) {
    std::unique_ptr<FakePolkit> fake(new FakePolkit);
    static int connections = 0;
    fake->address_ = busAddress;
    fake->connectionName_ = QStringLiteral("fake-polkit-control-%1").arg(++connections);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress);
    fake->process_.setProcessEnvironment(environment);
    fake->process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // dbus-python and dbusmock belong to the system's interpreter.
    fake->process_.start(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                          QStringLiteral("--template"), QStringLiteral("polkitd"),
                          QStringLiteral("--logfile"), fake->folder_.filePath(QStringLiteral("calls.log"))});
    const QDBusConnection bus = QDBusConnection::connectToBus(busAddress, fake->connectionName_);
    const QDeadlineTimer deadline(10000);
    while (!bus.interface()->isServiceRegistered(QString::fromLatin1(PolkitName)).value()) {
        if (fake->process_.state() == QProcess::NotRunning || deadline.hasExpired()) {
            whyNot = QStringLiteral(
                "dbusmock's polkitd did not appear on the bus (is python3-dbusmock installed?)");
            return nullptr;
        }
        QThread::msleep(20);
    }
    return fake;
}

FakePolkit::~FakePolkit() {
    QDBusConnection::disconnectFromBus(connectionName_);
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

void FakePolkit::Control(const QString& method, const QVariant& argument) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromLatin1(PolkitName), QString::fromLatin1(AuthorityPath),
                                       QStringLiteral("org.freedesktop.DBus.Mock"), method);
    if (argument.isValid()) message << argument;
    const QDBusMessage reply =
        QDBusConnection::connectToBus(address_, connectionName_).call(message, QDBus::Block, 10000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
}

void FakePolkit::SetAllowed(const QStringList& actions) {
    Control(QStringLiteral("SetAllowed"), actions);
}

void FakePolkit::SimulateHang(bool hang) {
    Control(QStringLiteral("SimulateHang"), hang);
}

void FakePolkit::ReleaseHangingCalls() {
    Control(QStringLiteral("ReleaseHangingCalls"));
}

QStringList FakePolkit::Questions() const {
    QFile log(folder_.filePath(QStringLiteral("calls.log")));
    if (!log.open(QIODevice::ReadOnly)) return {};
    QStringList questions;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (line.contains("CheckAuthorization")) questions << QString::fromUtf8(line);
    return questions;
}

} // namespace tarnix::test
