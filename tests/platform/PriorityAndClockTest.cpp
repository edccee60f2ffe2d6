#include "platform/Priority.h"
#include "platform/SystemClock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace tarnix {
namespace {

int NiceOf(pid_t tid) {
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

TEST(RaiseProcessPriority, RaisesEveryThreadAndTheCallerMostButNeverLowers) {
    if (::geteuid() != 0) GTEST_SKIP() << "raising the priority needs root";
    std::promise<pid_t> workerTid;
    std::promise<void> finish;
    std::thread worker([&] {
        workerTid.set_value(::gettid());
        finish.get_future().wait();
    });
    const pid_t other = workerTid.get_future().get();

    const pid_t self = ::gettid();
    ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(self), 0), 0);
    ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(other), -15), 0);
    RaiseProcessPriority();
    EXPECT_EQ(NiceOf(self), kThreadNice);
    EXPECT_EQ(NiceOf(other), -15) << "an already higher priority is kept";

    ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(other), 5), 0);
    RaiseProcessPriority();
    EXPECT_EQ(NiceOf(other), kProcessNice);
    EXPECT_EQ(NiceOf(self), kThreadNice);

    finish.set_value();
    worker.join();
}

TEST(SystemClock, GivesLocalTimeOfTheEnvironmentsZone) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    ::setenv("TZ", "XYZ-5", 1); // five hours east of UTC, no daylight saving
    ::tzset();

    const std::time_t before = std::time(nullptr);
    std::tm now = SystemClock().LocalNow();
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(now.tm_gmtoff, 5 * 3600);
    const std::time_t back = std::mktime(&now);
    EXPECT_GE(back, before);
    EXPECT_LE(back, after);

    previous ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}

} // namespace
} // namespace tarnix
