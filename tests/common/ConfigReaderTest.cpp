#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "common/ConfigFile.h"
#include "tests/common/ConfigTestSupport.h"

namespace tarnix {
namespace {

using namespace config_test;
using Lines = std::vector<std::string>;

enum class Outcome { Accepted, Corrupted, Unreadable };

void Replace(Lines& lines, const std::string& from, const std::string& to) {
    auto it = std::find(lines.begin(), lines.end(), from);
    ASSERT_NE(it, lines.end()) << from;
    *it = to;
}
void Remove(Lines& lines, const std::string& line) {
    auto it = std::find(lines.begin(), lines.end(), line);
    ASSERT_NE(it, lines.end()) << line;
    lines.erase(it);
}

Outcome OutcomeOf(const std::optional<FatalError>& box) {
    if (!box) return Outcome::Accepted;
    return box->lines.front() == "The configuration file is corrupted." ? Outcome::Corrupted
                                                                        : Outcome::Unreadable;
}

struct ReadCase {
    const char* name;
    ProgramKind kind;
    std::function<void(Lines&)> edit;
    Outcome outcome;
    std::function<void(const ConfigRecord&)> check = [](const ConfigRecord&) {};
    const char* lineEnd = "\r\n";
    const char* lastLineEnd = nullptr; // another end for the last line than lineEnd
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReaderAcceptance : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReaderAcceptance, ReadsOrRejectsAsTheRulesSay) {
    const ReadCase& c = GetParam();
    Lines lines = c.kind == ProgramKind::Master ? MasterLines() : SlaveLines();
    c.edit(lines);
    TempFolder folder;
    std::string text = JoinLines(lines, c.lineEnd);
    if (c.lastLineEnd)
        text.replace(text.size() - std::string_view(c.lineEnd).size(), std::string::npos, c.lastLineEnd);
    WriteBytes(folder / "x.ini", text);
    ConfigRecord record;
    record.Port2 = 4321; // stands for a value left from an earlier read
    std::string configText;
    const auto box = ReadConfiguration(folder / "x.ini", c.kind, record, configText);
    EXPECT_EQ(OutcomeOf(box), c.outcome) << (box ? box->lines.front() : "accepted");
    if (c.outcome == Outcome::Accepted) c.check(record);
}

const ReadCase readCases[] = {
    {"WholeMasterFile", ProgramKind::Master, [](Lines&) {}, Outcome::Accepted,
     [](const ConfigRecord& r) {
         EXPECT_EQ(r.DName, 1);
         EXPECT_EQ(r.CName[0], "Control");
         EXPECT_EQ(r.CName[1], "Pump");
         EXPECT_EQ(r.IPAdd[1], "192.168.0.20");
         EXPECT_EQ(r.Port1, 10000);
         EXPECT_EQ(r.Port2, 10001);
         EXPECT_EQ(r.LogName, "TarnixM.log");
         EXPECT_EQ(r.LogPath, "Log\\");
         EXPECT_EQ(r.StartDelay, 2);
         EXPECT_EQ(r.ShutType, 1);
     }},
    {"WholeSlaveFile", ProgramKind::Slave, [](Lines&) {}, Outcome::Accepted,
     [](const ConfigRecord& r) {
         EXPECT_EQ(r.MasterAddress(), "10.0.0.5");
         EXPECT_EQ(r.Port1, 10001);
         EXPECT_EQ(r.LogName, "TarnixS.log");
     }},
    {"LfLineEnds", ProgramKind::Slave, [](Lines&) {}, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.LogPath, "Log\\"); }, "\n"},
    {"LastLineWithoutLineEnd", ProgramKind::Slave, [](Lines& l) { l.pop_back(); }, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.ShutType, 1); }, "\r\n", ""},
    {"LastLineEndingInCarriageReturnOnly", ProgramKind::Slave, [](Lines& l) { l.pop_back(); },
     Outcome::Accepted, [](const ConfigRecord& r) { EXPECT_EQ(r.ShutType, 1); }, "\r\n", "\r"},
    {"KeysInAnyOrderUnderAnySection", ProgramKind::Master, [](Lines& l) { std::reverse(l.begin(), l.end()); },
     Outcome::Accepted, [](const ConfigRecord& r) { EXPECT_EQ(r.CPUDelay, 60); }},
    {"UnknownLinesIgnored", ProgramKind::Slave,
     [](Lines& l) {
         l.insert(l.begin() + 6, "Colour=blue");
         l.insert(l.begin() + 7, "[Extra]");
         l.insert(l.begin() + 8, "   # indented, so not a comment");
     },
     Outcome::Accepted},
    {"SectionLineMissing", ProgramKind::Master, [](Lines& l) { Remove(l, "[Run]"); }, Outcome::Corrupted},
    {"SectionRepeatedAndAnotherMissing", ProgramKind::Master,
     [](Lines& l) { Replace(l, "[Run]", "[Comms]"); }, Outcome::Accepted},
    {"KeyMissing", ProgramKind::Slave, [](Lines& l) { Remove(l, "StartMin=1"); }, Outcome::Corrupted},
    {"KeyRepeated", ProgramKind::Slave, [](Lines& l) { l.push_back("StartMin=2"); }, Outcome::Corrupted},
    {"RepeatedKeyStandsInForMissingOne", ProgramKind::Master,
     [](Lines& l) { Replace(l, "Port2=10001", "Port1=2000"); }, Outcome::Accepted,
     [](const ConfigRecord& r) {
         EXPECT_EQ(r.Port1, 2000); // the later value wins
         EXPECT_EQ(r.Port2, 4321); // never read, keeps what it held
     }},
    {"BlanksAroundKeyLineTrimmed", ProgramKind::Master,
     [](Lines& l) { Replace(l, "LogName=TarnixM.log", "   LogName=a b.log   "); }, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.LogName, "a b.log"); }},
    {"BlanksAfterEqualsStayInText", ProgramKind::Master,
     [](Lines& l) { Replace(l, "CName1=Pump", "CName1=  Pump"); }, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.CName[1], "  Pump"); }},
    {"BlankBeforeEqualsIsNoKey", ProgramKind::Slave, [](Lines& l) { Replace(l, "DName=1", "DName =1"); },
     Outcome::Corrupted},
    {"TabIsNotTrimmed", ProgramKind::Slave, [](Lines& l) { Replace(l, "DName=1", "\tDName=1"); },
     Outcome::Corrupted},
    {"KeysAreCaseSensitive", ProgramKind::Slave, [](Lines& l) { Replace(l, "DName=1", "dname=1"); },
     Outcome::Corrupted},
    {"MasterKeyMeansNothingToSlave", ProgramKind::Slave,
     [](Lines& l) { Replace(l, "IPAdd=10.0.0.5", "IPAdd1=10.0.0.5"); }, Outcome::Corrupted},
    {"NumberFollowedByText", ProgramKind::Master,
     [](Lines& l) { Replace(l, "CPUDelay=60", "CPUDelay=60 s"); }, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.CPUDelay, 60); }},
    {"NumberWithInnerBlanksAndFraction", ProgramKind::Master,
     [](Lines& l) { Replace(l, "ShutTime=60", "ShutTime= 1 2.5"); }, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.ShutTime, 12); }}, // 12.5 rounds to the even 12
    {"LettersReadAsZero", ProgramKind::Master, [](Lines& l) { Replace(l, "CPUDelay=60", "CPUDelay=abc"); },
     Outcome::Accepted, [](const ConfigRecord& r) { EXPECT_EQ(r.CPUDelay, 0); }},
    {"NumberTooLargeFor16Bits", ProgramKind::Master,
     [](Lines& l) { Replace(l, "CPUDelay=60", "CPUDelay=70000"); }, Outcome::Unreadable},
    {"PortTakes32Bits", ProgramKind::Slave, [](Lines& l) { Replace(l, "Port1=10001", "Port1=70000"); },
     Outcome::Accepted, [](const ConfigRecord& r) { EXPECT_EQ(r.Port1, 70000); }},
    {"PortTooLargeFor32Bits", ProgramKind::Slave, [](Lines& l) { Replace(l, "Port1=10001", "Port1=1e10"); },
     Outcome::Unreadable},
    {"NulBytesStayInText", ProgramKind::Master,
     [](Lines& l) { Replace(l, "CName2=", std::string("CName2=a\0b", 10)); }, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.CName[2], std::string("a\0b", 3)); }},
    {"LoneCarriageReturnStaysInValue", ProgramKind::Master,
     [](Lines& l) { Replace(l, "CName2=", "CName2=a\rb"); }, Outcome::Accepted,
     [](const ConfigRecord& r) { EXPECT_EQ(r.CName[2], "a\rb"); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, ReaderAcceptance, ::testing::ValuesIn(readCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderConfigText, ListsEveryProcessedLineTrimmedWithSectionsSetApart) {
    Lines lines = SlaveLines();
    lines.insert(lines.begin() + 6, "  # note ");
    lines.insert(lines.begin() + 7, "   ");
    TempFolder folder;
    WriteBytes(folder / "s.ini", JoinLines(lines));
    ConfigRecord record;
    std::string configText = "left over from the last read";
    ASSERT_FALSE(ReadConfiguration(folder / "s.ini", ProgramKind::Slave, record, configText));
    EXPECT_EQ(configText,
              "\r\nConfiguration\r\n-------------"
              "\r\n\r\n[Comms]\r\nDName=1\r\n# note\r\n\r\nIPAdd=10.0.0.5\r\nPort1=10001\r\nPort2=10000"
              "\r\n\r\n[Run]\r\nCPUDelay=60\r\nLogLevel=2\r\nLogName=TarnixS.log\r\nLogPath=Log\\"
              "\r\nRunOnTop=1\r\nStartDelay=2\r\nStartMin=1"
              "\r\n\r\n[Shutdown]\r\nShutTime=60\r\nShutType=1");
}

TEST(ReaderConfigText, StartsAfreshEvenWhenTheFileIsMissing) {
    TempFolder folder;
    ConfigRecord record;
    std::string configText = "\r\nConfiguration\r\n-------------\r\nDName=1";
    EXPECT_TRUE(ReadConfiguration(folder / "none.ini", ProgramKind::Master, record, configText));
    EXPECT_EQ(configText, "\r\nConfiguration\r\n-------------");
}

// Files written on Windows hold the system's "ANSI" code page; a file that is valid UTF-8 is
// taken as it is. Either way the record holds UTF-8.
TEST(ReaderEncoding, Windows1252FilesAreReadAsUtf8) {
    const struct {
        const char* stored;
        const char* read;
    } cases[] = {
        {"B\xFCro", "B\xC3\xBCro"},                                       // Büro
        {"\x80 \x8A\x9F \x81", "\xE2\x82\xAC \xC5\xA0\xC5\xB8 \xC2\x81"}, // € ŠŸ, unassigned 0x81
        {"B\xC3\xBCro", "B\xC3\xBCro"},                                   // already UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Lines lines = MasterLines();
        Replace(lines, "CName0=Control", std::string("CName0=") + c.stored);
        TempFolder folder;
        WriteBytes(folder / "m.ini", JoinLines(lines));
        const ReadBack r = ReadAndCheck(folder / "m.ini", ProgramKind::Master);
        ASSERT_FALSE(r.readBox);
        EXPECT_FALSE(r.checkBox);
        EXPECT_EQ(r.record.CName[0], c.read);
    }
}

// A Windows name's length is counted in its characters: 26 dashes (0x96) are one too many.
TEST(ReaderEncoding, Windows1252NamesAreCountedInCharacters) {
    for (const auto& [length, accepted] : {std::pair{25, true}, {26, false}}) {
        Lines lines = MasterLines();
        Replace(lines, "CName1=Pump", "CName1=" + std::string(length, '\x96'));
        TempFolder folder;
        WriteBytes(folder / "m.ini", JoinLines(lines));
        const ReadBack r = ReadAndCheck(folder / "m.ini", ProgramKind::Master);
        ASSERT_FALSE(r.readBox);
        EXPECT_EQ(!r.checkBox, accepted) << length;
    }
}

TEST(ReaderRobustness, HugeLinesAndBinaryBytesNeverThrow) {
    TempFolder folder;
    std::string bytes(3'000'000, 'x');
    bytes += "\r\n";
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    bytes += "\nDName=" + std::string(100'000, '9') + "\n";
    WriteBytes(folder / "b.ini", bytes);
    ConfigRecord record;
    std::string configText;
    const auto box = ReadConfiguration(folder / "b.ini", ProgramKind::Master, record, configText);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->lines.front(), "Unable to read the configuration file. "); // the DName does not fit
}

} // namespace
} // namespace tarnix
