#pragma once

// A clock that says 07-Dec-26 05:04:29, so log lines can be compared literally, until a test
// moves it on.

#include "common/base/Clock.h"

#include <ctime>

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
        t.tm_sec = 29 + secondsLater_;
        const std::time_t normalised = ::timegm(&t); // carries the seconds into minutes and days
        ::gmtime_r(&normalised, &t);
        return t;
    }
    void Advance(int seconds) { secondsLater_ += seconds; }

private:
    int secondsLater_ = 0;
};

} // namespace tarnix
