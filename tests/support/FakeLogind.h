#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tarnix::test {

// A fake logind on a private bus of its own (fake_logind.py), controlled over that bus.
class FakeLogind {
public:
    // Nothing when it cannot run; whyNot then says why and skipped whether the tools are missing
    // (rather than broken).
    static std::unique_ptr<FakeLogind> Start(const QStringList& options, QString& whyNot, bool& skipped);
    ~FakeLogind();

    const QString& Address() const { return address_; }
    // A connection of the test's own to the private bus.
    QDBusConnection Bus() const;

    void Reset(); // the start state, with an empty call record
    void ClearCalls();
    void SetCanAnswer(const QString& method, const QString& answer);
    void SetError(const QString& method, const QString& name, const QString& text);
    void SetDelay(const QString& method, double seconds);
    void AddInhibitor(const QString& what, const QString& mode, quint32 uid);
    // The calls logind received since the last reset, each as "Method(arg, arg)".
    QStringList Calls();

private:
    FakeLogind() = default;
    QDBusMessage Control(const QString& method, const QVariantList& args = {});

    QProcess process_;
    QString address_;
    QString connectionName_;
};

// The one fake logind of this test program that the system bus leads to: started on first use,
// with DBUS_SYSTEM_BUS_ADDRESS pointed at it and QDBusConnection::systemBus() checked to reach it
// and nothing else. Nothing when that fails; whyNot and skipped as for Start.
FakeLogind* SystemBusFake(QString& whyNot, bool& skipped);
void StopSystemBusFake();

} // namespace tarnix::test
