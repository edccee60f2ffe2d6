#pragma once

// A clock that always says 07-Dec-26 05:04:29, so log lines can be compared literally.

#include "common/Clock.h"

namespace tarnix {

class FixedClock : public Clock {
public:
    std::tm LocalNow() const override {
        std::tm t{};
        t.tm_mday = 7;
        t.tm_mon = 11;
        t.tm_year = 126;
        t.tm_hour = 5;
        t.tm_min = 4;
        t.tm_sec = 29;
        return t;
    }
};

} // namespace tarnix
