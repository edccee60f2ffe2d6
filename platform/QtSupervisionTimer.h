#pragma once

#include <QObject>
#include <QTimer>

#include "common/supervision/SupervisionTimer.h"

namespace tarnix {

// The supervision timer on Qt: a precise timer named tmrRefresh. Each tick goes to the logic,
// inside the observer's TickBegins/TickEnded when there is one. Until the events are set,
// ticks are dropped.
class QtSupervisionTimer final : public QObject, public SupervisionTimer {
public:
    explicit QtSupervisionTimer(int intervalMs, QObject* parent = nullptr);

    void SetEvents(TickEvents* events) { events_ = events; }
    void SetObserver(TickObserver* observer) { observer_ = observer; }

    void SetTimerEnabled(bool enabled) override;
    bool TimerEnabled() const override;

private:
    void Tick();

    QTimer timer_;
    TickEvents* events_ = nullptr;
    TickObserver* observer_ = nullptr;
};

} // namespace tarnix
