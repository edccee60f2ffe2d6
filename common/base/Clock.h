#pragma once

#include <ctime>

namespace tarnix {

// The source of local time for time stamps. Supervision never reads it: it advances only by
// timer ticks.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::tm LocalNow() const = 0;
};

} // namespace tarnix
