// A desktop program's window showing the running service: it follows the service's status on
// the bus through a countdown, a cancel from its own Reset button, a stop and a restart.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "desktop/attached/ServiceWindow.h"
#include "desktop/ui/MainWindowBase.h"
#include "e2e/RealProgram.h"
#include "platform/ServiceClaim.h"
#include "support/FakeLogind.h"

namespace tarnix {
namespace {

using namespace std::chrono_literals;

// Runs the event loop until the condition holds; true when it did in time.
bool Within(std::chrono::milliseconds timeout, const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// The slave's counter is a line edit, the master's a label.
std::string TextOf(QWidget& window, const char* name) {
    if (const auto* label = window.findChild<QLabel*>(QLatin1String(name)))
        return label->text().toStdString();
    if (const auto* line = window.findChild<QLineEdit*>(QLatin1String(name)))
        return line->text().toStdString();
    return std::string("(no ") + name + ")";
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ServiceWindow, FollowsTheServiceThroughACountdownACancelAStopAndARestart) {
    QString whyNot;
    bool skipped = false;
    const auto bus = test::FakeLogind::Start({}, whyNot, skipped);
    if (!bus) GTEST_SKIP() << "no private bus: " << whyNot.toStdString();
    QTemporaryDir runtime;
    testing::Settings s = testing::SlaveSettings();
    s["Port1"] = "24311"; // nobody answers there: the master is gone
    s["Port2"] = "24310";
    s["StartDelay"] = "1";
    s["CPUDelay"] = "5";
    s["ShutTime"] = "60";
    s["ShutType"] = "4"; // Monitor: nothing is asked of logind
    e2e::ProgramDir dir(false, s);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", bus->Address());
    env.insert("RUNTIME_DIRECTORY", runtime.path());
    auto service = std::make_unique<e2e::RealProgram>(dir, QStringList{}, QStringList{}, env, true);

    ASSERT_TRUE(dir.WaitForLog("Start", 10s)) << service->ErrorOutput();
    const std::optional<ProgramKind> role = RunningServiceKind(runtime.path().toStdString());
    ASSERT_EQ(role, ProgramKind::Slave) << "the role, from the service's claim";
    ServiceWindow attached(*role, false, bus->Bus(),
                           QDBusConnection::connectToBus(bus->Address(), QStringLiteral("session stand-in")));
    attached.Start();
    QWidget& window = attached.Window();
    ASSERT_TRUE(Within(10s, [&] { return window.windowTitle() == QStringLiteral("Tarnix Slave (service)"); }))
        << window.windowTitle().toStdString();

    // The silence becomes a countdown, which brings the window to the front.
    ASSERT_TRUE(Within(20s, [&] { return Has(TextOf(window, "Counter"), "Tarnix Slave Will Close In "); }))
        << TextOf(window, "Counter") << service->ErrorOutput();
    auto* reset = window.findChild<QPushButton*>(QStringLiteral("Reset"));
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->text(), QStringLiteral("Cancel"));

    // Its Reset is the service's: the countdown ends there and here.
    reset->click();
    EXPECT_TRUE(Within(10s, [&] { return Has(TextOf(window, "Counter"), "Program Activation In "); }))
        << TextOf(window, "Counter");
    EXPECT_TRUE(dir.WaitForLog(",  Reset    ,", 5s)) << "the service did not reset";
    EXPECT_EQ(reset->text(), QStringLiteral("Reset"));

    // The service stops: nothing of it stays on the window.
    EXPECT_TRUE(service->Terminate());
    EXPECT_TRUE(Within(10s, [&] { return TextOf(window, "Counter") == "Service Stopped"; }))
        << TextOf(window, "Counter");
    EXPECT_FALSE(reset->isEnabled());

    // It comes back, and the window follows it again.
    service = std::make_unique<e2e::RealProgram>(dir, QStringList{}, QStringList{}, env, true);
    EXPECT_TRUE(Within(15s,
                       [&] {
                           const std::string counter = TextOf(window, "Counter");
                           return Has(counter, "Program Activation In ") ||
                                  Has(counter, "Not connected for the last ");
                       }))
        << TextOf(window, "Counter") << service->ErrorOutput();
    EXPECT_TRUE(reset->isEnabled());
}

} // namespace
} // namespace tarnix
