#include "ChildRoles.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <string_view>

int main(int argc, char** argv) {
    // The tests start this program again as a second process (another instance, or a process
    // in a fresh network namespace); such a child plays its role and never runs the tests.
    if (argc > 1 && std::string_view(argv[1]).starts_with("--child-")) {
        return tarnix::test::RunChildRole(argc, argv);
    }
    // Sockets need an event loop in this thread.
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
