#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Always offscreen, with no desktop theme: the tests must not put windows or tray icons on a
    // developer's desktop, nor reach the session's buses through a platform theme.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
