#include <functional>
#include <gtest/gtest.h>

#include "common/ConfigFile.h"
#include "tests/common/ConfigTestSupport.h"

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
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FailureBoxes : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureBoxes, CarryTheirExactTitleIconAndLines) {
    EXPECT_EQ(GetParam().provoke(), GetParam().expected);
}

const FailureCase failureCases[] = {
    {"MissingFile",
     [] {
         TempFolder folder;
         ConfigRecord record;
         std::string configText;
         return ReadConfiguration(folder / "none.ini", ProgramKind::Slave, record, configText);
     },
     missing},
    {"FolderInPlaceOfFile",
     [] {
         TempFolder folder;
         ConfigRecord record;
         std::string configText;
         return ReadConfiguration(folder.Path(), ProgramKind::Master, record, configText);
     },
     missing},
    {"Corrupted", [] { return Read(ProgramKind::Master, MasterWith("[Run]", "")); }, corrupted},
    {"EmptyFile", [] { return Read(ProgramKind::Slave, ""); }, corrupted},
    {"MasterUnreadable",
     [] { return Read(ProgramKind::Master, MasterWith("ShutTime=60", "ShutTime=40000")); },
     {" Configuration File Error", BoxIcon::Warning, unreadableLines}},
    {"SlaveUnreadable",
     [] { return Read(ProgramKind::Slave, "LogLevel=-1e6\r\n"); },
     {" Configuration File Read Error", BoxIcon::Warning, unreadableLines}},
    {"OutOfRange",
     [] {
         ConfigRecord record;
         bool unconfigured = false;
         return ValidateConfiguration(ProgramKind::Master, record, unconfigured);
     },
     range},
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
