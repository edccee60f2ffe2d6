#pragma once

#include "common/config/ConfigRecord.h"

namespace tarnix {

// How often each program's supervision timer ticks.
constexpr int SupervisionTickMs(ProgramKind kind) {
    return kind == ProgramKind::Master ? 500 : 1000;
}

// The supervision timer `tmrRefresh`, the program logic's own tick: 500 ms in the master, 1000 ms
// in the slave. It belongs to no window, so a program without one still supervises. Production
// runs a precise Qt timer; tests call the logic's OnTimerTick() themselves.
class SupervisionTimer {
public:
    virtual ~SupervisionTimer() = default;
    // Enabling a running timer leaves its rhythm alone.
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual bool TimerEnabled() const = 0;
};

// What the timer calls at each tick.
class TickEvents {
public:
    virtual ~TickEvents() = default;
    virtual void OnTimerTick() = 0;
};

// A face that gathers what a tick changes and shows it once, at the tick's end. Ticks may nest
// under a message box's event loop.
class TickObserver {
public:
    virtual ~TickObserver() = default;
    virtual void TickBegins() = 0;
    virtual void TickEnded() = 0;
};

} // namespace tarnix
