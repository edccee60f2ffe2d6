#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The tests start their own bus; until then the system bus leads nowhere, so nothing here can
    // reach the machine's own even by mistake.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tarnix-tests-have-no-system-bus");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
