#include "desktop/window/ServiceWindowRules.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/config/ConfigTestSupport.h"
#include "support/ConfigFakes.h"
#include "support/Fakes.h"
#include "support/ProgramFolder.h"

namespace tarnix {
namespace {

using namespace testing;

struct Buttons final : ServiceButtons {
    std::vector<std::string> pressed;
    void Reset() override { pressed.push_back("Reset"); }
    void Test() override { pressed.push_back("Test"); }
};

struct Rig {
    config_test::TempFolder folder;
    Buttons buttons;
    FakeWindow window;
    ConfigRecord placementRules;
    WindowPlacement placement{window, placementRules};
    FakeConfigWindow configWindow;
    FakeDesktop desktop;
    FakeBoxes boxes;
    FakeClock clock;
    int closed = 0;
    ServiceWindowRules rules{
        ProgramKind::Slave,
        {.configFile = folder.Path() / "TarnixS.ini", .programFolder = folder.Path(), .unit = "tarnix-slave"},
        {.buttons = buttons,
         .placement = placement,
         .aboutBox = window,
         .configWindow = configWindow,
         .desktop = desktop,
         .boxes = boxes,
         .clock = clock,
         .closeWindow = [this] { ++closed; }}};
};

TEST(ServiceWindowRules, ButtonsPressTheServiceAndExitClosesOnlyTheWindow) {
    Rig rig;
    rig.rules.OnButtonClicked(Button::Reset);
    rig.rules.OnButtonClicked(Button::TestS);
    rig.rules.OnButtonClicked(Button::Exit);
    rig.rules.OnWindowClosing();
    EXPECT_EQ(rig.buttons.pressed, (std::vector<std::string>{"Reset", "Test"}));
    EXPECT_EQ(rig.closed, 2);
}

TEST(ServiceWindowRules, TheServicesFileIsShownButNeverSaved) {
    Rig rig;
    config_test::WriteBytes(rig.folder.Path() / "TarnixS.ini", IniText(false, SlaveSettings()));
    FakeConfigView* shown = nullptr;
    FakeConfigView copy;
    rig.configWindow.user = [&](ConfigScreenEvents& screen, FakeConfigView& view) {
        screen.OnSaveClicked();
        copy = view;
        shown = &copy;
        screen.OnCloseClicked();
    };
    rig.desktop.administrator = true; // even an administrator edits the service's file as root
    rig.rules.OnButtonClicked(Button::Config);
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->enabled[ConfigButton::Save]);
    EXPECT_FALSE(shown->enabled[ConfigButton::Restore]);
    EXPECT_EQ(shown->status,
              (rig.folder.Path() / "TarnixS.ini").string() +
                  " is the service's: change it as root, then: systemctl reload tarnix-slave.");
    EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST(ServiceWindowRules, AFileThatCannotBeReadIsSaidWithoutEndingAnything) {
    Rig rig;
    rig.rules.OnButtonClicked(Button::Config);
    EXPECT_EQ(rig.configWindow.opened, 0);
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_NE(rig.boxes.shown[0].lines.back(), ProgramWillTerminate);
    EXPECT_EQ(rig.closed, 0);
}

TEST(ServiceWindowRules, TheLogOpensFromTheServicesFolderOrIsSaidMissing) {
    Rig rig;
    EXPECT_FALSE(rig.rules.OpenLogFile("Log/TarnixS.log"));
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].lines[0], "The service has written no log at " +
                                               (rig.folder.Path() / "Log/TarnixS.log").string() + " yet.");
    std::filesystem::create_directory(rig.folder.Path() / "Log");
    std::ofstream(rig.folder.Path() / "Log/TarnixS.log") << "line\r\n";
    EXPECT_TRUE(rig.rules.OpenLogFile("Log/TarnixS.log"));
    EXPECT_EQ(rig.desktop.opened, std::vector<std::filesystem::path>{rig.folder.Path() / "Log/TarnixS.log"});
}

} // namespace
} // namespace tarnix
