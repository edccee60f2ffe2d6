#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "common/config/ConfigScreen.h"
#include "common/config/ConfigTestSupport.h"
#include "desktop/master/TarnixMMain.h"
#include "desktop/ui/QtMessageBoxes.h"
#include "desktop/ui/UiTestSupport.h"
#include "desktop/ui/frmConfig.h"
#include "desktop/window/WindowRules.h"
#include "platform/QtSupervisionTimer.h"
#include "platform/SodiumSealing.h"
#include "support/Fakes.h"
#include "support/Rigs.h"

namespace tarnix {
namespace {

using testing::NeverOpens;

// What the dialog reported, one line per event.
struct RecordedEvents : ConfigScreenEvents {
    std::vector<std::string> seen;
    void OnTextEdited(ConfigTextBox box, const std::string& text) override {
        seen.push_back("edit " + std::to_string(static_cast<int>(box)) + " " + text);
    }
    void OnCheckClicked(ConfigCheckBox box, bool checked) override {
        seen.push_back("check " + std::to_string(static_cast<int>(box)) + (checked ? " on" : " off"));
    }
    void OnListItemChosen(ConfigList list, const std::string& item) override {
        seen.push_back("list " + std::to_string(static_cast<int>(list)) + " " + item);
    }
    void OnSaveClicked() override { seen.push_back("save"); }
    void OnRestoreClicked() override { seen.push_back("restore"); }
    void OnCloseClicked() override { seen.push_back("close"); }
    void OnViewLogClicked() override { seen.push_back("view"); }
    void OnTimer1Tick() override { seen.push_back("tick1"); }
    void OnTimer2Tick() override { seen.push_back("tick2"); }
    void OnActivated() override {}
};

template <typename T> T* Child(const QWidget& dialog, const char* name) {
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(ConfigDialog, ForwardsTheUsersEventsButNotWhatItIsTold) {
    frmConfig dialog(ProgramKind::Master, NeverOpens);
    RecordedEvents events;
    dialog.SetEvents(&events);
    dialog.SetFieldText(ConfigTextBox::CompT0, "Control");
    dialog.SetChecked(ConfigCheckBox::DNameT, true);
    dialog.SelectListItem(ConfigList::ShutNameT, "Monitor");
    dialog.SetButtonEnabled(ConfigButton::Save, true);
    dialog.SetButtonEnabled(ConfigButton::Restore, true);
    EXPECT_TRUE(events.seen.empty());

    auto* port = Child<QLineEdit>(dialog, "Port1T");
    port->setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, QStringLiteral("7"));
    QApplication::sendEvent(port, &key);
    Child<QCheckBox>(dialog, "RunOnTopT")->click();
    emit Child<QComboBox>(dialog, "LogLevelT")->activated(0);
    for (const char* button : {"Save", "Restore", "ViewL", "ExitConfig"})
        Child<QPushButton>(dialog, button)->click();
    QMetaObject::invokeMethod(Child<QTimer>(dialog, "Timer1"), "timeout");
    QMetaObject::invokeMethod(Child<QTimer>(dialog, "Timer2"), "timeout");
    EXPECT_EQ(events.seen, (std::vector<std::string>{"edit 10 7", "check 1 on", "list 0 Full", "save",
                                                     "restore", "view", "close", "tick1", "tick2"}));
}

TEST(ConfigDialog, TheCloseBoxAndEscapeAreTheCloseButtonButTheMainWindowsCloseIsNot) {
    frmConfig dialog(ProgramKind::Slave, NeverOpens);
    RecordedEvents events;
    dialog.SetEvents(&events);
    dialog.show();
    dialog.windowHandle()->close(); // as the window manager's close box does
    EXPECT_EQ(events.seen, std::vector<std::string>{"close"});
    EXPECT_TRUE(dialog.isVisible()) << "the logic decides when the screen unloads";
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_EQ(events.seen.size(), 2u);

    dialog.close();
    EXPECT_EQ(events.seen.size(), 3u);

    dialog.Unload(); // the automatic close
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(events.seen.size(), 3u);
    EXPECT_FALSE(Child<QTimer>(dialog, "Timer1")->isActive());
}

TEST(ConfigDialog, EveryInputIsNamedAndDescribedForScreenReaders) {
    for (ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave}) {
        frmConfig dialog(kind, NeverOpens);
        for (QWidget* input : dialog.findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(input) && !qobject_cast<QCheckBox*>(input) &&
                !qobject_cast<QComboBox*>(input) && !qobject_cast<QPushButton*>(input))
                continue;
            if (input->parent() != &dialog && qobject_cast<QLineEdit*>(input) &&
                qobject_cast<QComboBox*>(input->parent()))
                continue;
            SCOPED_TRACE(input->objectName().toStdString());
            EXPECT_FALSE(input->accessibleName().isEmpty());
            EXPECT_EQ(input->accessibleDescription(), input->toolTip());
        }
    }
}

// A master's screen over a folder of its own, with one remote computer set up.
ConfigScreen::Setup MasterWithOneComputer(const config_test::TempFolder& folder, const std::string& localName,
                                          std::int16_t shutType) {
    std::filesystem::create_directories(folder / "Log");
    ConfigScreen::Setup setup;
    setup.kind = ProgramKind::Master;
    setup.configFile = folder / "TarnixM.ini";
    setup.record = ConfigRecord{.DName = 1,
                                .CName = {localName, "Pump", "", "", ""},
                                .IPAdd = {"", "10.0.0.2", "", "", ""},
                                .Port1 = 10001,
                                .Port2 = 10000,
                                .CPUDelay = 60,
                                .LogLevel = 2,
                                .LogName = "TarnixM.log",
                                .LogPath = (folder / "Log").string() + "\\",
                                .RunOnTop = 1,
                                .StartDelay = 2,
                                .StartMin = 1,
                                .ShutTime = 60,
                                .ShutType = shutType};
    return setup;
}

// The real logic drives the real dialog: what a user sees on opening an unfinished master.
TEST(ConfigDialog, ShowsTheScreensValidationOnOpening) {
    config_test::TempFolder folder;
    ConfigScreen::Setup setup = MasterWithOneComputer(folder, "", 4);
    setup.linkKeyed[1] = true;
    struct Host : ConfigScreenHost {
        bool IsAdministrator() override { return false; }
        bool OpenLogFile(const std::filesystem::path&) override { return true; }
        bool Unconfigured() const override { return true; }
        bool ConfigSaved() const override { return false; }
        void SetConfigSaved(bool) override {}
        void ClearWindowStateOverride() override {}
        void ReinitialiseAfterConfiguration() override {}
        void StopSupervisionTimer() override {}
        void EndProgram() override {}
    } host;
    testing::FakeBoxes boxes;
    AuxWindows aux;
    FixedClock clock;
    frmConfig dialog(ProgramKind::Master, NeverOpens);
    ConfigScreen screen(setup, dialog, boxes, host, aux, clock);
    dialog.SetEvents(&screen);
    screen.Load();

    EXPECT_EQ(dialog.windowTitle(), "Tarnix Configuration");
    EXPECT_EQ(Child<QLabel>(dialog, "Status")->text(), "1 Item(s) Highlighted Contain Out Of Range Values");
    const QLabel* local = Child<QLabel>(dialog, "IPAddM0");
    EXPECT_EQ(local->palette().color(QPalette::WindowText), QColor(255, 128, 0));
    EXPECT_TRUE(local->font().bold());
    const QLabel* ports = Child<QLabel>(dialog, "Port1M");
    EXPECT_EQ(ports->palette().color(QPalette::WindowText), QColor(0, 102, 0));
    EXPECT_FALSE(ports->font().bold());
    EXPECT_EQ(Child<QLabel>(dialog, "ShutTypeM")->text(), "(Monitor computer only)");
    EXPECT_EQ(Child<QComboBox>(dialog, "ShutNameT")->currentText(), "Monitor");
    EXPECT_EQ(Child<QLineEdit>(dialog, "CompT1")->text(), "Pump");
    EXPECT_FALSE(Child<QPushButton>(dialog, "Save")->isEnabled());
    EXPECT_EQ(Child<QLabel>(dialog, "IPAddL")->text(), "IP Address");
    EXPECT_EQ(Child<QLineEdit>(dialog, "IPAddT1")->accessibleName(), "IP Address of Remote Computer 1");
    // Which links are keyed, named and described for screen readers like every control.
    for (const auto& [name, caption] : {std::pair{"KeyM1", "Keyed"}, std::pair{"KeyM2", "Not keyed"}}) {
        SCOPED_TRACE(name);
        const QLabel* key = Child<QLabel>(dialog, name);
        EXPECT_EQ(key->text(), caption);
        EXPECT_EQ(key->accessibleName(), caption);
        EXPECT_FALSE(key->toolTip().isEmpty());
        EXPECT_EQ(key->accessibleDescription(), key->toolTip());
    }
    EXPECT_NE(Child<QLabel>(dialog, "KeyM1")->toolTip(), Child<QLabel>(dialog, "KeyM2")->toolTip());

    Child<QLineEdit>(dialog, "CompT0")->setText("ignored"); // not an edit by the user
    Child<QCheckBox>(dialog, "DNameT")->click();
    EXPECT_EQ(Child<QLabel>(dialog, "IPAddL")->text(), "Domain Name");
    EXPECT_EQ(screen.Fields().Of("CName0").text, "");
    EXPECT_TRUE(screen.Fields().Of("DName").flag);
}

void Type(QLineEdit* edit, const std::string& text) {
    edit->setFocus();
    for (char c : text) {
        const QString character(QChar::fromLatin1(c));
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, character);
        QApplication::sendEvent(edit, &key);
    }
}

// A box's text set through the accessibility interface, as assistive and automation tools set
// it, or by another program, is what Save checks and writes; typing stays an edit too.
TEST(ConfigDialog, SaveChecksAndWritesWhatTheBoxesShowHoweverTheirTextGotThere) {
    config_test::TempFolder folder;
    const ConfigScreen::Setup setup = MasterWithOneComputer(folder, "Control", 1);
    struct Host : ConfigScreenHost {
        bool IsAdministrator() override { return true; }
        bool OpenLogFile(const std::filesystem::path&) override { return true; }
        bool Unconfigured() const override { return false; }
        bool ConfigSaved() const override { return saved; }
        void SetConfigSaved(bool s) override { saved = s; }
        void ClearWindowStateOverride() override {}
        void ReinitialiseAfterConfiguration() override {}
        void StopSupervisionTimer() override {}
        void EndProgram() override {}
        bool saved = false;
    } host;
    testing::FakeBoxes boxes;
    AuxWindows aux;
    FixedClock clock;
    frmConfig dialog(ProgramKind::Master, NeverOpens);
    ConfigScreen screen(setup, dialog, boxes, host, aux, clock);
    dialog.SetEvents(&screen);
    screen.Load();

    auto* port = Child<QLineEdit>(dialog, "Port1T");
    port->selectAll();
    Type(port, "65533");
    Child<QPushButton>(dialog, "Save")->click();
    ASSERT_EQ(Child<QLabel>(dialog, "Status")->text(),
              "Item(s) Highlighted Contain Out Of Range Values - Changes Not Saved");

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(port);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->editableTextInterface(), nullptr);
    accessible->editableTextInterface()->replaceText(0, accessible->textInterface()->characterCount(),
                                                     QStringLiteral("26101"));
    ASSERT_EQ(port->text(), "26101");
    Child<QLineEdit>(dialog, "CPUDelayT")->setText(QStringLiteral("90")); // as a program would
    Child<QPushButton>(dialog, "Save")->click();

    EXPECT_EQ(Child<QLabel>(dialog, "Status")->text(), "Changes Saved - Click Close To Activate The Changes");
    EXPECT_TRUE(host.saved);
    const std::string saved = config_test::ReadBytes(setup.configFile);
    EXPECT_NE(saved.find("\r\nPort1=26101\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\nCPUDelay=90\r\n"), std::string::npos) << saved;
}

// The real screen over a running master: what a person types and saves there is what the
// master supervises after Close, without a restart.
TEST(ConfigDialog, TheRealScreenSetsUpARunningMaster) {
    testing::ProgramFolder folder;
    testing::Settings settings = testing::MasterSettings();
    settings["IPAdd1"] = "";
    folder.WriteMaster(settings);
    testing::FakeNetwork network;
    TarnixMMain window(NeverOpens);
    QtMessageBoxes boxes(&window);
    testing::FakePower power;
    testing::FakeClock clock;
    testing::FakeControl control;
    testing::FakeDesktop desktop;
    StatusFanOut followers;
    EventFanOut events;
    SodiumSealing sealing;
    std::array<testing::FakePort*, 5> fake{};
    std::array<DatagramPort*, 5> ports{};
    for (std::size_t i = 1; i <= 4; ++i)
        ports[i] = fake[i] = &network.NewPort();
    QtSupervisionTimer timer(SupervisionTickMs(ProgramKind::Master));
    MasterProgram program("",
                          ProgramServices{.timer = timer,
                                          .boxes = boxes,
                                          .power = power,
                                          .clock = clock,
                                          .control = control,
                                          .statusObserver = followers,
                                          .sealing = sealing,
                                          .events = events},
                          ports);
    WindowPlacement placement(window, program.Config());
    WindowRules rules(program, placement, window, window, desktop);
    window.SetEvents(&rules);
    program.Load();
    ASSERT_TRUE(program.Unconfigured());

    bool filledIn = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<frmConfig*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        Type(Child<QLineEdit>(*dialog, "IPAddT1"), "127.0.0.5");
        Child<QPushButton>(*dialog, "Save")->click();
        Child<QPushButton>(*dialog, "ExitConfig")->click();
        filledIn = true;
    });
    QTimer::singleShot(5000, [] { // a safety net: a modal loop left open would hang the test
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    Child<QPushButton>(window, "Config")->click();

    EXPECT_TRUE(filledIn);
    EXPECT_FALSE(program.Unconfigured());
    EXPECT_EQ(fake[1]->remoteHost, "127.0.0.5");
    EXPECT_EQ(fake[1]->boundPort, 20001);
    std::ifstream file(folder.Root() / "Data" / "TarnixM.ini", std::ios::binary);
    const std::string saved{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_NE(saved.find("IPAdd1=127.0.0.5\r\n"), std::string::npos) << saved;
}

} // namespace
} // namespace tarnix
