#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

#include "ConfigTestSupport.h"
#include "common/config/ConfigScreen.h"
#include "support/ConfigFakes.h"
#include "support/Fakes.h"

namespace tarnix {
namespace {

using config_test::ReadBytes;
using config_test::TempFolder;
using testing::FakeBoxes;

// Remembers the last thing the logic told each control.
struct FakeScreenView : ConfigScreenView {
    struct Style {
        Colour colour;
        bool bold;
    };
    std::map<ConfigTextBox, std::string> text, toolTip;
    std::map<ConfigCheckBox, bool> checked;
    std::map<ConfigList, std::string> selected;
    std::map<ConfigLabel, std::string> caption;
    std::map<ConfigLabel, Style> style;
    std::map<ConfigButton, bool> enabled;
    std::map<int, bool> keyed; // by link
    std::string title, status, closeMessage;
    bool statusTimer = false;
    int keptOnTop = 0;
    bool unloaded = false;

    void SetTitle(const std::string& t) override { title = t; }
    void SetFieldText(ConfigTextBox b, const std::string& t) override { text[b] = t; }
    void SetFieldToolTip(ConfigTextBox b, const std::string& t) override { toolTip[b] = t; }
    void SetChecked(ConfigCheckBox b, bool c) override { checked[b] = c; }
    void SelectListItem(ConfigList l, const std::string& i) override { selected[l] = i; }
    void SetLabelCaption(ConfigLabel l, const std::string& t) override { caption[l] = t; }
    void SetLabelStyle(ConfigLabel l, Colour c, bool b) override { style[l] = {c, b}; }
    void SetButtonEnabled(ConfigButton b, bool e) override { enabled[b] = e; }
    void SetLinkKeyed(int l, bool k) override { keyed[l] = k; }
    void SetStatusText(const std::string& t) override { status = t; }
    void SetCloseMessage(const std::string& t) override { closeMessage = t; }
    void SetStatusTimerRunning(bool r) override { statusTimer = r; }
    void KeepOnTop() override { ++keptOnTop; }
    void Unload() override { unloaded = true; }

    std::set<ConfigLabel> Highlighted() const {
        std::set<ConfigLabel> labels;
        for (const auto& [label, s] : style)
            if (s.bold && s.colour == colours::HighlightColour) labels.insert(label);
        return labels;
    }
};

// The program behind the screen; what it was asked to do, in order.
struct FakeScreenHost : ConfigScreenHost {
    bool administrator = true;
    bool unconfigured = false;
    bool configSaved = false;
    bool opens = true;
    std::vector<std::string> calls;
    std::filesystem::path opened;

    bool IsAdministrator() override { return administrator; }
    bool OpenLogFile(const std::filesystem::path& file) override {
        opened = file;
        return opens;
    }
    bool Unconfigured() const override { return unconfigured; }
    bool ConfigSaved() const override { return configSaved; }
    void SetConfigSaved(bool saved) override { configSaved = saved; }
    void ClearWindowStateOverride() override { calls.push_back("ClearWindowStateOverride"); }
    void ReinitialiseAfterConfiguration() override { calls.push_back("Reinitialise"); }
    void StopSupervisionTimer() override { calls.push_back("StopTimer"); }
    void EndProgram() override { calls.push_back("End"); }
};

ConfigRecord ValidRecord(ProgramKind kind, const std::string& logPath) {
    ConfigRecord r;
    r.DName = 1;
    if (kind == ProgramKind::Master) {
        r.CName = {"Control", "Pump", "", "", ""};
        r.IPAdd = {"", "10.0.0.2", "", "", ""};
    } else {
        r.IPAdd[0] = "10.0.0.1";
    }
    r.Port1 = 10001;
    r.Port2 = 10000;
    r.CPUDelay = 60;
    r.LogLevel = 2;
    r.LogName = kind == ProgramKind::Master ? "TarnixM.log" : "TarnixS.log";
    r.LogPath = logPath;
    r.RunOnTop = 1;
    r.StartDelay = 2;
    r.StartMin = 1;
    r.ShutTime = 60;
    r.ShutType = 1;
    return r;
}

// A screen on a program folder of its own, with the log folder in place.
class ConfigScreenTest : public ::testing::Test {
protected:
    void Open(ProgramKind kind = ProgramKind::Master, bool inhibit = false) {
        setup_.kind = kind;
        setup_.inhibitShutdown = inhibit;
        setup_.configFile = folder_ / (kind == ProgramKind::Master ? "Data/TarnixM.ini" : "Data/TarnixS.ini");
        if (kind == ProgramKind::Slave) config_test::WriteBytes(setup_.configFile, "old");
        screen_ = std::make_unique<ConfigScreen>(setup_, view_, boxes_, host_, aux_, clock_);
        screen_->Load();
    }
    void SetUp() override {
        std::filesystem::create_directories(folder_ / "Data");
        std::filesystem::create_directories(folder_ / "Log");
        setup_.record = ValidRecord(ProgramKind::Master, LogPath());
    }
    std::string LogPath() const { return (folder_ / "Log").string() + "\\"; }
    void Edit(ConfigTextBox box, const std::string& text) { screen_->OnTextEdited(box, text); }

    TempFolder folder_;
    ConfigScreen::Setup setup_;
    FakeScreenView view_;
    FakeBoxes boxes_;
    FakeScreenHost host_;
    AuxWindows aux_;
    FixedClock clock_;
    std::unique_ptr<ConfigScreen> screen_;
};

ConfigScreenValues ValidFields(ProgramKind kind) {
    ConfigScreenValues v;
    if (kind == ProgramKind::Master) {
        config_test::SetRow(v, "CName", {"Control", "Pump", "", "", ""});
        config_test::SetRow(v, "IPAdd", {"", "10.0.0.2", "", "", ""});
    } else {
        v.Of("IPAdd").text = "10.0.0.1";
    }
    v.Of("Port1").text = "10001";
    v.Of("Port2").text = "10000";
    v.Of("CPUDelay").text = "60";
    v.Of("LogName").text = "TarnixM.log";
    v.Of("LogPath").text = "Log\\";
    v.Of("StartDelay").text = "2";
    v.Of("ShutTime").text = "60";
    return v;
}

bool LogFolderOnly(const std::string& path) {
    return path == "Log\\";
}

TEST(ConfigScreenRules, EachBrokenRuleCountsOnceAndHighlightsItsLabels) {
    using L = ConfigLabel;
    struct Case {
        const char* what;
        ProgramKind kind;
        std::function<void(ConfigScreenValues&)> change;
        int violations;
        std::multiset<ConfigLabel> labels;
    };
    const ProgramKind M = ProgramKind::Master, S = ProgramKind::Slave;
    const std::string accented25 = [] {
        std::string s;
        for (int i = 0; i < 25; ++i)
            s += "\xC3\xA9";
        return s;
    }();
    const std::vector<Case> cases{
        {"all valid", M, [](auto&) {}, 0, {}},
        {"both ports share a hint",
         M,
         [](auto& v) { v.Of("Port1").text = "1023", v.Of("Port2").text = "x"; },
         2,
         {L::Port1M, L::Port1M}},
        {"delay 4.5", M, [](auto& v) { v.Of("CPUDelay").text = "4.5"; }, 1, {L::CPUDelayM}},
        {"delay 5.5", M, [](auto& v) { v.Of("CPUDelay").text = "5.5"; }, 0, {}},
        {"delay 600.5", M, [](auto& v) { v.Of("CPUDelay").text = "600.5"; }, 1, {L::CPUDelayM}},
        {"empty log path", M, [](auto& v) { v.Of("LogPath").text = ""; }, 2, {L::LogPathM, L::LogPathM}},
        {"missing log folder", M, [](auto& v) { v.Of("LogPath").text = "Logs\\"; }, 1, {L::LogPathM}},
        {"no log level", M, [](auto& v) { v.Of("LogLevel").code = 0; }, 1, {L::LogLevelM}},
        {"no power action", M, [](auto& v) { v.Of("ShutType").code = 0; }, 1, {L::ShutTypeM}},
        {"empty local name", M, [](auto& v) { v.Of("CName0").text = ""; }, 1, {L::IPAddM0, L::CompL}},
        {"25 accented letters", M, [&](auto& v) { v.Of("CName1").text = accented25; }, 0, {}},
        {"remote name of 26",
         M,
         [](auto& v) { v.Of("CName1").text = std::string(26, 'n'); },
         1,
         {L::IPAddM1, L::CompL}},
        {"named without address",
         M,
         [](auto& v) { v.Of("CName2").text = "Tank"; },
         1,
         {L::IPAddM2, L::IPAddL}},
        {"all four addresses empty",
         M,
         [](auto& v) { v.Of("IPAdd1").text = "", v.Of("CName1").text = ""; },
         1,
         {L::IPAddM1, L::IPAddL}},
        {"bad IP address",
         M,
         [](auto& v) { v.Of("IPAdd4").text = "10.0.0.256"; },
         1,
         {L::IPAddM4, L::IPAddL}},
        {"IP address in domain mode",
         M,
         [](auto& v) { v.Of("DName").flag = true, v.Of("IPAdd1").text = "192.168.1.20"; },
         1,
         {L::IPAddM1, L::IPAddL}},
        // As the files of the designed program: an address with a 0 part counts as a name.
        {"zero part in domain mode",
         M,
         [](auto& v) { v.Of("DName").flag = true, v.Of("IPAdd1").text = "192.168.0.5"; },
         0,
         {}},
        {"accented domain name of 100",
         M,
         [](auto& v) { v.Of("DName").flag = true, v.Of("IPAdd1").text = "\xC3\xA9" + std::string(99, 'd'); },
         0,
         {}},
        {"slave valid", S, [](auto&) {}, 0, {}},
        {"slave empty IP address", S, [](auto& v) { v.Of("IPAdd").text = ""; }, 1, {L::IPAddM}},
        {"slave empty domain name",
         S,
         [](auto& v) { v.Of("DName").flag = true, v.Of("IPAdd").text = ""; },
         1,
         {L::IPAddM}},
        {"slave domain name",
         S,
         [](auto& v) { v.Of("DName").flag = true, v.Of("IPAdd").text = "master.lan"; },
         0,
         {}},
        {"slave accented domain name of 100",
         S,
         [](auto& v) { v.Of("DName").flag = true, v.Of("IPAdd").text = "\xC3\xA9" + std::string(99, 'd'); },
         0,
         {}},
        {"slave ignores names", S, [](auto& v) { v.Of("CName0").text = ""; }, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigScreenValues v = ValidFields(c.kind);
        c.change(v);
        const FieldCheck check = CheckScreenFields(c.kind, v, LogFolderOnly);
        EXPECT_EQ(check.violations, c.violations);
        EXPECT_EQ(std::multiset<ConfigLabel>(check.highlighted.begin(), check.highlighted.end()), c.labels);
    }
}

TEST_F(ConfigScreenTest, LoadShowsTheRecordAndCountsWhatIsOutOfRange) {
    setup_.record.CName[0] = "";
    host_.configSaved = true;
    Open();
    EXPECT_EQ(view_.title, "Tarnix Configuration");
    EXPECT_EQ(view_.text[ConfigTextBox::CompT1], "Pump");
    EXPECT_EQ(view_.text[ConfigTextBox::CPUDelayT], "60");
    EXPECT_EQ(view_.selected[ConfigList::LogLevelT], "Normal");
    EXPECT_EQ(view_.selected[ConfigList::ShutNameT], "Power Off");
    EXPECT_EQ(view_.caption[ConfigLabel::ShutTypeM], "(Forces Running Applications To Close)");
    EXPECT_EQ(view_.status, "1 Item(s) Highlighted Contain Out Of Range Values");
    EXPECT_EQ(view_.Highlighted(), (std::set{ConfigLabel::CompL, ConfigLabel::IPAddM0}));
    EXPECT_EQ(view_.style[ConfigLabel::Port1M].colour, colours::NormalLabelColour);
    EXPECT_TRUE(host_.configSaved) << "only a valid load clears it";
    EXPECT_TRUE(view_.statusTimer) << "the master's message goes after two seconds";
    EXPECT_TRUE(aux_.AnyOpen());
    EXPECT_EQ(aux_.ConfigSecondsLeft(), 600);
    EXPECT_TRUE(view_.enabled[ConfigButton::Save]);
    EXPECT_TRUE(view_.enabled[ConfigButton::Restore]);
}

TEST_F(ConfigScreenTest, ANonAdministratorCanLookButNotWrite) {
    host_.administrator = false;
    host_.configSaved = true;
    Open();
    EXPECT_FALSE(host_.configSaved) << "a valid load clears it";
    EXPECT_FALSE(view_.enabled[ConfigButton::Save]);
    EXPECT_FALSE(view_.enabled[ConfigButton::Restore]);
    Edit(ConfigTextBox::CPUDelayT, "90");
    screen_->OnSaveClicked();
    screen_->OnRestoreClicked();
    EXPECT_FALSE(std::filesystem::exists(setup_.configFile));
    EXPECT_EQ(view_.text[ConfigTextBox::CPUDelayT], "60");
}

TEST_F(ConfigScreenTest, SaveWritesOnlyValidChangedFieldsAndSaysWhatItDid) {
    Open();
    screen_->OnSaveClicked();
    EXPECT_EQ(view_.status, "No Changes To Save");
    EXPECT_FALSE(std::filesystem::exists(setup_.configFile));
    EXPECT_FALSE(host_.configSaved);

    Edit(ConfigTextBox::Port1T, "65533");
    screen_->OnSaveClicked();
    EXPECT_EQ(view_.status, "Item(s) Highlighted Contain Out Of Range Values - Changes Not Saved");
    EXPECT_EQ(view_.Highlighted(), std::set{ConfigLabel::Port1M});
    EXPECT_FALSE(std::filesystem::exists(setup_.configFile));

    Edit(ConfigTextBox::Port1T, "10001");
    Edit(ConfigTextBox::CompT2, "Tank");
    Edit(ConfigTextBox::IPAddT2, "10.0.0.3");
    screen_->OnListItemChosen(ConfigList::ShutNameT, "Monitor");
    EXPECT_EQ(view_.caption[ConfigLabel::ShutTypeM], "(Forces Running Applications To Close)")
        << "choosing an item alone runs nothing";
    screen_->OnSaveClicked();
    EXPECT_EQ(view_.status, "Changes Saved - Click Close To Activate The Changes");
    EXPECT_EQ(view_.caption[ConfigLabel::ShutTypeM], "(Monitor computer only)");
    EXPECT_TRUE(host_.configSaved);
    EXPECT_TRUE(view_.statusTimer);
    EXPECT_TRUE(host_.calls.empty()) << "StartMin kept: the window state override stays";

    ConfigRecord read;
    std::string listing;
    ASSERT_FALSE(ReadConfiguration(setup_.configFile, ProgramKind::Master, read, listing));
    EXPECT_EQ(read.CName[2], "Tank");
    EXPECT_EQ(read.IPAdd[2], "10.0.0.3");
    EXPECT_EQ(read.ShutType, 4);

    screen_->OnTimer2Tick();
    EXPECT_EQ(view_.status, "");
    EXPECT_FALSE(view_.statusTimer);
    screen_->OnSaveClicked();
    EXPECT_EQ(view_.status, "No Changes To Save") << "the saved values are the new reference";
}

TEST_F(ConfigScreenTest, CharactersMovedBetweenNeighbouringFieldsAreAChange) {
    Open();
    Edit(ConfigTextBox::ShutTimeT, "6");
    Edit(ConfigTextBox::StartDelayT, "02"); // "60" + "2" and "6" + "02" read alike when joined
    screen_->OnSaveClicked();
    EXPECT_EQ(view_.status, "Changes Saved - Click Close To Activate The Changes");
    const std::string file = ReadBytes(setup_.configFile);
    EXPECT_NE(file.find("ShutTime=6\r\n"), std::string::npos);
    EXPECT_NE(file.find("StartDelay=2\r\n"), std::string::npos);
}

TEST_F(ConfigScreenTest, ChangingStartInTheTrayDropsTheWindowStateOverride) {
    Open();
    screen_->OnCheckClicked(ConfigCheckBox::StartMinT, true);
    screen_->OnSaveClicked();
    EXPECT_EQ(host_.calls, std::vector<std::string>{"ClearWindowStateOverride"});
}

TEST_F(ConfigScreenTest, AFailedSaveKeepsTheScreenAndTheProgramGoing) {
    Open();
    std::filesystem::create_directories(setup_.configFile); // a folder where the file should be
    Edit(ConfigTextBox::CPUDelayT, "90");
    screen_->OnSaveClicked();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].title, "Tarnix Configuration File Error");
    EXPECT_EQ(boxes_.shown[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes_.shown[0].lines, (std::vector<std::string>{"Unable to write to the configuration file.",
                                                               "This may be a permissions problem."}));
    EXPECT_EQ(view_.text[ConfigTextBox::CPUDelayT], "60") << "the record's values are back";
    EXPECT_FALSE(host_.configSaved);
    EXPECT_FALSE(view_.unloaded);
    EXPECT_TRUE(host_.calls.empty());
}

// The dialog shows what it was last told: after a failed save it must be told the values in
// force again, and the screen must hold them too, or a second Save would write the refused edit.
TEST_F(ConfigScreenTest, AFailedSaveShowsAndHoldsTheValuesInForceAgain) {
    testing::FakeConfigView dialog;
    setup_.configFile = folder_ / "Data/TarnixM.ini";
    ConfigScreen screen(setup_, dialog, boxes_, host_, aux_, clock_);
    screen.Load();
    std::filesystem::create_directories(setup_.configFile); // a folder where the file should be
    dialog.fields[ConfigTextBox::CPUDelayT] = "90";         // as typed into the box
    screen.OnTextEdited(ConfigTextBox::CPUDelayT, "90");
    screen.OnSaveClicked();
    EXPECT_EQ(dialog.fields[ConfigTextBox::CPUDelayT], "60");
    EXPECT_EQ(screen.Fields().Of("CPUDelay").text, "60");

    std::filesystem::remove(setup_.configFile);
    screen.OnSaveClicked();
    EXPECT_EQ(dialog.status, "No Changes To Save");
    EXPECT_FALSE(std::filesystem::exists(setup_.configFile));
}

TEST_F(ConfigScreenTest, TheSlaveEndsWhenItsFileVanishedBeforeTheSave) {
    setup_.record = ValidRecord(ProgramKind::Slave, LogPath());
    Open(ProgramKind::Slave);
    EXPECT_FALSE(view_.statusTimer) << "the slave's validation leaves its message";
    std::filesystem::remove(setup_.configFile);
    Edit(ConfigTextBox::IPAddT, "10.0.0.9");
    screen_->OnSaveClicked();
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"StopTimer", "End"}));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].title, "Tarnix Slave Configuration File Error");
    EXPECT_EQ(boxes_.shown[0].lines.back(), "The program will now terminate.");
}

TEST_F(ConfigScreenTest, RestoreFillsInDefaultsWithoutWritingOrChecking) {
    setup_.record.Port1 = 20001;
    setup_.record.StartMin = 2;
    setup_.record.LogLevel = 3;
    Open();
    screen_->OnRestoreClicked();
    EXPECT_EQ(view_.text[ConfigTextBox::Port1T], "10001");
    EXPECT_EQ(view_.text[ConfigTextBox::LogPathT], "Log\\");
    EXPECT_EQ(view_.text[ConfigTextBox::CompT1], "Pump") << "names and addresses stay";
    EXPECT_FALSE(view_.checked[ConfigCheckBox::StartMinT]);
    EXPECT_EQ(view_.selected[ConfigList::LogLevelT], "Normal");
    EXPECT_EQ(view_.status, "Defaults Restored - Click Save To Keep");
    EXPECT_FALSE(std::filesystem::exists(setup_.configFile));
    screen_->OnCloseClicked();
    screen_->Closed();
    EXPECT_TRUE(host_.calls.empty()) << "Restore then Close changes nothing";
    EXPECT_FALSE(aux_.AnyOpen());
}

TEST_F(ConfigScreenTest, CloseReinitialisesOnlyAfterASaveOrWhileUnconfigured) {
    struct Case {
        bool saved, unconfigured, reinitialised;
    };
    for (const Case c : {Case{false, false, false}, Case{true, false, true}, Case{false, true, true}}) {
        SCOPED_TRACE(::testing::Message() << c.saved << c.unconfigured);
        host_ = FakeScreenHost{};
        view_ = FakeScreenView{};
        Open();
        host_.configSaved = c.saved;
        host_.unconfigured = c.unconfigured;
        screen_->OnCloseClicked();
        EXPECT_TRUE(host_.calls.empty()) << "not while the dialog's loop still runs";
        screen_->Closed(); // the window has returned
        EXPECT_TRUE(view_.unloaded);
        EXPECT_EQ(host_.calls,
                  c.reinitialised ? std::vector<std::string>{"Reinitialise"} : std::vector<std::string>{});
        EXPECT_EQ(aux_.AnyOpen(), c.reinitialised) << "the re-initialisation clears it itself";
        screen_->OnCloseClicked();
        screen_->Closed();
        EXPECT_EQ(host_.calls.size(), c.reinitialised ? 1u : 0u) << "closed once only";
    }
}

TEST_F(ConfigScreenTest, TheCloseCountdownShowsItsLastNinetySeconds) {
    Open();
    for (int tick = 1; tick <= 510; ++tick)
        screen_->OnTimer1Tick();
    EXPECT_EQ(view_.closeMessage, "");
    screen_->OnTimer1Tick();
    EXPECT_EQ(view_.closeMessage, "The Configuration Screen will close in 90 sec");
    for (int tick = 512; tick <= 600; ++tick)
        screen_->OnTimer1Tick();
    EXPECT_EQ(view_.closeMessage, "The Configuration Screen will close in 1 sec");
    EXPECT_EQ(aux_.ConfigSecondsLeft(), 0) << "the main window's cycle closes the screen now";
}

TEST_F(ConfigScreenTest, TheCloseCountdownIsFourSecondsUnderInhibitShutdown) {
    Open(ProgramKind::Master, true);
    EXPECT_EQ(aux_.ConfigSecondsLeft(), 4);
    screen_->OnTimer1Tick();
    EXPECT_EQ(view_.closeMessage, "The Configuration Screen will close in 4 sec");
}

TEST_F(ConfigScreenTest, TheAddressModeChangesHeaderTooltipsAndRefreshesLabels) {
    Open();
    EXPECT_EQ(view_.caption[ConfigLabel::IPAddL], "IP Address");
    EXPECT_EQ(view_.toolTip[ConfigTextBox::IPAddT3],
              "IP Address of remote computer 3  (Empty or a valid IP "
              "address - must be set if Remote Computer 3 name is set)");
    Edit(ConfigTextBox::Port2T, "1");
    screen_->OnSaveClicked();
    screen_->OnListItemChosen(ConfigList::ShutNameT, "Hibernate");
    screen_->OnCheckClicked(ConfigCheckBox::DNameT, true);
    EXPECT_EQ(view_.caption[ConfigLabel::IPAddL], "Domain Name");
    EXPECT_EQ(view_.toolTip[ConfigTextBox::IPAddT1],
              "Domain name of remote computer 1  (Empty or a valid "
              "domain name - must be set if Remote Computer 1 name is set)");
    EXPECT_TRUE(view_.Highlighted().empty()) << "the click resets the labels without checking";
    EXPECT_EQ(view_.caption[ConfigLabel::ShutTypeM], "");
}

TEST_F(ConfigScreenTest, TheSlaveAddressModeSetsItsHint) {
    setup_.record = ValidRecord(ProgramKind::Slave, LogPath());
    Open(ProgramKind::Slave);
    EXPECT_EQ(view_.caption[ConfigLabel::IPAddM], "(A valid IP address)");
    screen_->OnCheckClicked(ConfigCheckBox::DNameT, true);
    EXPECT_EQ(view_.caption[ConfigLabel::IPAddM], "(a valid domain name)");
    EXPECT_EQ(view_.toolTip[ConfigTextBox::IPAddT],
              "Domain name of computer to communicate with (less than 100 characters)");
}

TEST_F(ConfigScreenTest, ViewLogOpensTheLogInForceOrEndsWithTheBoxOfItsFault) {
    struct Case {
        const char* what;
        std::int16_t level;
        bool folder, file, opens;
        const char* title;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases{
        {"opened", 2, true, true, true, nullptr, {}},
        {"logging off", 1, true, true, true, "Tarnix Log File Error", {}},
        {"no folder", 3, false, false, true, "Tarnix Log Directory Error", {"StopTimer", "End"}},
        {"no file", 2, true, false, true, "Tarnix Log File Error", {"StopTimer", "End"}},
        {"no viewer", 2, true, true, false, "Tarnix Log File Error", {"StopTimer", "End"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host_ = FakeScreenHost{};
        host_.opens = c.opens;
        boxes_.shown.clear();
        setup_.record.LogLevel = c.level;
        setup_.record.LogPath = (folder_ / (c.folder ? "Log" : "Gone")).string() + "\\";
        if (c.file)
            config_test::WriteBytes(folder_ / "Log" / "TarnixM.log", "log");
        else
            std::filesystem::remove(folder_ / "Log" / "TarnixM.log");
        Open();
        Edit(ConfigTextBox::LogNameT, "Other.log"); // the log in force is the one shown
        screen_->OnViewLogClicked();
        EXPECT_EQ(host_.calls, c.calls);
        if (c.title == nullptr) {
            EXPECT_TRUE(boxes_.shown.empty());
            EXPECT_EQ(host_.opened, folder_ / "Log" / "TarnixM.log");
            continue;
        }
        ASSERT_EQ(boxes_.shown.size(), 1u);
        EXPECT_EQ(boxes_.shown[0].title, c.title);
        EXPECT_EQ(boxes_.shown[0].icon, c.level < 2 ? BoxIcon::Information : BoxIcon::Warning);
    }
    EXPECT_EQ(boxes_.shown[0].lines[0], "Unable to opem the log file TarnixM.log.");
}

// The master shows its four remote computers' links, the slave its master's; a link the
// program does not have is never shown, even when the setup says it is keyed.
TEST_F(ConfigScreenTest, LoadTellsTheViewWhichOfTheProgramsLinksAreKeyed) {
    struct Case {
        ProgramKind kind;
        std::array<bool, RemoteComputerCount + 1> linkKeyed;
        std::map<int, bool> shown;
    };
    const std::vector<Case> cases{
        {ProgramKind::Master,
         {false, false, false, false, false},
         {{1, false}, {2, false}, {3, false}, {4, false}}},
        {ProgramKind::Master,
         {true, false, true, false, true},
         {{1, false}, {2, true}, {3, false}, {4, true}}},
        {ProgramKind::Slave, {false, true, true, true, true}, {{0, false}}},
        {ProgramKind::Slave, {true, false, false, false, false}, {{0, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases.data());
        view_ = FakeScreenView{};
        setup_.record = ValidRecord(c.kind, LogPath());
        setup_.linkKeyed = c.linkKeyed;
        Open(c.kind);
        EXPECT_EQ(view_.keyed, c.shown);
    }
}

TEST_F(ConfigScreenTest, ActivationKeepsTheScreenOnTopOnlyWhenTheProgramRunsOnTop) {
    Open();
    screen_->OnActivated();
    EXPECT_EQ(view_.keptOnTop, 0);
    setup_.record.RunOnTop = 2;
    Open();
    screen_->OnActivated();
    EXPECT_EQ(view_.keptOnTop, 1);
}

} // namespace
} // namespace tarnix
