// The Configure button over a running program: a Close after a save re-reads the file and
// restarts supervision in each program's own order, without a restart of the program.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "support/Rigs.h"

namespace tarnix::testing {
namespace {

using Lines = std::vector<std::string>;

// The log lines from the first one that contains `text` on.
Lines From(const Lines& lines, const std::string& text) {
    const auto first = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
    return {first, lines.end()};
}

// The event and detail of a log line ("Config,Updated"), or the line itself when it has none.
std::string Event(const std::string& line) {
    if (line.size() < 42 || line[18] != ',') return line;
    std::string event = line.substr(21, 9), detail = line.substr(32, 10);
    const auto trim = [](std::string& s) { s.erase(s.find_last_not_of(' ') + 1); };
    trim(event);
    trim(detail);
    return event + "," + detail;
}

Lines Events(const Lines& lines) {
    Lines events;
    std::transform(lines.begin(), lines.end(), std::back_inserter(events), Event);
    return events;
}

class Configure : public ::testing::Test {
protected:
    std::string ReadFile(const std::string& relative) const {
        std::ifstream in(folder.Root() / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    ProgramFolder folder;
    FakeNetwork network;
};

TEST_F(Configure, AFreshMasterIsSetUpAndSupervisesWithoutARestart) {
    Settings settings = MasterSettings();
    settings["IPAdd1"] = "";
    folder.WriteMaster(settings);
    MasterRig rig(network);
    rig.program->Load();
    ASSERT_TRUE(rig.program->Unconfigured());

    rig.configWindow.user = [](ConfigScreenEvents& screen, FakeConfigView& view) {
        EXPECT_TRUE(view.enabled[ConfigButton::Save]);
        screen.OnTextEdited(ConfigTextBox::CompT1, "Alpha");
        screen.OnTextEdited(ConfigTextBox::IPAddT1, "127.0.0.5");
        screen.OnSaveClicked();
        screen.OnCloseClicked();
        EXPECT_TRUE(view.unloaded);
    };
    rig.rules->OnButtonClicked(Button::Config);

    EXPECT_FALSE(rig.program->Unconfigured());
    EXPECT_EQ(rig.Port(1).boundPort, 20001);
    EXPECT_EQ(rig.Port(1).remoteHost, "127.0.0.5");
    EXPECT_EQ(rig.window.RowText(1, RowBox::Comp), " Alpha");
    EXPECT_TRUE(rig.window.timerEnabled);
    // At Normal the master writes an empty line, then the update, then the reset's start.
    EXPECT_EQ(Events(From(folder.LogLines("TarnixM.log"), ",  Config")),
              (Lines{"Config,Updated", "Start,Initialise"}));
    const Lines all = Events(folder.LogLines("TarnixM.log"));
    EXPECT_EQ(*(std::find(all.begin(), all.end(), "Config,Updated") - 1), "");

    // It supervises the new computer at once: the activation ends and it polls.
    for (int tick = 0; tick < 6; ++tick)
        rig.Tick();
    EXPECT_FALSE(rig.Port(1).sent.empty());
}

TEST_F(Configure, AtFullTheMasterListsTheNewConfiguration) {
    Settings settings = MasterSettings();
    settings["LogLevel"] = "3";
    folder.WriteMaster(settings);
    MasterRig rig(network);
    rig.program->Load();
    rig.configWindow.user = [](ConfigScreenEvents& screen, FakeConfigView&) {
        screen.OnTextEdited(ConfigTextBox::IPAddT2, "127.0.0.6");
        screen.OnSaveClicked();
        screen.OnCloseClicked();
    };
    rig.rules->OnButtonClicked(Button::Config);
    const Lines after = From(folder.LogLines("TarnixM.log"), ",  Config");
    ASSERT_FALSE(after.empty());
    EXPECT_NE(std::find(after.begin(), after.end(), "IPAdd2=127.0.0.6"), after.end());
    EXPECT_EQ(Event(after.back()), "Start,Initialise");
    EXPECT_EQ(rig.Port(2).remoteHost, "127.0.0.6");
}

TEST_F(Configure, TheSlaveTakesItsNewMasterWithoutStoppingItsTimer) {
    folder.WriteSlave(SlaveSettings());
    SlaveRig rig(network);
    rig.program->Load();
    rig.configWindow.user = [&](ConfigScreenEvents& screen, FakeConfigView&) {
        screen.OnTextEdited(ConfigTextBox::IPAddT, "127.0.0.7");
        screen.OnSaveClicked();
        rig.window.timerEnabled = true;
        screen.OnCloseClicked();
    };
    rig.rules->OnButtonClicked(Button::Config);
    EXPECT_EQ(rig.port.remoteHost, "127.0.0.7");
    EXPECT_EQ(rig.port.boundPort, 20000);
    EXPECT_EQ(Events(From(folder.LogLines("TarnixS.log"), ",  Config")),
              (Lines{"Config,Updated", "Start,Initialise"}));
    EXPECT_FALSE(rig.program->Auxiliary().AnyOpen());
}

// Close only unloads the dialog: the file is read again once its window has returned, never
// inside the dialog's own event loop.
TEST_F(Configure, TheProgramIsReinitialisedOnlyOnceTheScreenHasReturned) {
    folder.WriteMaster(MasterSettings());
    MasterRig rig(network);
    rig.program->Load();
    const std::size_t lines = folder.LogLines("TarnixM.log").size();
    rig.configWindow.user = [&](ConfigScreenEvents& screen, FakeConfigView&) {
        screen.OnTextEdited(ConfigTextBox::IPAddT2, "127.0.0.6");
        screen.OnSaveClicked();
        screen.OnCloseClicked();
        EXPECT_EQ(rig.Port(2).boundPort, 0);
        EXPECT_EQ(folder.LogLines("TarnixM.log").size(), lines);
    };
    rig.rules->OnButtonClicked(Button::Config);
    EXPECT_EQ(rig.Port(2).remoteHost, "127.0.0.6");
    EXPECT_EQ(Events(From(folder.LogLines("TarnixM.log"), ",  Config")),
              (Lines{"Config,Updated", "Start,Initialise"}));
}

TEST_F(Configure, WithoutASaveOrByTheClockNothingIsReadAgain) {
    folder.WriteMaster(MasterSettings());
    MasterRig rig(network);
    rig.program->Load();
    const std::size_t lines = folder.LogLines("TarnixM.log").size();

    rig.rules->OnButtonClicked(Button::Config); // opened and closed at once
    EXPECT_FALSE(rig.program->Auxiliary().AnyOpen());

    // Saved, then left open until the main window closes it on time: the file waits for the
    // next start.
    rig.configWindow.user = [&](ConfigScreenEvents& screen, FakeConfigView&) {
        screen.OnTextEdited(ConfigTextBox::IPAddT2, "127.0.0.6");
        screen.OnSaveClicked();
        for (int second = 0; second < 600; ++second)
            screen.OnTimer1Tick();
        rig.Tick();
        rig.Tick();
    };
    rig.rules->OnButtonClicked(Button::Config);
    EXPECT_EQ(rig.configWindow.closed, 1);
    EXPECT_FALSE(rig.program->Auxiliary().AnyOpen());
    EXPECT_EQ(folder.LogLines("TarnixM.log").size(), lines);
    EXPECT_EQ(rig.Port(2).boundPort, 0);
    EXPECT_EQ(rig.configWindow.opened, 2);
}

TEST_F(Configure, OnlyAnAdministratorMaySave) {
    folder.WriteMaster(MasterSettings());
    MasterRig rig(network);
    rig.desktop.administrator = false;
    rig.program->Load();
    const std::string before = ReadFile("Data/TarnixM.ini");
    rig.configWindow.user = [](ConfigScreenEvents& screen, FakeConfigView& view) {
        EXPECT_FALSE(view.enabled[ConfigButton::Save]);
        EXPECT_FALSE(view.enabled[ConfigButton::Restore]);
        screen.OnTextEdited(ConfigTextBox::IPAddT2, "127.0.0.6");
        screen.OnSaveClicked();
        screen.OnCloseClicked();
    };
    rig.rules->OnButtonClicked(Button::Config);
    EXPECT_EQ(ReadFile("Data/TarnixM.ini"), before);
}

// The shortened test values of "-InhibitShutdown" are never shown or saved as the user's.
TEST_F(Configure, UnderInhibitShutdownTheScreenKeepsTheFilesDelays) {
    Settings settings = MasterSettings();
    settings["CPUDelay"] = "30";
    settings["ShutTime"] = "40";
    folder.WriteMaster(settings);
    MasterRig rig(network, "-InhibitShutdown");
    rig.program->Load();
    ASSERT_EQ(rig.program->Machine().LostCommsLimit(), 6);
    rig.configWindow.user = [](ConfigScreenEvents& screen, FakeConfigView& view) {
        EXPECT_EQ(view.fields[ConfigTextBox::CPUDelayT], "30");
        EXPECT_EQ(view.fields[ConfigTextBox::ShutTimeT], "40");
        screen.OnTextEdited(ConfigTextBox::IPAddT2, "127.0.0.6");
        screen.OnSaveClicked();
        screen.OnCloseClicked();
    };
    rig.rules->OnButtonClicked(Button::Config);
    const std::string saved = ReadFile("Data/TarnixM.ini");
    EXPECT_NE(saved.find("CPUDelay=30"), std::string::npos);
    EXPECT_NE(saved.find("ShutTime=40"), std::string::npos);
}

// The screen shows the keys the program read for its links.
TEST_F(Configure, TheScreenShowsWhichComputersLinksTheProgramKeyed) {
    folder.WriteMaster(MasterSettings());
    const std::filesystem::path key = folder.Root() / "Data" / "TarnixM3.key";
    std::ofstream(key) << std::string(64, 'a') << "\n";
    std::filesystem::permissions(key,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    MasterRig rig(network);
    rig.program->Load();
    ASSERT_TRUE(rig.program->LinkKeyed(3));
    std::map<int, bool> shown;
    rig.configWindow.user = [&](ConfigScreenEvents& screen, FakeConfigView& view) {
        shown = view.keyed;
        screen.OnCloseClicked();
    };
    rig.rules->OnButtonClicked(Button::Config);
    EXPECT_EQ(shown, (std::map<int, bool>{{1, false}, {2, false}, {3, true}, {4, false}}));
}

} // namespace
} // namespace tarnix::testing
