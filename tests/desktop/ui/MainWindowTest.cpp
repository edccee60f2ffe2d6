#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

#include "desktop/master/TarnixMMain.h"
#include "desktop/slave/TarnixSMain.h"
#include "desktop/ui/ControlStyle.h"
#include "desktop/ui/TrayRestoreRule.h"
#include "desktop/ui/Twips.h"
#include "desktop/ui/UiTestSupport.h"
#include "platform/QtSupervisionTimer.h"

namespace tarnix {
namespace {

using testing::NeverOpens;

using testing::FakeEvents;
using Kind = FakeEvents::Kind;

// A control's place in twips; a width of 0 checks only its position (its size is free).
struct Place {
    QString name;
    int left, top, width, height;
};

void ExpectPlaces(const QWidget& window, const std::vector<Place>& places) {
    for (const Place& p : places) {
        SCOPED_TRACE(p.name.toStdString());
        const auto* control = window.findChild<QWidget*>(p.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->pos(), QPoint(TwipsToPixels(p.left), TwipsToPixels(p.top)));
        if (p.width > 0) {
            EXPECT_EQ(control->size(), QSize(TwipsToPixels(p.width), TwipsToPixels(p.height)));
        }
    }
}

std::vector<Place> ButtonPlaces(int top) {
    return {{"TestS", 90, top, 980, 345},
            {"Config", 1200, top, 980, 345},
            {"Reset", 3960, top, 980, 345},
            {"About", 5097, top, 980, 345},
            {"Exit", 6235, top, 980, 345}};
}

void ExpectButtons(const QWidget& window, const std::string& title) {
    const std::vector<std::array<std::string, 3>> expected{
        {"TestS", "Test", "Enables/Restarts " + title + " Test Mode"},
        {"Config", "Configure", "Configure " + title},
        {"Reset", "Reset", "Reset " + title},
        {"About", "About", "About " + title},
        {"Exit", "Exit", "Exit " + title}};
    for (const auto& [name, caption, toolTip] : expected) {
        const auto* button = window.findChild<QPushButton*>(QString::fromStdString(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text().toStdString(), caption);
        EXPECT_EQ(button->toolTip().toStdString(), toolTip);
    }
}

TEST(Twips, FifteenTwipsMakeOnePixelRoundedToTheNearest) {
    const std::vector<std::pair<int, int>> cases{{0, 0},      {7, 0},      {8, 1},      {15, 1}, {980, 65},
                                                 {5097, 340}, {6235, 416}, {7260, 484}, {-8, -1}};
    for (const auto& [twips, pixels] : cases)
        EXPECT_EQ(TwipsToPixels(twips), pixels) << twips;
}

// Counts the changes that make a control repaint.
struct ChangeCounter : QObject {
    int palette = 0, font = 0, repaints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        palette += event->type() == QEvent::PaletteChange ? 1 : 0;
        font += event->type() == QEvent::FontChange ? 1 : 0;
        repaints += event->type() == QEvent::UpdateRequest || event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The programs tell their windows the same texts and colours every second and for every
// datagram: only a real change may touch a control.
TEST(MasterWindow, TellingAControlWhatItShowsAlreadyChangesNothing) {
    TarnixMMain window(NeverOpens);
    window.show();
    auto* counter = window.findChild<QLabel*>("Counter");
    auto* row = window.findChild<QLineEdit*>("Type1(1)");
    ASSERT_TRUE(counter != nullptr && row != nullptr);
    const auto tell = [&] {
        window.SetCounterText("Connection Error");
        window.SetCounterForeground(colours::Orange);
        window.SetCounterBackground(colours::White);
        window.SetCounterBold(true);
        window.SetRowText(1, RowBox::Type1, " Connected");
        // A state that lasts no time within one event (the host row does this every second).
        window.SetRowColour(1, RowBox::Type1, colours::Black);
        window.SetRowColour(1, RowBox::Type1, colours::StatusGreen);
    };
    tell();
    QApplication::processEvents();
    ChangeCounter counterChanges, rowChanges;
    counter->installEventFilter(&counterChanges);
    row->installEventFilter(&rowChanges);
    for (int second = 0; second < 10; ++second)
        tell();
    QApplication::processEvents();
    EXPECT_EQ(counterChanges.palette + counterChanges.font + counterChanges.repaints, 0);
    EXPECT_EQ(rowChanges.palette + rowChanges.font + rowChanges.repaints, 0);
    EXPECT_EQ(counter->text(), "Connection Error");

    window.SetCounterForeground(colours::StatusGreen); // a real change still shows
    EXPECT_EQ(counterChanges.palette, 1);
}

// Logic whose ticks tell the window what the test gives them.
struct ScriptedTicks : TickEvents {
    std::vector<std::function<void()>> ticks;
    std::size_t ran = 0;
    void OnTimerTick() override {
        if (ran < ticks.size()) ticks[ran]();
        ++ran;
    }
};

TEST(MasterWindow, RowsShowWhereATickLeavesThemAndBeforeABoxItOpensWaits) {
    TarnixMMain window(NeverOpens);
    window.show();
    auto* row = window.findChild<QLineEdit*>("Type1(1)");
    ChangeCounter changes;
    QString underTheBox;
    ScriptedTicks logic;
    logic.ticks = {
        [&] {
            window.SetRowText(1, RowBox::Type1, " Connected");
            window.SetRowColour(1, RowBox::Type1, colours::StatusGreen);
        },
        [&] {
            row->installEventFilter(&changes);
            window.SetRowColour(1, RowBox::Type1, colours::Black);
            window.SetRowColour(1, RowBox::Type1, colours::StatusGreen);
        },
        [&] {
            window.SetRowText(1, RowBox::Type1, " Data Error");
            QEventLoop box; // as a message box opened by the tick
            QTimer::singleShot(20, &box, [&] {
                underTheBox = row->text();
                box.quit();
            });
            box.exec();
        },
    };
    QtSupervisionTimer timer(SupervisionTickMs(ProgramKind::Master));
    timer.SetEvents(&logic);
    timer.SetObserver(&window);
    timer.SetTimerEnabled(true);
    ASSERT_TRUE(testing::RunEventsUntil([&] { return logic.ran >= 2; }, 5000));
    EXPECT_EQ(row->text(), " Connected");
    EXPECT_EQ(row->palette().color(QPalette::Text), QColor(0, 102, 0));
    EXPECT_EQ(changes.palette + changes.repaints, 0) << "black and back within one tick is no change";
    ASSERT_TRUE(testing::RunEventsUntil([&] { return logic.ran >= 3; }, 5000));
    timer.SetTimerEnabled(false);
    EXPECT_EQ(underTheBox, " Data Error");
}

TEST(MasterWindow, ControlsStandWhereTheLayoutPutsThemWithTheirTexts) {
    TarnixMMain window(NeverOpens);
    EXPECT_EQ(window.size(), QSize(484, 167));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window.windowTitle(), "Tarnix");

    std::vector<Place> places{{"Logo", 75, 75, 855, 435},
                              {"Title", 1005, 75, 0, 0},
                              {"Counter", 1995, 360, 0, 0},
                              {"Label1", 90, 720, 0, 0}};
    const int captionTops[] = {720, 960, 1200, 1440, 1680};
    const int boxTops[] = {720, 960, 1200, 1440, 1665};
    for (int row = 0; row < 5; ++row) {
        if (row > 0) places.push_back({QString("Comp%1").arg(row), 90, captionTops[row], 0, 0});
        places.push_back({QString("Comp(%1)").arg(row), 1995, boxTops[row], 2790, 270});
        places.push_back({QString("Type1(%1)").arg(row), 4950, boxTops[row], 1695, 270});
        places.push_back({QString("Shut1(%1)").arg(row), 6825, boxTops[row], 345, 270});
    }
    for (const Place& p : ButtonPlaces(2055))
        places.push_back(p);
    ExpectPlaces(window, places);

    EXPECT_EQ(window.findChild<QLabel*>("Label1")->text(), "Host  Computer");
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(window.findChild<QLabel*>(QString("Comp%1").arg(i))->text(),
                  QString("Remote Computer %1").arg(i));
    EXPECT_TRUE(window.findChild<QLineEdit*>("Type1(3)")->isReadOnly());
    ExpectButtons(window, "Tarnix");

    EXPECT_EQ(window.findChild<QSystemTrayIcon*>()->toolTip(), "Tarnix");
}

TEST(SlaveWindow, ControlsStandWhereTheLayoutPutsThemWithTheirTexts) {
    TarnixSMain window(NeverOpens);
    EXPECT_EQ(window.size(), QSize(484, 73));
    EXPECT_EQ(window.windowTitle(), "Tarnix Slave");

    std::vector<Place> places{{"Title", 90, 0, 6240, 255},
                              {"CPULoad", 90, 255, 0, 0},
                              {"Counter", 1710, 255, 0, 0},
                              {"Logo", 6380, 75, 0, 0}};
    for (const Place& p : ButtonPlaces(705))
        places.push_back(p);
    ExpectPlaces(window, places);
    EXPECT_EQ(window.findChild<QWidget*>("CPULoad")->width(), TwipsToPixels(1680));
    EXPECT_EQ(window.findChild<QWidget*>("Counter")->width(), TwipsToPixels(4360));
    EXPECT_EQ(window.findChild<QLabel*>("CPULoad")->text(), "");
    ExpectButtons(window, "Tarnix Slave");

    // The counter is a read-only text box in the desktop's button colours.
    const auto* counter = window.findChild<QLineEdit*>("Counter");
    ASSERT_NE(counter, nullptr);
    EXPECT_TRUE(counter->isReadOnly());
    EXPECT_EQ(counter->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(counter->palette().color(QPalette::Text), QApplication::palette().color(QPalette::ButtonText));

    EXPECT_EQ(window.findChild<QSystemTrayIcon*>()->toolTip(), "Tarnx Slave");
    EXPECT_EQ(window.findChild<QLineEdit*>("Comp(0)"), nullptr);
}

TEST(MainWindowView, TextsAndColoursReachTheRightControls) {
    TarnixMMain master(NeverOpens);
    master.SetTitleText("Click Configure To Set Up Tarnix");
    master.SetTitleStyle(colours::Orange, true);
    master.SetCounterText(" Program Activation In 10s");
    master.SetCounterForeground(colours::StatusGreen);
    master.SetRowText(4, RowBox::Type1, " Not Connected");
    master.SetRowColour(4, RowBox::Type1, colours::StatusOrange);
    master.SetButtonCaption(Button::Reset, "Cancel");
    master.SetButtonEnabled(Button::About, false);
    QApplication::processEvents(); // the rows show where the event leaves them

    const auto* title = master.findChild<QLabel*>("Title");
    EXPECT_EQ(title->text(), "Click Configure To Set Up Tarnix");
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(255, 128, 0));
    EXPECT_TRUE(title->font().bold());
    const auto* counter = master.findChild<QLabel*>("Counter");
    EXPECT_EQ(counter->text(), " Program Activation In 10s");
    EXPECT_EQ(counter->palette().color(QPalette::WindowText), QColor(0, 102, 0));
    const auto* status = master.findChild<QLineEdit*>("Type1(4)");
    EXPECT_EQ(status->text(), " Not Connected");
    EXPECT_EQ(status->palette().color(QPalette::Text), QColor(255, 102, 0));
    EXPECT_EQ(master.findChild<QLineEdit*>("Type1(3)")->text(), "");
    master.SetRowText(2, RowBox::Shut1, "Longer than its box");
    QApplication::processEvents();
    EXPECT_EQ(master.findChild<QLineEdit*>("Shut1(2)")->cursorPosition(), 0) << "the start must stay in view";
    EXPECT_EQ(master.findChild<QPushButton*>("Reset")->text(), "Cancel");
    EXPECT_FALSE(master.findChild<QPushButton*>("About")->isEnabled());

    // Rows beyond the table are ignored. (The master has no CPU band and the slave no rows:
    // their windows do not offer those views at all.)
    master.SetRowText(5, RowBox::Comp, "x");
    master.SetRowText(-1, RowBox::Comp, "x");
    QApplication::processEvents();
    EXPECT_EQ(master.findChild<QLineEdit*>("Comp(4)")->text(), "");

    TarnixSMain slave(NeverOpens);
    slave.SetCpuLoadColours(colours::White, colours::Orange);
    const auto* band = slave.findChild<QLabel*>("CPULoad");
    EXPECT_EQ(band->palette().color(QPalette::Window), QColor(255, 128, 0));
    EXPECT_EQ(band->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_TRUE(band->autoFillBackground());
    slave.SetCounterBackground(colours::Orange);
    EXPECT_EQ(slave.findChild<QLineEdit*>("Counter")->palette().color(QPalette::Base), QColor(255, 128, 0));
}

TEST(MainWindowEvents, ClicksClosingAndStateChangesGoToTheLogic) {
    FakeEvents logic;
    TarnixMMain window(NeverOpens);
    window.SetEvents(&logic);
    window.show();

    for (const char* name : {"TestS", "Config", "Reset", "About", "Exit"})
        window.findChild<QPushButton*>(name)->click();
    const std::vector<FakeEvents::Event> clicks{{Kind::Click, Button::TestS},
                                                {Kind::Click, Button::Config},
                                                {Kind::Click, Button::Reset},
                                                {Kind::Click, Button::About},
                                                {Kind::Click, Button::Exit}};
    EXPECT_EQ(logic.events, clicks);

    logic.events.clear();
    // The logic decides about the end of the program; if it returns, the window stays.
    EXPECT_FALSE(window.close());
    EXPECT_EQ(logic.Count(Kind::Closing), 1);
    EXPECT_TRUE(window.isVisible());

    window.Minimise();
    EXPECT_GE(logic.Count(Kind::StateChanged), 1);

    auto* tray = window.findChild<QSystemTrayIcon*>();
    logic.events.clear();
    emit tray->activated(QSystemTrayIcon::Context);
    emit tray->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(logic.Count(Kind::TrayRestore), 0);
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(logic.Count(Kind::TrayRestore), 1);
}

TEST(MainWindowEvents, WithoutLogicTheWindowClosesNormally) {
    TarnixSMain window(NeverOpens);
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}

TEST(TrayRule, OnlyADoubleClickRestoresUnlessTheTrayReportsNoDoubleClicks) {
    struct Case {
        QSystemTrayIcon::ActivationReason reason;
        bool statusNotifierHost;
        bool restores;
    };
    const Case cases[] = {
        {QSystemTrayIcon::DoubleClick, false, true}, {QSystemTrayIcon::DoubleClick, true, true},
        {QSystemTrayIcon::Trigger, false, false},    {QSystemTrayIcon::Trigger, true, true},
        {QSystemTrayIcon::Context, true, false},     {QSystemTrayIcon::Context, false, false},
        {QSystemTrayIcon::MiddleClick, true, false}, {QSystemTrayIcon::Unknown, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrayActivationRestores(c.reason, c.statusNotifierHost), c.restores)
            << c.reason << " host " << c.statusNotifierHost;
}

TEST(WindowPlacement, HidingNeedsAVisibleTrayIconOnADesktopWithATray) {
    struct Case {
        bool trayAvailable;
        bool iconAdded;
        bool hidden;
    };
    for (const Case c : {Case{false, true, false}, Case{true, false, false}, Case{true, true, true}}) {
        SCOPED_TRACE(::testing::Message() << "tray " << c.trayAvailable << " icon " << c.iconAdded);
        TarnixMMain window(NeverOpens);
        window.SetSystemTrayProbe([&] { return c.trayAvailable; });
        window.show();
        window.Minimise();
        if (c.iconAdded) window.AddTrayIcon();
        window.HideWindow();
        EXPECT_EQ(window.isHidden(), c.hidden);
        EXPECT_TRUE(window.IsMinimised());
    }
}

// The logic answers a minimised state by adding the tray icon and hiding the window.
struct SendsToTray : MainWindowEvents {
    MainWindowBase* window = nullptr;
    void OnButtonClicked(Button) override {}
    void OnWindowClosing() override {}
    void OnWindowStateChanged() override {
        if (!window->IsMinimised()) return;
        window->AddTrayIcon();
        window->HideWindow();
    }
    void OnTrayRestoreRequested() override {}
    void OnWindowActivated() override {}
};

TEST(WindowPlacement, AWindowNotYetShownGoesStraightToTheTrayWithoutShowingUp) {
    TarnixMMain window(NeverOpens);
    window.SetSystemTrayProbe([] { return true; });
    SendsToTray logic;
    logic.window = &window;
    window.SetEvents(&logic);
    window.Minimise();
    EXPECT_TRUE(window.IsMinimised());
    EXPECT_FALSE(window.isVisible());
    window.SetEvents(nullptr);
}

TEST(WindowPlacement, ShowNormalCentredRestoresAHiddenWindowToTheScreenCentre) {
    TarnixSMain window(NeverOpens);
    window.SetSystemTrayProbe([] { return true; });
    window.show();
    window.Minimise();
    window.AddTrayIcon();
    window.HideWindow();
    ASSERT_TRUE(window.isHidden());

    window.ShowNormalCentred();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.IsMinimised());
    const QRect area = window.screen()->availableGeometry();
    EXPECT_LE((window.frameGeometry().center() - area.center()).manhattanLength(), 2);
}

TEST(WindowPlacement, OnTopChangesKeepTheWindowWhereAndHowItWas) {
    TarnixMMain window(NeverOpens);
    window.show();
    window.Minimise();
    window.SetTopmost(true);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.IsMinimised());
    EXPECT_FALSE(window.testAttribute(Qt::WA_ShowWithoutActivating));

    window.hide();
    window.SetTopmost(false);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isHidden());
}

} // namespace
} // namespace tarnix
