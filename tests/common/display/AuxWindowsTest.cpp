#include "common/display/AuxWindows.h"

#include <gtest/gtest.h>

namespace tarnix {
namespace {

TEST(AuxWindows, TheWindowWhoseTimeIsUpIsTakenOnceAndItsCountStartsAgain) {
    AuxWindows aux;
    aux.ConfigScreenLoaded(4);
    for (int second = 0; second < 3; ++second)
        aux.ConfigScreenSecond();
    EXPECT_EQ(aux.TakeExpired(), AuxWindow::None) << "one second left";
    EXPECT_EQ(aux.ConfigScreenSecond(), 1);
    EXPECT_EQ(aux.TakeExpired(), AuxWindow::ConfigScreen);
    EXPECT_FALSE(aux.AnyOpen());
    EXPECT_EQ(aux.ConfigSecondsLeft(), AuxCloseSeconds);
    EXPECT_EQ(aux.TakeExpired(), AuxWindow::None);

    // Both counts run out: the about box goes first, and the pause ends with it.
    aux.ConfigScreenLoaded(0);
    aux.AboutBoxLoaded(0, true);
    EXPECT_EQ(aux.TakeExpired(), AuxWindow::AboutBox);
    EXPECT_EQ(aux.AboutSecondsLeft(), AuxCloseSeconds);
    EXPECT_EQ(aux.TakeExpired(), AuxWindow::None);
}

// The about box's count restarts when its time is up, whether the cycle closes the box or the
// user does in the same second, so a configuration screen opened later is neither closed in
// its place nor loses its pause.
TEST(AuxWindows, AnAboutBoxWhoseTimeRanOutLeavesTheNextScreenPaused) {
    for (const bool closedByHand : {false, true}) {
        AuxWindows aux;
        aux.NoteOpened();
        aux.AboutBoxLoaded(1, false);
        aux.AboutBoxSecond();
        if (!closedByHand) {
            ASSERT_EQ(aux.TakeExpired(), AuxWindow::AboutBox);
        }
        aux.AboutBoxClosed();
        aux.ConfigScreenLoaded(600);
        EXPECT_EQ(aux.TakeExpired(), AuxWindow::None) << closedByHand;
        EXPECT_TRUE(aux.AnyOpen()) << closedByHand;
    }
    // The same for a screen closed by hand when its time was up, and the about box after it.
    AuxWindows aux;
    aux.ConfigScreenLoaded(1);
    aux.ConfigScreenSecond();
    aux.ConfigScreenClosed();
    aux.AboutBoxLoaded(30, true);
    EXPECT_EQ(aux.TakeExpired(), AuxWindow::None);
    EXPECT_TRUE(aux.AnyOpen());
}

} // namespace
} // namespace tarnix
