#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <map>
#include <optional>

#include "common/display/Notifier.h"

class QDBusPendingCallWatcher;

namespace tarnix {

// The desktop's notification server (org.freedesktop.Notifications) as a Notifier. Every call is
// asynchronous, so a missing or hung server costs nothing but the notices; each slot's notice
// is replaced in place by the id the server gave it. The server's capabilities are asked once:
// until they are known to include actions, no notice carries Reset.
class DesktopNotifications final : public QObject, public Notifier {
    Q_OBJECT

public:
    // appName: the program's title, which the desktop shows as the sender.
    explicit DesktopNotifications(QString appName, const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);
    // Takes down what would otherwise stay up after the program has gone (best effort).
    ~DesktopNotifications() override;

    void Show(const Notice& notice) override;
    void Close(NoticeSlot slot) override;

signals:
    // The user pressed Reset on a notice that offered it.
    void ResetInvoked();

private slots:
    void OnActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message);
    void OnNotificationClosed(uint id, uint reason, const QDBusMessage& message);

private:
    struct Live {
        uint id = 0;          // the server's, while the notice is up
        bool pending = false; // a Notify awaits its answer, and with it the id to replace
        std::optional<Notice> queued;
        bool closeQueued = false;
        Notice shown;
        bool resetShown = false; // the notice shown carries the Reset action
    };

    void Send(NoticeSlot slot, const Notice& notice);
    void Answered(NoticeSlot slot, QDBusPendingCallWatcher& watcher);
    void CapabilitiesAnswered(QDBusPendingCallWatcher& watcher);
    void CloseNow(Live& live);

    QString appName_;
    QDBusConnection bus_;
    bool actionsSupported_ = false;
    QString server_; // the unique name of the server that answered last; only its signals count
    std::map<NoticeSlot, Live> live_;
};

} // namespace tarnix
