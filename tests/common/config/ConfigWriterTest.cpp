#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/base/AtomicFile.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigSchema.h"
#include "common/config/ConfigTestSupport.h"

namespace tarnix {
namespace {

using namespace config_test;

std::tm SaveTime() {
    std::tm t{};
    t.tm_year = 126; // 2026
    t.tm_mon = 11;   // December
    t.tm_mday = 7;
    t.tm_hour = 5;
    t.tm_min = 4;
    t.tm_sec = 9;
    return t;
}

ConfigScreenValues MasterScreen() {
    ConfigScreenValues v;
    SetRow(v, "CName", {"Control", "Pump", "", "Fan Room", ""});
    SetRow(v, "IPAdd", {"", "192.168.0.20", "", "10.0.0.7", ""});
    v.Of("Port1").text = "10000";
    v.Of("Port2").text = "10001";
    v.Of("CPUDelay").text = "60";
    v.Of("LogName").text = "TarnixM.log";
    v.Of("LogPath").text = "Log\\";
    v.Of("StartDelay").text = "2";
    v.Of("ShutTime").text = "60";
    return v;
}

ConfigScreenValues SlaveScreen() {
    ConfigScreenValues v = MasterScreen();
    SetRow(v, "IPAdd", {"10.0.0.5", "", "", "", ""});
    v.Of("LogName").text = "TarnixS.log";
    return v;
}

TEST(WriterLayout, MasterFileLineByLine) {
    ConfigScreenValues v = MasterScreen();
    v.Of("DName").flag = false;
    v.Of("RunOnTop").flag = true;
    v.Of("LogLevel").code = 3;
    v.Of("ShutType").code = 5;
    EXPECT_EQ(ConfigurationText(ProgramKind::Master, v, SaveTime()), JoinLines({"# Tarnix Version 4.2",
                                                                                "# Configuration File",
                                                                                "# 07-Dec-26 05:04:09",
                                                                                "",
                                                                                "[Comms]",
                                                                                "DName=1",
                                                                                "CName0=Control",
                                                                                "CName1=Pump",
                                                                                "CName2=",
                                                                                "CName3=Fan Room",
                                                                                "CName4=",
                                                                                "IPAdd1=192.168.0.20",
                                                                                "IPAdd2=",
                                                                                "IPAdd3=10.0.0.7",
                                                                                "IPAdd4=",
                                                                                "Port1=10000",
                                                                                "Port2=10001",
                                                                                "",
                                                                                "[Run]",
                                                                                "CPUDelay=60",
                                                                                "LogLevel=3",
                                                                                "LogName=TarnixM.log",
                                                                                "LogPath=Log\\",
                                                                                "RunOnTop=2",
                                                                                "StartDelay=2",
                                                                                "StartMin=1",
                                                                                "",
                                                                                "[Shutdown]",
                                                                                "ShutTime=60",
                                                                                "ShutType=5",
                                                                                ""}));
}

TEST(WriterLayout, SlaveFileLineByLine) {
    ConfigScreenValues v = SlaveScreen();
    v.Of("DName").flag = true;
    v.Of("IPAdd").text = "control.plant";
    v.Of("StartMin").flag = true;
    EXPECT_EQ(ConfigurationText(ProgramKind::Slave, v, SaveTime()), JoinLines({"# Tarnix Slave Version 4.2",
                                                                               "# Configuration File",
                                                                               "# 07-Dec-26 05:04:09",
                                                                               "",
                                                                               "[Comms]",
                                                                               "DName=2",
                                                                               "IPAdd=control.plant",
                                                                               "Port1=10000",
                                                                               "Port2=10001",
                                                                               "",
                                                                               "[Run]",
                                                                               "CPUDelay=60",
                                                                               "LogLevel=2",
                                                                               "LogName=TarnixS.log",
                                                                               "LogPath=Log\\",
                                                                               "RunOnTop=1",
                                                                               "StartDelay=2",
                                                                               "StartMin=2",
                                                                               "",
                                                                               "[Shutdown]",
                                                                               "ShutTime=60",
                                                                               "ShutType=1",
                                                                               ""}));
}

// The screen's number texts are written back as the number they read as.
TEST(WriterLayout, NumbersInPlainDecimal) {
    const struct {
        const char* typed;
        const char* written;
    } cases[] = {{"0060", "60"},
                 {"abc", "0"},
                 {"", "0"},
                 {"60.5", "60.5"},
                 {" 6 0 s", "60"},
                 {"-0", "0"},
                 {"1e3", "1000"},
                 {"-12", "-12"},
                 {"5.50", "5.5"},
                 {"0.1", "0.1"},
                 {"1e20", "100000000000000000000"}};
    for (const auto& c : cases) {
        ConfigScreenValues v = SlaveScreen();
        v.Of("CPUDelay").text = c.typed;
        const std::string text = ConfigurationText(ProgramKind::Slave, v, SaveTime());
        EXPECT_NE(text.find(std::string("\r\nCPUDelay=") + c.written + "\r\n"), std::string::npos) << c.typed;
    }
}

// Saved, read back and saved again, every field gives the same file.
TEST(WriterRoundTrip, EveryFieldReadsBackAsSaved) {
    ConfigScreenValues masterDomains = MasterScreen();
    masterDomains.Of("DName").flag = true;
    SetRow(masterDomains, "IPAdd", {"", "pump.plant", "boiler", "fan-room", ""});
    masterDomains.Of("CName2").text = "  Boiler"; // blanks after "=" belong to the value
    masterDomains.Of("RunOnTop").flag = masterDomains.Of("StartMin").flag = true;
    masterDomains.Of("LogLevel").code = 1;
    masterDomains.Of("ShutType").code = 4;
    ConfigScreenValues slaveDomain = SlaveScreen();
    slaveDomain.Of("DName").flag = true;
    slaveDomain.Of("IPAdd").text = "control.plant";
    slaveDomain.Of("Port1").text = "65532";
    slaveDomain.Of("StartDelay").text = "3600";
    slaveDomain.Of("LogPath").text = "/var/log/tarnix/";
    slaveDomain.Of("ShutType").code = 6;
    const std::pair<ProgramKind, ConfigScreenValues> cases[] = {{ProgramKind::Master, MasterScreen()},
                                                                {ProgramKind::Master, masterDomains},
                                                                {ProgramKind::Slave, SlaveScreen()},
                                                                {ProgramKind::Slave, slaveDomain}};
    for (const auto& [kind, values] : cases) {
        SCOPED_TRACE(ConfigurationText(kind, values, SaveTime()));
        TempFolder folder;
        WriteBytes(folder / "c.ini", "the slave replaces an existing file only");
        ASSERT_FALSE(WriteConfiguration(folder / "c.ini", kind, values, SaveTime()).box);
        const ReadBack r = ReadAndCheck(folder / "c.ini", kind);
        ASSERT_FALSE(r.readBox);
        ASSERT_FALSE(r.checkBox);
        EXPECT_FALSE(r.unconfigured);
        EXPECT_EQ(ConfigurationText(kind, ScreenValuesOf(kind, r.record), SaveTime()),
                  ConfigurationText(kind, values, SaveTime()));
    }
}

// A failed save must leave the file in force untouched, whatever stood in the way.
TEST(WriterAtomicity, OldFileSurvivesEveryFailedWrite) {
    const std::string old = "the configuration in force";
    {
        SCOPED_TRACE("a folder where the temporary file goes");
        TempFolder folder;
        WriteBytes(folder / "m.ini", old);
        std::filesystem::create_directory(TemporaryPathFor(folder / "m.ini"));
        const WriteOutcome out =
            WriteConfiguration(folder / "m.ini", ProgramKind::Master, MasterScreen(), SaveTime());
        ASSERT_TRUE(out.box);
        EXPECT_FALSE(out.terminate);
        EXPECT_EQ(ReadBytes(folder / "m.ini"), old);
        EXPECT_TRUE(std::filesystem::is_directory(TemporaryPathFor(folder / "m.ini")));
    }
    {
        SCOPED_TRACE("a folder where the file goes");
        TempFolder folder;
        std::filesystem::create_directory(folder / "m.ini");
        WriteBytes(folder / "m.ini" / "keep", old);
        const WriteOutcome out =
            WriteConfiguration(folder / "m.ini", ProgramKind::Master, MasterScreen(), SaveTime());
        ASSERT_TRUE(out.box);
        EXPECT_FALSE(out.terminate);
        EXPECT_EQ(ReadBytes(folder / "m.ini" / "keep"), old);
        EXPECT_FALSE(std::filesystem::exists(TemporaryPathFor(folder / "m.ini"))); // no debris left
    }
    {
        SCOPED_TRACE("a line break in a text would forge another line");
        TempFolder folder;
        WriteBytes(folder / "m.ini", old);
        ConfigScreenValues v = MasterScreen();
        v.Of("CName1").text = "Pump\r\nPort1=1";
        const WriteOutcome out = WriteConfiguration(folder / "m.ini", ProgramKind::Master, v, SaveTime());
        ASSERT_TRUE(out.box);
        EXPECT_FALSE(out.terminate);
        EXPECT_EQ(ReadBytes(folder / "m.ini"), old);
    }
    {
        SCOPED_TRACE("a number with no decimal form");
        TempFolder folder;
        WriteBytes(folder / "s.ini", old);
        ConfigScreenValues v = SlaveScreen();
        v.Of("ShutTime").text = "1e999";
        const WriteOutcome out = WriteConfiguration(folder / "s.ini", ProgramKind::Slave, v, SaveTime());
        ASSERT_TRUE(out.box);
        EXPECT_FALSE(out.terminate);
        EXPECT_EQ(ReadBytes(folder / "s.ini"), old);
    }
}

// A refused value is the user's to mend, so the box names it rather than the permissions.
TEST(WriterRefusal, NamesTheFieldAndWhatStandsInTheWay) {
    const struct {
        ProgramKind kind;
        std::function<void(ConfigScreenValues&)> edit;
        const char* first;
        const char* reason;
    } cases[] = {
        {ProgramKind::Master, [](auto& v) { v.Of("CName1").text = "abc\rIPAdd2=10.9.9.9"; },
         "Unable to write to the configuration file.", "CName1 contains the control character \\x0D."},
        {ProgramKind::Master, [](auto& v) { v.Of("IPAdd4").text = std::string("10.0.0.9\0", 9); },
         "Unable to write to the configuration file.", "IPAdd4 contains the control character \\x00."},
        {ProgramKind::Slave, [](auto& v) { v.Of("LogPath").text = "Log\xC2\x85\\"; },
         "Unable to write to the configuration file. TarnixS.ini",
         "LogPath contains the control character \\u0085."},
        {ProgramKind::Slave, [](auto& v) { v.Of("IPAdd").text = "host\x7F"; },
         "Unable to write to the configuration file. TarnixS.ini",
         "IPAdd contains the control character \\x7F."},
        {ProgramKind::Master, [](auto& v) { v.Of("StartDelay").text = "-1e999"; },
         "Unable to write to the configuration file.", "StartDelay is too large a number to be saved."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        TempFolder folder;
        WriteBytes(folder / "c.ini", "old");
        ConfigScreenValues v = c.kind == ProgramKind::Master ? MasterScreen() : SlaveScreen();
        c.edit(v);
        const WriteOutcome out = WriteConfiguration(folder / "c.ini", c.kind, v, SaveTime());
        ASSERT_TRUE(out.box);
        EXPECT_EQ(out.box->lines,
                  (std::vector<std::string>{c.first, c.reason, "The program will now terminate."}));
        EXPECT_FALSE(out.terminate);
        EXPECT_EQ(ReadBytes(folder / "c.ini"), "old");
    }
}

TEST(WriterAtomicity, ReplacesTheFileKeepingItsPermissionsAndLeavesNoTemporary) {
    TempFolder folder;
    const auto file = folder / "m.ini";
    WriteBytes(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    WriteBytes(TemporaryPathFor(file), "debris of an interrupted save");
    ASSERT_FALSE(WriteConfiguration(file, ProgramKind::Master, MasterScreen(), SaveTime()).box);
    EXPECT_EQ(ReadBytes(file), ConfigurationText(ProgramKind::Master, MasterScreen(), SaveTime()));
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read);
    EXPECT_FALSE(std::filesystem::exists(TemporaryPathFor(file)));
}

// ---- what the user set up around the file --------------------------------------------------

constexpr uid_t Nobody = 65534;
constexpr int CannotBecomeNobody = 77;

// Runs `save` in a child process, as uid 65534 when the tests run as root, since root may
// create files in any folder. Returns the child's exit code.
int ExitCodeAsNobody(const std::function<int()>& save) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0))
            ::_exit(CannotBecomeNobody);
        ::_exit(save());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(WriterSurroundings, ALinkStaysALinkAndItsTargetGetsTheText) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "Data");
    std::filesystem::create_directories(folder / "shared");
    WriteBytes(folder / "shared" / "m.ini", "old");
    std::filesystem::create_symlink("../shared/m.ini", folder / "Data" / "m.ini");
    ASSERT_FALSE(
        WriteConfiguration(folder / "Data" / "m.ini", ProgramKind::Master, MasterScreen(), SaveTime()).box);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "Data" / "m.ini"));
    EXPECT_EQ(ReadBytes(folder / "shared" / "m.ini"),
              ConfigurationText(ProgramKind::Master, MasterScreen(), SaveTime()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "shared"), {}), 1); // no debris
}

TEST(WriterSurroundings, TheFileKeepsItsOwnerAndGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    TempFolder folder;
    const auto file = folder / "m.ini";
    WriteBytes(file, "old");
    ASSERT_EQ(::chown(file.c_str(), Nobody, Nobody), 0);
    ASSERT_FALSE(WriteConfiguration(file, ProgramKind::Master, MasterScreen(), SaveTime()).box);
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, Nobody);
    EXPECT_EQ(status.st_gid, Nobody);
}

// A user who may write someone else's file saves it in place: replacing it would make the file
// his. A file of his own is still replaced whole.
TEST(WriterSurroundings, SomeoneElsesWritableFileStaysTheirs) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs a file of another user than the saver";
    TempFolder folder;
    const auto file = folder / "m.ini";
    const auto own = folder / "own.ini";
    WriteBytes(file, "old");
    WriteBytes(own, "old");
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chown(own.c_str(), Nobody, Nobody), 0);
    const int exitCode = ExitCodeAsNobody([&] {
        if (WriteConfiguration(file, ProgramKind::Master, MasterScreen(), SaveTime()).box) return 1;
        return WriteConfiguration(own, ProgramKind::Master, MasterScreen(), SaveTime()).box ? 2 : 0;
    });
    if (exitCode == CannotBecomeNobody) GTEST_SKIP() << "cannot run as uid 65534 here";
    EXPECT_EQ(exitCode, 0) << "1: the save of the shared file failed, 2: the save of its own failed";
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 0u);
    EXPECT_EQ(status.st_gid, 0u);
    EXPECT_EQ(ReadBytes(file), ConfigurationText(ProgramKind::Master, MasterScreen(), SaveTime()));
    EXPECT_EQ(ReadBytes(own), ConfigurationText(ProgramKind::Master, MasterScreen(), SaveTime()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2); // no debris
}

// A file the user may not write, in a folder where he may: the folder lets him replace it, and
// he does. The new file keeps the old one's permission bits, but it is his, since only root may
// give a file away.
TEST(WriterSurroundings, SomeoneElsesReadOnlyFileInAnOpenFolderIsReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs a file of another user than the saver";
    TempFolder folder;
    const auto file = folder / "m.ini";
    WriteBytes(file, "old");
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const int exitCode = ExitCodeAsNobody([&] {
        return WriteConfiguration(file, ProgramKind::Master, MasterScreen(), SaveTime()).box ? 1 : 0;
    });
    if (exitCode == CannotBecomeNobody) GTEST_SKIP() << "cannot run as uid 65534 here";
    EXPECT_EQ(exitCode, 0) << "the save failed";
    EXPECT_EQ(ReadBytes(file), ConfigurationText(ProgramKind::Master, MasterScreen(), SaveTime()));
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
    EXPECT_EQ(status.st_uid, Nobody);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1); // no debris
}

// A file the user may write, in a folder where he may create nothing: the save is written in
// place, and values that would not read back are still refused.
TEST(WriterSurroundings, AWritableFileInALockedFolderIsWrittenInPlace) {
    TempFolder folder;
    const auto locked = folder / "locked";
    const auto file = locked / "m.ini";
    std::filesystem::create_directory(locked);
    WriteBytes(file, "old");
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ConfigScreenValues refused = MasterScreen();
    refused.Of("CName1").text = "Pump\r\nPort1=1";
    const int exitCode = ExitCodeAsNobody([&] {
        if (!WriteConfiguration(file, ProgramKind::Master, refused, SaveTime()).box) return 1;
        if (ReadBytes(file) != "old") return 2;
        return WriteConfiguration(file, ProgramKind::Master, MasterScreen(), SaveTime()).box ? 3 : 0;
    });
    ::chmod(locked.c_str(), 0755); // lets the temporary folder be removed by a user who is not root
    if (exitCode == CannotBecomeNobody) GTEST_SKIP() << "cannot run as uid 65534 here";
    EXPECT_EQ(exitCode, 0) << "1: refused value saved, 2: file changed, 3: save failed";
    EXPECT_EQ(ReadBytes(file), ConfigurationText(ProgramKind::Master, MasterScreen(), SaveTime()));
}

TEST(WriterMissingFile, MasterCreatesItSlaveEnds) {
    TempFolder folder;
    EXPECT_FALSE(WriteConfiguration(folder / "m.ini", ProgramKind::Master, MasterScreen(), SaveTime()).box);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "m.ini"));

    const WriteOutcome slave =
        WriteConfiguration(folder / "s.ini", ProgramKind::Slave, SlaveScreen(), SaveTime());
    ASSERT_TRUE(slave.box);
    EXPECT_TRUE(slave.terminate);
    EXPECT_FALSE(std::filesystem::exists(folder / "s.ini"));

    // The vanished file ends the slave even when a value could not have been saved either.
    ConfigScreenValues refused = SlaveScreen();
    refused.Of("LogName").text = "Tarnix\r\nS.log";
    const WriteOutcome both = WriteConfiguration(folder / "s.ini", ProgramKind::Slave, refused, SaveTime());
    EXPECT_TRUE(both.terminate);
}

// The text with the third line (the date of the save) emptied.
std::string WithoutDateLine(std::string text) {
    const std::size_t second = text.find("\r\n", text.find("\r\n") + 2);
    const std::size_t third = second == std::string::npos ? second : text.find("\r\n", second + 2);
    if (third == std::string::npos) return "fewer than three lines: " + text;
    return text.erase(second + 2, third - second - 2);
}

// The files installed with the programs start them unconfigured, asking to be set up, and are
// laid out exactly as the writer would save them.
TEST(ShippedFiles, PassTheReaderAndTheCheckAndMatchTheWriter) {
    for (const ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave}) {
        const auto file = std::filesystem::path(TARNIX_SOURCE_DIR) / "dist" / ConfigFileName(kind);
        SCOPED_TRACE(file.string());
        const ReadBack r = ReadAndCheck(file, kind);
        ASSERT_FALSE(r.readBox);
        ASSERT_FALSE(r.checkBox);
        EXPECT_TRUE(r.unconfigured);

        const ConfigScreenValues v = ScreenValuesOf(kind, r.record);
        EXPECT_EQ(WithoutDateLine(ReadBytes(file)), WithoutDateLine(ConfigurationText(kind, v, SaveTime())));
    }
}

TEST(ShippedFiles, PairTheMasterWithItsFirstSlave) {
    ConfigRecord master, slave;
    std::string configText;
    const auto dist = std::filesystem::path(TARNIX_SOURCE_DIR) / "dist";
    ASSERT_FALSE(ReadConfiguration(dist / ConfigFileName(ProgramKind::Master), ProgramKind::Master, master,
                                   configText));
    ASSERT_FALSE(
        ReadConfiguration(dist / ConfigFileName(ProgramKind::Slave), ProgramKind::Slave, slave, configText));
    EXPECT_EQ(master.Port1, slave.Port2); // the master sends to where the slave listens
    EXPECT_EQ(slave.Port1, master.Port2); // and the slave answers where the master listens
}

} // namespace
} // namespace tarnix
