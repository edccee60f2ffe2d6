#include "platform/QtSupervisionTimer.h"

namespace tarnix {

QtSupervisionTimer::QtSupervisionTimer(int intervalMs, QObject* parent) : QObject(parent), timer_(this) {
    timer_.setObjectName(QStringLiteral("tmrRefresh"));
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

void QtSupervisionTimer::Tick() {
    if (events_ == nullptr) return;
    if (observer_ != nullptr) observer_->TickBegins();
    events_->OnTimerTick();
    if (observer_ != nullptr) observer_->TickEnded();
}

// Enabling a running timer leaves its rhythm alone, as the supervision expects.
void QtSupervisionTimer::SetTimerEnabled(bool enabled) {
    if (!enabled) {
        timer_.stop();
    } else if (!timer_.isActive()) {
        timer_.start();
    }
}

bool QtSupervisionTimer::TimerEnabled() const {
    return timer_.isActive();
}

} // namespace tarnix
