#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "desktop/master/TarnixMMain.h"
#include "desktop/ui/ClickLabel.h"
#include "desktop/ui/MultiInst.h"
#include "desktop/ui/UiTestSupport.h"
#include "desktop/ui/frmAbout.h"

namespace tarnix {
namespace {

using testing::NeverOpens;

using testing::AnswerBox;
using testing::BoxSeen;
using testing::ModalCloser;

void Tick(QWidget& box) {
    QMetaObject::invokeMethod(box.findChild<QTimer*>("Timer1"), "timeout");
}

QString Message(const QWidget& box) {
    return box.findChild<QLabel*>("TMessage")->text();
}

TEST(AboutBox, LoadSetsTheCountdownAndTheSlaveAlsoPausesSupervision) {
    struct Case {
        ProgramKind kind;
        bool inhibit;
        std::int16_t countdown;
        bool auxOpen;
        const char* caption;
        const char* closeTip;
    };
    const Case cases[] = {
        {ProgramKind::Master, false, 30, false, "About Tarnix", "Close About Screen"},
        {ProgramKind::Master, true, 4, false, "About Tarnix", "Close About Screen"},
        {ProgramKind::Slave, false, 30, true, "About Tarnix Slave", "Close ABout Screen"},
        {ProgramKind::Slave, true, 4, true, "About Tarnix Slave", "Close ABout Screen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption + std::string(c.inhibit ? " inhibited" : ""));
        AuxWindows aux;
        aux.AboutBoxLoaded(0, false); // a count an earlier box left behind
        frmAbout box(c.kind, c.inhibit, false, aux, NeverOpens);
        EXPECT_EQ(aux.AboutSecondsLeft(), c.countdown);
        EXPECT_EQ(aux.AnyOpen(), c.auxOpen);
        EXPECT_EQ(box.windowTitle(), c.caption);
        EXPECT_EQ(box.size(), QSize(164, 314));
        EXPECT_EQ(box.findChild<QLabel*>("ProgVersion")->text(), "Version 4.2");
        EXPECT_EQ(box.findChild<QPushButton*>("ExitAbout")->toolTip(), c.closeTip);
        EXPECT_TRUE(box.findChild<QTimer*>("Timer1")->isActive());
        EXPECT_EQ(Message(box), "");
    }
}

TEST(AboutBox, EachSecondShowsTheSecondsLeftThenCountsDown) {
    AuxWindows aux;
    frmAbout box(ProgramKind::Master, true, false, aux, NeverOpens);
    EXPECT_EQ(box.findChild<QTimer*>("Timer1")->interval(), 1000);
    Tick(box);
    EXPECT_EQ(Message(box), "About will close in 4 sec");
    Tick(box);
    EXPECT_EQ(Message(box), "About will close in 3 sec");
    EXPECT_EQ(aux.AboutSecondsLeft(), 2);
    const auto* note = box.findChild<QLabel*>("TMessage");
    EXPECT_EQ(note->palette().color(QPalette::WindowText), QColor(255, 128, 0));
    EXPECT_EQ(note->palette().color(QPalette::Window), QColor(255, 255, 255));
}

TEST(AboutBox, EveryWayOfClosingResumesSupervision) {
    const std::vector<std::pair<const char*, std::function<void(frmAbout&)>>> closings{
        {"Close button", [](frmAbout& box) { box.findChild<QPushButton*>("ExitAbout")->click(); }},
        {"window manager", [](frmAbout& box) { box.close(); }},
        {"Escape", [](frmAbout& box) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QCoreApplication::sendEvent(&box, &escape);
         }}};
    for (const auto& [how, closeBox] : closings) {
        SCOPED_TRACE(how);
        AuxWindows aux;
        frmAbout box(ProgramKind::Slave, false, false, aux, NeverOpens);
        box.show();
        Tick(box);
        ASSERT_TRUE(aux.AnyOpen());
        closeBox(box);
        EXPECT_FALSE(aux.AnyOpen());
        EXPECT_FALSE(box.isVisible());
        // The count stays where it was; the next opening sets it afresh.
        EXPECT_EQ(aux.AboutSecondsLeft(), 29);
    }
}

TEST(AboutBox, TheMainWindowOpensItModallyAndTheSupervisionCycleCanCloseIt) {
    AuxWindows aux;
    TarnixMMain window(NeverOpens);
    window.show();
    QString caption;
    bool onTop = false;
    ModalCloser closer([&](QWidget* modal) {
        caption = modal->windowTitle();
        onTop = modal->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        aux.NoteOpened();
        window.CloseAboutBox(); // as the supervision cycle does when the countdown runs out
    });
    window.OpenAboutBox(false, true, aux);
    EXPECT_EQ(closer.Seen(), 1);
    EXPECT_EQ(caption, "About Tarnix");
    EXPECT_TRUE(onTop);
    EXPECT_FALSE(aux.AnyOpen());
    window.CloseAboutBox(); // with no box open: nothing to do
}

TEST(AboutBox, TheAddressTurnsOrangeEvenWhenNoBrowserStarts) {
    AuxWindows aux;
    frmAbout box(ProgramKind::Master, false, false, aux, NeverOpens);
    auto* address = box.findChild<ClickLabel*>("WebSite");
    ASSERT_NE(address, nullptr);
    EXPECT_NE(address->palette().color(QPalette::WindowText), QColor(255, 128, 0));
    BoxSeen seen;
    ModalCloser closer(AnswerBox(seen, QMessageBox::Ok));
    emit address->clicked();
    EXPECT_EQ(seen.text, "Unable to launch Browser.");
    EXPECT_EQ(address->palette().color(QPalette::WindowText), QColor(255, 128, 0));
}

TEST(InstanceNotice, TellsWhichProgramsMayNotRunTogetherAndOkEndsTheProgram) {
    struct Case {
        ProgramKind kind;
        const char* caption;
        const char* message;
    };
    const Case cases[] = {
        {ProgramKind::Master, "Tarnix Start Up Error",
         "Tarnix or Tarnix Slave\r\n is already running.\r\nOnly one instance can\r\nbe running at a time"},
        {ProgramKind::Slave, "Tarnix Slave Start Up Error",
         "Tarnix Slave or Tarnix\r\n is already running.\r\nOnly one instance can\r\nbe running at a time."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        int ended = 0;
        MultiInst notice(c.kind, NeverOpens, [&] { ++ended; });
        EXPECT_EQ(notice.windowTitle(), c.caption);
        EXPECT_EQ(notice.findChild<QLabel*>("ErrorMess")->text(), c.message);
        EXPECT_TRUE(notice.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_NE(notice.findChild<QLabel*>("Image1"), nullptr);
        EXPECT_NE(notice.findChild<ClickLabel*>("Logo"), nullptr);
        auto* ok = notice.findChild<QPushButton*>("Exit");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_EQ(ok->toolTip(), "Exit");
        notice.show();
        ok->click();
        notice.close();
        EXPECT_EQ(ended, 1);
    }
}

TEST(ClickLabel, OnlyALeftClickReleasedOverTheLabelCounts) {
    struct Case {
        const char* what;
        Qt::MouseButton button;
        QPointF releaseAt;
        bool clicked;
    };
    const Case cases[] = {{"left inside", Qt::LeftButton, {5, 5}, true},
                          {"left dragged away", Qt::LeftButton, {500, 5}, false},
                          {"right inside", Qt::RightButton, {5, 5}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClickLabel label;
        label.resize(40, 20);
        int clicks = 0;
        QObject::connect(&label, &ClickLabel::clicked, [&] { ++clicks; });
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), c.button, c.button,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, c.releaseAt, c.releaseAt, c.button, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(&label, &press);
        QCoreApplication::sendEvent(&label, &release);
        EXPECT_EQ(clicks, c.clicked ? 1 : 0);
    }
}

} // namespace
} // namespace tarnix
