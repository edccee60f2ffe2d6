#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <sys/types.h>

#include "common/program/ProgramStatus.h"

namespace tarnix {

// A running service as its bus object shows it: how it stands, asked once when the service
// appears and then followed through PropertiesChanged (nothing is polled), and its Reset and
// Test buttons. Every call is asynchronous, so nothing waits on the bus or on the service.
class WatchdogClient : public QObject {
    Q_OBJECT

public:
    struct Events {
        std::function<void(const ProgramStatus&)> status; // each change, with the whole status
        std::function<void()> gone;                       // the service left the bus
        // A button the service refused or could not be asked, with its reason.
        std::function<void(const QString& button, const QString& reason)> refused;
    };

    WatchdogClient(const QDBusConnection& connection, ProgramKind kind, Events events,
                   QObject* parent = nullptr);

    // Looks for the service on the bus and follows it from then on, through stops and restarts.
    void Start();
    bool Attached() const { return attached_; }
    ProgramKind Kind() const { return kind_; }

    void Reset() { Press(QStringLiteral("Reset")); }
    void Test() { Press(QStringLiteral("Test")); }
    // Whether the service would take the Reset of this process (of user uid) without asking for
    // a password: root and the operators' group at once, anyone else as polkit says of this
    // connection; answered later, never waited for.
    void AskMayPress(uid_t uid, std::function<void(bool)> answer);

    // Applies properties as GetAll or PropertiesChanged carry them; false when none was ours.
    static bool ApplyProperties(const QVariantMap& properties, ProgramStatus& status);

private slots:
    void OnPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    void OnOwnerChanged(const QString& newOwner);
    void FetchAll();
    void Press(const QString& button);
    void Detach();

    QDBusConnection connection_;
    ProgramKind kind_;
    QString name_;
    Events events_;
    QDBusServiceWatcher watcher_;
    ProgramStatus status_;
    bool attached_ = false;
    unsigned fetches_ = 0; // the answer of an older GetAll no longer counts
};

} // namespace tarnix
