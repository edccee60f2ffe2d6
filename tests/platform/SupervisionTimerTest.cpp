// The supervision timer on Qt: its rhythm, and each tick inside its observer's calls.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <string>
#include <vector>

#include "platform/QtSupervisionTimer.h"

namespace tarnix {
namespace {

struct Journal : TickEvents, TickObserver {
    std::vector<std::string> calls;
    void OnTimerTick() override { calls.push_back("tick"); }
    void TickBegins() override { calls.push_back("begins"); }
    void TickEnded() override { calls.push_back("ended"); }
};

TEST(SupervisionTimer, EnablingARunningTimerDoesNotRestartIt) {
    QtSupervisionTimer timer(SupervisionTickMs(ProgramKind::Slave));
    const auto* qtTimer = timer.findChild<QTimer*>("tmrRefresh");
    ASSERT_NE(qtTimer, nullptr);
    EXPECT_EQ(qtTimer->interval(), 1000);
    EXPECT_EQ(qtTimer->timerType(), Qt::PreciseTimer);
    timer.SetTimerEnabled(true);
    EXPECT_TRUE(timer.TimerEnabled());
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const int before = qtTimer->remainingTime();
    timer.SetTimerEnabled(true);
    EXPECT_LE(qtTimer->remainingTime(), before);
    timer.SetTimerEnabled(false);
    EXPECT_FALSE(timer.TimerEnabled());
}

TEST(SupervisionTimer, EachTickReachesTheLogicInsideTheObserversCalls) {
    QtSupervisionTimer timer(SupervisionTickMs(ProgramKind::Master));
    auto* qtTimer = timer.findChild<QTimer*>("tmrRefresh");
    EXPECT_EQ(qtTimer->interval(), 500);
    EXPECT_FALSE(timer.TimerEnabled());
    QMetaObject::invokeMethod(qtTimer, "timeout"); // no logic yet: dropped
    Journal journal;
    timer.SetEvents(&journal);
    QMetaObject::invokeMethod(qtTimer, "timeout");
    timer.SetObserver(&journal);
    QMetaObject::invokeMethod(qtTimer, "timeout");
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"tick", "begins", "tick", "ended"}));
}

} // namespace
} // namespace tarnix
