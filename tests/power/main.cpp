#include "support/FakeLogind.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class StopFakes : public ::testing::Environment {
public:
    void TearDown() override { tarnix::test::StopSystemBusFake(); }
};

} // namespace

int main(int argc, char** argv) {
    // Until a test points it at its fake, the system bus leads nowhere, so nothing here can
    // reach the machine's own logind even by mistake.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tarnix-tests-have-no-system-bus");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new StopFakes);
    return RUN_ALL_TESTS();
}
