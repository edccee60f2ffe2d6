#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <string>
#include <sys/types.h>

#include "common/program/WatchdogBusNames.h"
#include "common/program/WatchdogCommands.h"
#include "common/program/WatchdogEvents.h"

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

// A running program on the bus: how things stand as properties, made from the status's table
// of fields (StatusFields), and the two buttons as methods. It answers everything from the
// status it was last told and never waits on the bus, so the program's ticks are never held up
// by a caller. Root and the operators' group may press the buttons; anyone else only where
// polkit grants WatchdogControlAction (by default the person at the computer). The object answers its calls
// itself (a virtual object), so its properties need no declaration beside the table's.
class WatchdogBus : public QDBusVirtualObject, public StatusObserver, public EventSink {
    Q_OBJECT

public:
    // The program's kind, and so the bus name, is the one its status names. operatorGroup: whose
    // members besides root may press Reset and Test without asking polkit.
    WatchdogBus(WatchdogCommands& commands, const QDBusConnection& connection,
                QString operatorGroup = QString::fromLatin1(WatchdogOperatorGroup),
                QObject* parent = nullptr);
    ~WatchdogBus() override;

    // Exports the object and takes the program's bus name; false, with errorText saying why,
    // when the bus cannot be reached, the object cannot be exported or the name is taken.
    bool Register(QString& errorText);

    void StatusChanged(const ProgramStatus& status) override;
    // The signal Event(s name, a{ss} details): the event's details with its "sequence",
    // "program" and, for a test run's, "test" = "1".
    void Emit(const WatchdogEvent& event) override;
    static QMap<QString, QString> DetailsOf(const WatchdogEvent& event);

    // The bus's properties of a status, by name, as PropertiesChanged carries them.
    static QVariantMap PropertiesOf(const ProgramStatus& status);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

signals:
    // A Reset or Test call arrived and the bus is being asked who sent it; the answer comes later.
    void CallerCheckStarted();
    // The caller is neither root nor an operator and polkit is being asked; the answer comes later.
    void AuthorizationCheckStarted();

private:
    bool AnswerProperties(const QDBusMessage& message);
    bool AnswerWatchdog(const QDBusMessage& message);
    using Press = void (WatchdogCommands::*)();
    void PressForCaller(const QDBusMessage& call, Press press, const QString& button);
    void AskPolkit(const QDBusMessage& call, Press press, const QString& button, const QString& who);
    void PressFor(const QDBusMessage& call, Press press, const QString& button, const QString& who);
    void Refuse(const QDBusMessage& call, const char* errorName, const QString& text);

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
