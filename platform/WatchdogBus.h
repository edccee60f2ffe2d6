#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <string>
#include <sys/types.h>

#include "common/program/WatchdogBusNames.h"
#include "common/program/WatchdogCommands.h"

namespace tarnix {

// One of a master's remote computers on the bus, D-Bus type (bssss).
struct RemoteComputerEntry {
    bool configured = false;
    QString name;
    QString address;
    QString status;
    QString letter;

    bool operator==(const RemoteComputerEntry&) const = default;
};
using RemoteComputerList = QList<RemoteComputerEntry>;
QDBusArgument& operator<<(QDBusArgument& out, const RemoteComputerEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& in, RemoteComputerEntry& entry);

// True for root and for a user whose groups (its own and the supplementary ones) include the
// group named; false when the user or the group has no entry.
bool MayPressButtons(uid_t uid, const std::string& group);

// A running program on the bus: how things stand as properties, and the two buttons as methods.
// It answers everything from the status it was last told and never waits on the bus, so the
// program's ticks are never held up by a caller.
class WatchdogBus : public QObject, public StatusObserver, protected QDBusContext {
    Q_OBJECT
    // The literal must be WatchdogInterface; the bus tests reach the object only through that.
    Q_CLASSINFO("D-Bus Interface", "io.tarnix.Watchdog1")
    Q_PROPERTY(QString Program READ Program)
    Q_PROPERTY(QString Phase READ Phase)
    Q_PROPERTY(int Count READ Count)
    Q_PROPERTY(int TimeLeft READ TimeLeft)
    Q_PROPERTY(QString Action READ Action)
    Q_PROPERTY(bool TestRun READ TestRun)
    Q_PROPERTY(bool Unconfigured READ Unconfigured)
    Q_PROPERTY(tarnix::RemoteComputerList RemoteComputers READ RemoteComputers)

public:
    // The program's kind, and so the bus name, is the one its status names. operatorGroup: whose
    // members besides root may press Reset and Test.
    WatchdogBus(WatchdogCommands& commands, const QDBusConnection& connection,
                QString operatorGroup = QString::fromLatin1(WatchdogOperatorGroup),
                QObject* parent = nullptr);
    ~WatchdogBus() override;

    // Exports the object and takes the program's bus name; false, with errorText saying why,
    // when the bus cannot be reached, the object cannot be exported or the name is taken.
    bool Register(QString& errorText);

    void StatusChanged(const ProgramStatus& status) override;

    QString Program() const;
    QString Phase() const;
    int Count() const;
    int TimeLeft() const;
    QString Action() const;
    bool TestRun() const;
    bool Unconfigured() const;
    RemoteComputerList RemoteComputers() const;

    // The bus's properties of a status, by name, as PropertiesChanged carries them.
    static QVariantMap PropertiesOf(const ProgramStatus& status);

public slots:
    void Reset();
    void Test();
    QString Status() const;

signals:
    // A Reset or Test call arrived and the bus is being asked who sent it; the answer comes later.
    void CallerCheckStarted();

private:
    void PressForCaller(void (WatchdogCommands::*press)(), const char* button);

    WatchdogCommands& commands_;
    QDBusConnection connection_;
    QString operatorGroup_;
    ProgramStatus status_;
    bool registeredObject_ = false;
    bool registeredName_ = false;
};

} // namespace tarnix

Q_DECLARE_METATYPE(tarnix::RemoteComputerEntry)
Q_DECLARE_METATYPE(tarnix::RemoteComputerList)
