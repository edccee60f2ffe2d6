#include "common/log/LogFile.h"
#include "common/log/RunningLog.h"

#include <gtest/gtest.h>

#include "support/FixedClock.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnix {

// Readable failure output; internal linkage so other test files may print boxes their own way.
[[maybe_unused]] static void PrintTo(const BoxText& box, std::ostream* out) {
    *out << '"' << box.titleSuffix << "\" icon " << static_cast<int>(box.icon) << " \"" << box.Message()
         << '"';
}

namespace {

namespace fs = std::filesystem;

// ---- line layout ----------------------------------------------------------------------------

const std::string Stamp = "07-Dec-26 05:04:29";

struct LineCase {
    const char* name;
    std::string event;
    std::string detail;
    bool fullLevel;
    LogLineState state;
    std::string expected;
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

class LogLineLayout : public testing::TestWithParam<LineCase> {};

TEST_P(LogLineLayout, MatchesLiteralLine) {
    const LineCase& c = GetParam();
    EXPECT_EQ(FormatLogLine(Stamp, c.event, c.detail, c.fullLevel, c.state), c.expected);
}

const LogLineState Plain{false, 0, "2, 2, 0, 0"};
const LogLineState Testing{true, 0, ""};

INSTANTIATE_TEST_SUITE_P(
    Lines, LogLineLayout,
    testing::Values(LineCase{"NormalStart", "Start", "Initialise", false, Plain,
                             "07-Dec-26 05:04:29,  Start    , Initialise"},
                    LineCase{"NormalPadsDetail", "Enter", "Run", false, Plain,
                             "07-Dec-26 05:04:29,  Enter    , Run       "},
                    LineCase{"TestRunMark", "Enter", "Test", false, Testing,
                             "07-Dec-26 05:04:29, *Enter    , Test      "},
                    LineCase{"FullWithPeers",
                             "Run",
                             "",
                             true,
                             {false, 0, "2, 2, 0, 0"},
                             "07-Dec-26 05:04:29,  Run      ,           , Count:   0, Comms: 2, 2, 0, 0"},
                    LineCase{"FullNoNetwork",
                             "Run",
                             "",
                             true,
                             {false, 3, "No Network"},
                             "07-Dec-26 05:04:29,  Run      ,           , Count:   3, Comms: No Network"},
                    LineCase{"SlaveComms",
                             "Inactive",
                             "",
                             true,
                             {false, 17, "-OK-"},
                             "07-Dec-26 05:04:29,  Inactive ,           , Count:  17, Comms: -OK-"},
                    LineCase{"DashesKeepNine", "----------", "----------", false, Plain,
                             "07-Dec-26 05:04:29,  ---------, ----------"},
                    LineCase{"NineLettersFitWithMark", "Hibernate", "Simulate", false, Testing,
                             "07-Dec-26 05:04:29, *Hibernate, Simulate  "},
                    LineCase{"LongDetailCut", "Reset", "Power Off and more", false, Plain,
                             "07-Dec-26 05:04:29,  Reset    , Power Off "},
                    LineCase{"NegativeCounter",
                             "Power Off",
                             "",
                             true,
                             {false, -5, "0, 0, 0, 0"},
                             "07-Dec-26 05:04:29,  Power Off,           , Count:  -5, Comms: 0, 0, 0, 0"},
                    LineCase{"WideCounterKeepsLastFour",
                             "Inactive",
                             "",
                             true,
                             {false, 12345, "...."},
                             "07-Dec-26 05:04:29,  Inactive ,           , Count:2345, Comms: ...."},
                    LineCase{"WideNegativeKeepsLastFour",
                             "Inactive",
                             "",
                             true,
                             {false, -1234, "...."},
                             "07-Dec-26 05:04:29,  Inactive ,           , Count:1234, Comms: ...."},
                    LineCase{"BareLineNormal", "", "", false, Plain, "\r\n"},
                    LineCase{"BareLineHasNoSuffixOrMark", "", "", true, {true, 5, "Fail"}, "\r\n"}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(MasterCommsText, JoinsComputersOneToFourOrSaysNoNetwork) {
    const std::array<std::int16_t, 5> peers{9, 2, 0, 1, -1}; // entry 0 is this computer, never listed
    EXPECT_EQ(MasterCommsText(peers, true), "2, 0, 1, -1");
    EXPECT_EQ(MasterCommsText(peers, false), "No Network");
}

// ---- files ------------------------------------------------------------------------------------

const std::string Creation = "\r\nVersion 4.2\r\nFile Created\r\n07-Dec-26 05:04:29\r\n";
const std::string ConfigText = "\r\nConfiguration\r\n-------------\r\n\r\n[Run]\r\nLogLevel=3";

std::string Title(ProgramKind kind) {
    return kind == ProgramKind::Master ? "Tarnix" : "Tarnix Slave";
}

class LogFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarnix-log-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "Log");
        config_.LogLevel = 2;
        config_.LogPath = root_.string() + "/Log\\"; // the stored form, read with "\" as "/"
        config_.LogName = "TarnixM.log";
    }
    void TearDown() override { fs::remove_all(root_); }

    LogFile Log(ProgramKind kind = ProgramKind::Master) const { return LogFile(kind, config_, clock_); }
    fs::path File() const { return root_ / "Log" / config_.LogName; }
    std::string Contents() const {
        std::ifstream in(File(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root_;
    ConfigRecord config_;
    FixedClock clock_;
};

TEST_F(LogFileTest, PathJoinsFolderAndNameWithBackslashesAsSlashes) {
    config_.LogPath = "Log\\Sub\\";
    EXPECT_EQ(Log().LogFilePath(), fs::path("Log/Sub/TarnixM.log"));
}

TEST_F(LogFileTest, FreshFileAtNormalLevelForBothPrograms) {
    for (ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave}) {
        SCOPED_TRACE(Title(kind));
        fs::remove(File());
        const LogFile log = Log(kind);
        EXPECT_EQ(log.CreateLogFile(), std::nullopt);
        EXPECT_EQ(log.WriteLogLine("", "", {}), std::nullopt);
        EXPECT_EQ(log.WriteLogHeader(0, ConfigText), std::nullopt);
        EXPECT_EQ(log.WriteLogLine("Start", "Initialise", {}), std::nullopt);
        const std::string title = Title(kind);
        EXPECT_EQ(Contents(), title + Creation + "\r\n\r\n" + title + "\r\nVersion 4.2\r\n\r\n" +
                                  "07-Dec-26 05:04:29,  Start    , Initialise\r\n");
    }
}

TEST_F(LogFileTest, FullLevelHeadersCarryTheConfiguration) {
    config_.LogLevel = 3;
    const LogFile log = Log();
    ASSERT_EQ(log.CreateLogFile(), std::nullopt);
    EXPECT_EQ(log.WriteLogHeader(0, ConfigText), std::nullopt);
    EXPECT_EQ(log.WriteLogLine("Config", "Updated", {false, 0, "No Network"}), std::nullopt);
    EXPECT_EQ(log.WriteLogHeader(1, ConfigText), std::nullopt);
    EXPECT_EQ(Contents(), "Tarnix" + Creation +
                              "Tarnix\r\nVersion 4.2\r\n"
                              "\r\nConfiguration\r\n-------------\r\n\r\n[Run]\r\nLogLevel=3\r\n\r\n"
                              "07-Dec-26 05:04:29,  Config   , Updated   , Count:   0, Comms: No Network\r\n"
                              "\r\n\r\nConfiguration\r\n-------------\r\n\r\n[Run]\r\nLogLevel=3\r\n\r\n");
}

TEST_F(LogFileTest, ExistingFileIsKeptAndAppendedTo) {
    std::ofstream(File(), std::ios::binary) << "older runs\r\n";
    const LogFile log = Log();
    EXPECT_EQ(log.CreateLogFile(), std::nullopt);
    EXPECT_EQ(log.WriteLogLine("Exit", "Run", {}), std::nullopt);
    EXPECT_EQ(Contents(), "older runs\r\n07-Dec-26 05:04:29,  Exit     , Run       \r\n");
}

TEST_F(LogFileTest, ChangedPathGoesToTheNewFileAndLeavesTheOldOne) {
    const LogFile log = Log();
    ASSERT_EQ(log.CreateLogFile(), std::nullopt);
    const std::string before = Contents();
    fs::create_directory(root_ / "Other");
    config_.LogPath = (root_ / "Other").string() + "\\";
    config_.LogName = "Renamed.log";
    EXPECT_EQ(log.CreateLogFile(), std::nullopt);
    EXPECT_EQ(log.WriteLogLine("Config", "Updated", {}), std::nullopt);
    std::ifstream in(root_ / "Other" / "Renamed.log", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "Tarnix" + Creation + "07-Dec-26 05:04:29,  Config   , Updated   \r\n");
    config_.LogPath = root_.string() + "/Log\\";
    config_.LogName = "TarnixM.log";
    EXPECT_EQ(Contents(), before);
}

TEST_F(LogFileTest, LevelNoneCreatesNothingEvenWithoutAFolder) {
    config_.LogLevel = 1;
    fs::remove(root_ / "Log");
    const LogFile log = Log();
    EXPECT_EQ(log.CreateLogFile(), std::nullopt);
    EXPECT_EQ(log.WriteLogHeader(0, ConfigText), std::nullopt);
    EXPECT_TRUE(fs::is_empty(root_));
}

// ---- failures -------------------------------------------------------------------------------

enum class Setup { NoFolder, FolderAtFile, DeletedFile };
enum class Operation { Create, Header, Line };

struct FailureCase {
    const char* name;
    ProgramKind kind;
    Setup setup;
    Operation operation;
    FatalError expected;
};

const std::string End = "The program will now terminate.";
const FatalError HeaderFolderBox{
    " Log Directory Error",
    BoxIcon::Warning,
    {"The log directory does not exist. This", "directory must be created manually if",
     "it is not the default one. To restore", "the default log directory reinstall", "the program.", End}};
const FatalError SlaveCreateFolderBox{
    " Log Directory Error",
    BoxIcon::Warning,
    {"The log file directory does not exist.", "This directory must be created manually",
     "if it is not the default one. To restore", "the default log directory reinstall", "the program.", End}};
const FatalError LineFolderBox{
    " Log Directory Error",
    BoxIcon::Warning,
    {"The log directory is either missing or", "corrupted or there could be a permission problem.",
     "This directory must be created manually", "if it is not the default one. To restore",
     "the default log directory reinstall", "the program.", End}};
const FatalError MissingFileBox{" Log File Error",
                                BoxIcon::Warning,
                                {"The log file is either missing or", "corrupted. Delete the log file if",
                                 "it exists and restart the program.", End}};
const FatalError CreateBox{
    " Log File Error",
    BoxIcon::Warning,
    {"Unable to create the log file TarnixM.log.", "This may be a permissions problem.", End}};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class LogFileFailure : public LogFileTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(LogFileFailure, ReturnsTheBoxAndLeavesNoFile) {
    const FailureCase& c = GetParam();
    config_.LogLevel = 3;
    if (c.setup == Setup::NoFolder) fs::remove(root_ / "Log");
    if (c.setup == Setup::FolderAtFile) fs::create_directory(File());
    const LogFile log = Log(c.kind);
    if (c.setup == Setup::DeletedFile) {
        ASSERT_EQ(log.CreateLogFile(), std::nullopt);
        fs::remove(File());
    }
    std::optional<FatalError> result;
    switch (c.operation) {
    case Operation::Create:
        result = log.CreateLogFile();
        break;
    case Operation::Header:
        result = log.WriteLogHeader(0, ConfigText);
        break;
    case Operation::Line:
        result = log.WriteLogLine("Run", "", {});
        break;
    }
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(fs::is_regular_file(File()), false);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, LogFileFailure,
    testing::Values(FailureCase{"MasterCreateNoFolder", ProgramKind::Master, Setup::NoFolder,
                                Operation::Create, HeaderFolderBox},
                    FailureCase{"SlaveCreateNoFolder", ProgramKind::Slave, Setup::NoFolder, Operation::Create,
                                SlaveCreateFolderBox},
                    FailureCase{"SlaveHeaderNoFolder", ProgramKind::Slave, Setup::NoFolder, Operation::Header,
                                HeaderFolderBox},
                    FailureCase{"LineNoFolder", ProgramKind::Master, Setup::NoFolder, Operation::Line,
                                LineFolderBox},
                    FailureCase{"CreateFolderAtFile", ProgramKind::Master, Setup::FolderAtFile,
                                Operation::Create, CreateBox},
                    FailureCase{"HeaderFolderAtFile", ProgramKind::Slave, Setup::FolderAtFile,
                                Operation::Header, MissingFileBox},
                    FailureCase{"LineFolderAtFile", ProgramKind::Master, Setup::FolderAtFile, Operation::Line,
                                MissingFileBox},
                    FailureCase{"HeaderDeletedFile", ProgramKind::Master, Setup::DeletedFile,
                                Operation::Header, MissingFileBox},
                    FailureCase{"LineDeletedFile", ProgramKind::Slave, Setup::DeletedFile, Operation::Line,
                                MissingFileBox}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// A device at the log path, here one that would take no bytes, gives the write box.
TEST_F(LogFileTest, ADeviceAtTheLogPathGivesTheWriteBox) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    config_.LogPath = "/dev/";
    config_.LogName = "full";
    const FatalError writeBox{
        " Log File Write Error",
        BoxIcon::Warning,
        {"Unable to write to the log file full.", "This may be a permissions problem.", End}};
    EXPECT_EQ(Log().WriteLogLine("Run", "", {}), writeBox);
    EXPECT_EQ(Log().WriteLogHeader(0, ConfigText), writeBox);
}

// Only a regular file is a log. A named pipe would block the open until something read it, so
// each operation runs on its own thread; should one block, opening the reading end releases it
// and the test fails instead of hanging.
TEST_F(LogFileTest, ANamedPipeIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(File().c_str(), 0666), 0);
    const auto withoutWaiting = [&](const std::function<std::optional<FatalError>()>& operation) {
        auto result = std::async(std::launch::async, operation);
        if (result.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return result.get();
        ADD_FAILURE() << "blocked on the named pipe";
        const int reader = ::open(File().c_str(), O_RDONLY | O_NONBLOCK);
        const auto released = result.get();
        ::close(reader);
        return released;
    };
    const FatalError writeBox{
        " Log File Write Error",
        BoxIcon::Warning,
        {"Unable to write to the log file TarnixM.log.", "This may be a permissions problem.", End}};
    const LogFile log = Log();
    EXPECT_EQ(withoutWaiting([&] { return log.CreateLogFile(); }), CreateBox);
    EXPECT_EQ(withoutWaiting([&] { return log.WriteLogHeader(0, ConfigText); }), writeBox);
    EXPECT_EQ(withoutWaiting([&] { return log.WriteLogLine("Run", "", {}); }), writeBox);

    // With a reader the pipe opens, and is still no log: the reader gets nothing.
    const int reader = ::open(File().c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(log.CreateLogFile(), CreateBox);
    EXPECT_EQ(log.WriteLogHeader(0, ConfigText), writeBox);
    EXPECT_EQ(log.WriteLogLine("Run", "", {}), writeBox);
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "written to the pipe";
    ::close(reader);
}

TEST_F(LogFileTest, ALinkToARegularLogIsWrittenThrough) {
    std::ofstream(root_ / "elsewhere.log", std::ios::binary) << "older runs\r\n";
    fs::create_symlink(root_ / "elsewhere.log", File());
    const LogFile log = Log();
    EXPECT_EQ(log.CreateLogFile(), std::nullopt);
    EXPECT_EQ(log.WriteLogLine("Exit", "Run", {}), std::nullopt);
    EXPECT_EQ(Contents(), "older runs\r\n07-Dec-26 05:04:29,  Exit     , Run       \r\n");
}

// On a full disk the box says so, and a line that no longer fits is not left torn in the file.
// The disk is a tmpfs of a few pages in a mount namespace of a child process, so nothing outside
// the test sees it; the child reports the box's second line and whether the file kept its bytes.
TEST_F(LogFileTest, AFullDiskSaysSoAndLeavesNoTornLine) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        std::string result = "no tmpfs";
        if (::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount("tarnix-full", (root_ / "Log").c_str(), "tmpfs", 0, "size=16k") == 0) {
            const LogFile log = Log();
            (void)log.CreateLogFile();
            // The log ends a few bytes before a page boundary, and the rest of the disk is taken.
            std::ofstream(File(), std::ios::binary | std::ios::app)
                << std::string(4096 - 10 - fs::file_size(File()), 'x');
            std::ofstream(root_ / "Log" / "filler", std::ios::binary) << std::string(64 * 1024, 'f');
            const auto sizeBefore = fs::file_size(File());
            const auto error = log.WriteLogLine("Run", "", {});
            result = (error && error->lines.size() > 1 ? error->lines[1] : "written") + "|" +
                     (fs::file_size(File()) == sizeBefore ? "kept" : "torn");
        }
        (void)!::write(report[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string result(256, '\0');
    const ssize_t got = ::read(report[0], result.data(), result.size());
    ::close(report[0]);
    ::waitpid(child, nullptr, 0);
    result.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (result == "no tmpfs") GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(result, "The disk is full.|kept");
}

// While the log is lost, lines are kept up to a limit; the rest are counted, and when the log
// works again the kept lines go in, then how many were dropped and for how long it was lost.
TEST_F(LogFileTest, ARunningLogKeepsWhatItCannotWriteAndSaysHowLongItWasLost) {
    const LogFile log = Log();
    ASSERT_EQ(log.CreateLogFile(), std::nullopt);
    RunningLog running(log, clock_);
    fs::remove(File());
    fs::create_directory(File());
    EXPECT_NE(running.Append(log.FormatLine("Reset", "Run", {})), std::nullopt)
        << "the first failure is told";
    for (std::size_t i = 1; i < RunningLog::KeptLinesLimit + 3; ++i)
        EXPECT_EQ(running.Append(log.FormatLine("Start", std::to_string(i), {})), std::nullopt);
    clock_.Advance(3661);
    running.RetryKeptLines({});
    EXPECT_TRUE(running.Lost()) << "still a folder there";
    fs::remove(File());
    running.RetryKeptLines({});
    EXPECT_FALSE(running.Lost());
    const std::string text = Contents();
    EXPECT_NE(text.find(",  Reset    , Run       \r\n"), std::string::npos);
    EXPECT_NE(text.find(",  Start    , 999       \r\n"), std::string::npos);
    EXPECT_EQ(text.find(",  Start    , 1000      "), std::string::npos);
    const std::string closing = "07-Dec-26 06:05:30,  Log Drop , 3 lines   \r\n"
                                "07-Dec-26 06:05:30,  Log Lost , 3661s     \r\n";
    ASSERT_GE(text.size(), closing.size());
    EXPECT_EQ(text.substr(text.size() - closing.size()), closing);
    EXPECT_EQ(running.Append(log.FormatLine("Exit", "Run", {})), std::nullopt);
}

} // namespace
} // namespace tarnix
