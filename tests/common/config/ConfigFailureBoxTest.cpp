#include <functional>
#include <gtest/gtest.h>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigTestSupport.h"

namespace tarnix {
namespace {

using namespace config_test;

const char* const Terminate = "The program will now terminate.";
const char* const Reinstall = "Reinstall the program to restore the file.";

const BoxText missing{" Configuration File Error",
                      BoxIcon::Error,
                      {"The configuration file is either missing or corrupted.", Reinstall, Terminate}};
const BoxText corrupted{" Configuration File Error",
                        BoxIcon::Error,
                        {"The configuration file is corrupted.", Reinstall, Terminate}};
const BoxText range{" Configuration File Error",
                    BoxIcon::Error,
                    {"The configuration file is missing or corrupted.", Reinstall, Terminate}};
const std::vector<std::string> unreadableLines{"Unable to read the configuration file. ",
                                               "This may be a permissions problem.", Terminate};

std::optional<BoxText> Read(ProgramKind kind, const std::string& bytes) {
    TempFolder folder;
    WriteBytes(folder / "c.ini", bytes);
    ConfigRecord record;
    std::string configText;
    return ReadConfiguration(folder / "c.ini", kind, record, configText);
}

std::string MasterWith(const std::string& from, const std::string& to) {
    auto lines = MasterLines();
    for (auto& line : lines)
        if (line == from) line = to;
    return JoinLines(lines);
}

struct FailureCase {
    const char* name;
    std::function<std::optional<BoxText>()> provoke;
    BoxText expected;
    bool namesTheFault = false; // a start-up box adds a line saying what is wrong (see the reader tests)
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FailureBoxes : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureBoxes, CarryTheirExactTitleIconAndLines) {
    std::optional<BoxText> box = GetParam().provoke();
    if (GetParam().namesTheFault) {
        ASSERT_TRUE(box);
        ASSERT_EQ(box->lines.size(), GetParam().expected.lines.size() + 1) << box->Message();
        box->lines.erase(box->lines.end() - 2); // the designed lines stay, the last one still last
    }
    EXPECT_EQ(box, GetParam().expected);
}

const FailureCase failureCases[] = {
    {"MissingFile",
     [] {
         TempFolder folder;
         ConfigRecord record;
         std::string configText;
         return ReadConfiguration(folder / "none.ini", ProgramKind::Slave, record, configText);
     },
     missing, true},
    {"FolderInPlaceOfFile",
     [] {
         TempFolder folder;
         ConfigRecord record;
         std::string configText;
         return ReadConfiguration(folder.Path(), ProgramKind::Master, record, configText);
     },
     missing, true},
    {"Corrupted", [] { return Read(ProgramKind::Master, MasterWith("[Run]", "")); }, corrupted, true},
    {"EmptyFile", [] { return Read(ProgramKind::Slave, ""); }, corrupted, true},
    {"MasterUnreadable",
     [] { return Read(ProgramKind::Master, MasterWith("ShutTime=60", "ShutTime=40000")); },
     {" Configuration File Error", BoxIcon::Warning, unreadableLines},
     true},
    {"SlaveUnreadable",
     [] { return Read(ProgramKind::Slave, "LogLevel=-1e6\r\n"); },
     {" Configuration File Read Error", BoxIcon::Warning, unreadableLines},
     true},
    {"OutOfRange",
     [] {
         ConfigRecord record;
         bool unconfigured = false;
         return ValidateConfiguration(ProgramKind::Master, record, unconfigured);
     },
     range, true},
    {"MasterCannotWrite",
     [] {
         TempFolder folder;
         return WriteConfiguration(folder / "no folder" / "m.ini", ProgramKind::Master, {}, {}).box;
     },
     {" Configuration File Error",
      BoxIcon::Warning,
      {"Unable to write to the configuration file.", "This may be a permissions problem.", Terminate}}},
    {"SlaveCannotWrite",
     [] {
         TempFolder folder;
         WriteBytes(folder / "s.ini", "old");
         std::filesystem::create_directory(folder / "s.ini.tmp");
         return WriteConfiguration(folder / "s.ini", ProgramKind::Slave, {}, {}).box;
     },
     {" Configuration File Error",
      BoxIcon::Warning,
      {"Unable to write to the configuration file. TarnixS.ini", "This may be a permissions problem.",
       Terminate}}},
    {"SlaveFileGoneAtSave",
     [] {
         TempFolder folder;
         return WriteConfiguration(folder / "s.ini", ProgramKind::Slave, {}, {}).box;
     },
     missing},
};

INSTANTIATE_TEST_SUITE_P(Cases, FailureBoxes, ::testing::ValuesIn(failureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigNames, FilesTitlesAndStoredPaths) {
    EXPECT_EQ(ConfigFileName(ProgramKind::Master), std::filesystem::path("Data/TarnixM.ini"));
    EXPECT_EQ(ConfigFileName(ProgramKind::Slave), std::filesystem::path("Data/TarnixS.ini"));
    EXPECT_EQ(ProgramTitleOf(ProgramKind::Master), "Tarnix");
    EXPECT_EQ(ProgramTitleOf(ProgramKind::Slave), "Tarnix Slave");
    EXPECT_EQ(StoredPathToNative("Log\\"), std::filesystem::path("Log/"));
    EXPECT_EQ(StoredPathToNative("..\\logs\\tarnix\\"), std::filesystem::path("../logs/tarnix/"));
    EXPECT_EQ(StoredPathToNative("/var/log/tarnix/"), std::filesystem::path("/var/log/tarnix/"));
}

} // namespace
} // namespace tarnix
