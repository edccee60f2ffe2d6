#pragma once

#include "common/base/Clock.h"

namespace tarnix {

// Local wall-clock time of the machine, in the time zone of the environment.
class SystemClock : public Clock {
public:
    std::tm LocalNow() const override;
};

} // namespace tarnix
