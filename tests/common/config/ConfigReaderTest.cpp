#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigTestSupport.h"

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

// The line a start-up box adds, so that someone editing the file by hand finds the fault.
struct FaultCase {
    const char* name;
    ProgramKind kind;
    std::function<void(Lines&)> edit;
    std::string fault; // "{file}" stands for the file's path
    std::function<void(const std::filesystem::path& file, const std::string& text)> place = WriteBytes;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class StartUpFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(StartUpFault, IsNamedWithItsKeyAndLine) {
    const FaultCase& c = GetParam();
    Lines lines = c.kind == ProgramKind::Master ? MasterLines() : SlaveLines();
    c.edit(lines);
    TempFolder folder;
    const auto file = folder / "x.ini";
    c.place(file, JoinLines(lines));
    const ReadBack r = ReadAndCheck(file, c.kind);
    const auto& box = r.readBox ? r.readBox : r.checkBox;
    ASSERT_TRUE(box);
    ASSERT_GE(box->lines.size(), 2u);
    std::string expected = c.fault;
    if (const auto at = expected.find("{file}"); at != std::string::npos)
        expected.replace(at, 6, file.string());
    EXPECT_EQ(box->lines[box->lines.size() - 2], expected) << box->Message();
}

constexpr auto M = ProgramKind::Master;
constexpr auto S = ProgramKind::Slave;

const FaultCase faultCases[] = {
    // The file itself.
    {"NoFile", S, [](Lines&) {}, "{file} does not exist", [](const auto&, const auto&) {}},
    {"DanglingLink", M, [](Lines&) {}, "{file} is a link to a file that does not exist",
     [](const auto& file, const auto&) { std::filesystem::create_symlink("gone.ini", file); }},
    {"FolderInItsPlace", M, [](Lines&) {}, "{file} is a folder, not a file",
     [](const auto& file, const auto&) { std::filesystem::create_directory(file); }},
    {"PipeInItsPlace", S, [](Lines&) {}, "{file} is not a regular file",
     [](const auto& file, const auto&) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
    // Keys and sections, each to be there once.
    {"KeyMissing", S, [](Lines& l) { Remove(l, "StartMin=1"); }, "The key StartMin is missing"},
    {"KeyBehindATab", S, [](Lines& l) { Replace(l, "DName=1", "\tDName=1"); }, "The key DName is missing"},
    {"KeyRepeated", S, [](Lines& l) { l.push_back("StartMin=2"); },
     "StartMin (line 24) repeats the key of line 18"},
    {"SectionMissing", M, [](Lines& l) { Remove(l, "[Run]"); }, "The section line [Run] is missing"},
    {"SectionRepeated", M, [](Lines& l) { l.push_back("[Run]"); },
     "[Run] (line 32) repeats the section of line 19"},
    // Numbers.
    {"NumberOutOfRange", M, [](Lines& l) { Replace(l, "CPUDelay=60", "CPUDelay=4"); },
     "CPUDelay (line 20) is 4; it must be from 5 to 600"},
    {"NotANumber", S, [](Lines& l) { Replace(l, "ShutTime=60", "ShutTime=abc"); },
     "ShutTime (line 21) is not a number; it must be from 2 to 600"},
    {"NumberLeftEmpty", M, [](Lines& l) { Replace(l, "Port2=10001", "Port2="); },
     "Port2 (line 17) is not a number; it must be from 1024 to 65532"},
    {"NumberTooLargeForItsField", M, [](Lines& l) { Replace(l, "CPUDelay=60", "CPUDelay=70000"); },
     "CPUDelay (line 20) is far out of range; it must be from 5 to 600"},
    {"NegativeNumberTooLargeForItsField", S, [](Lines& l) { Replace(l, "Port1=10001", "Port1=-1e10"); },
     "Port1 (line 8) is far out of range; it must be from 1024 to 65532"},
    {"RepeatedKeyNamesTheLineInForce", M, [](Lines& l) { Replace(l, "Port2=10001", "Port1=80"); },
     "Port1 (line 17) is 80; it must be from 1024 to 65532"}, // before Port2, which no line gave
    {"FirstFaultInTheFile", M,
     [](Lines& l) {
         Replace(l, "CPUDelay=60", "CPUDelay=4");
         Replace(l, "ShutType=1", "ShutType=9");
         std::reverse(l.begin(), l.end());
     },
     "ShutType (line 2) is 9; it must be from 1 to 6"},
    // Texts, counted in characters.
    {"NameTooLong", M, [](Lines& l) { Replace(l, "CName1=Pump", "CName1=" + std::string(26, 'n')); },
     "CName1 (line 8) is longer than 25 characters"},
    {"LogNameTooShort", M, [](Lines& l) { Replace(l, "LogName=TarnixM.log", "LogName=a.log"); },
     "LogName (line 22) is shorter than 8 characters"},
    {"LogPathTooLong", S, [](Lines& l) { Replace(l, "LogPath=Log\\", "LogPath=" + std::string(101, 'p')); },
     "LogPath (line 15) is longer than 100 characters"},
    // Addresses.
    {"BlankBeforeAddress", M, [](Lines& l) { Replace(l, "IPAdd1=192.168.0.20", "IPAdd1= 192.168.0.20"); },
     "IPAdd1 (line 12) begins with a blank"},
    {"BlankInsideAddress", S, [](Lines& l) { Replace(l, "IPAdd=10.0.0.5", "IPAdd=10.0. 0.5"); },
     "IPAdd (line 7) contains a blank"},
    {"InvalidAddress", M, [](Lines& l) { Replace(l, "IPAdd2=", "IPAdd2=1.2.3"); },
     "IPAdd2 (line 13) is not a valid IP address"},
    {"IpAddressInDomainMode", S,
     [](Lines& l) {
         Replace(l, "DName=1", "DName=2");
         Replace(l, "IPAdd=10.0.0.5", "IPAdd=10.1.1.5");
     },
     "IPAdd (line 7) is an IP address, but DName=2 asks for a domain name"},
    {"DomainNameTooLong", S,
     [](Lines& l) {
         Replace(l, "DName=1", "DName=2");
         Replace(l, "IPAdd=10.0.0.5", "IPAdd=" + std::string(101, 'd'));
     },
     "IPAdd (line 7) is longer than 100 characters"},
};

INSTANTIATE_TEST_SUITE_P(Cases, StartUpFault, ::testing::ValuesIn(faultCases),
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

// The log shows the listing: a control character in it would forge a line or drive the
// terminal, so it is written out, however the file was encoded.
TEST(ReaderConfigText, WritesControlCharactersOut) {
    const struct {
        const char* name;
        std::string stored; // the line in the file
        std::string listed;
    } cases[] = {
        {"lone CR", "CName2=a\rIPAdd2=10.9.9.9", "CName2=a\\x0DIPAdd2=10.9.9.9"},
        {"NUL", std::string("CName2=a\0b", 10), "CName2=a\\x00b"},
        {"DEL", "CName2=a\x7F", "CName2=a\\x7F"},
        {"escape sequence in an unknown line", "CName2=\nColour=\x1B[2J", "Colour=\\x1B[2J"},
        {"NEL in UTF-8", "CName2=a\xC2\x85", "CName2=a\\u0085"},
        {"Windows byte left unassigned", "CName2=a\x9D", "CName2=a\\u009D"},
        {"Windows ellipsis is no NEL", "CName2=a\x85", "CName2=a\xE2\x80\xA6"},
        {"letters beyond ASCII stay", "CName2=B\xC3\xBCro", "CName2=B\xC3\xBCro"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Lines lines = MasterLines();
        Replace(lines, "CName2=", c.stored);
        TempFolder folder;
        WriteBytes(folder / "m.ini", JoinLines(lines));
        ConfigRecord record;
        std::string configText;
        ASSERT_FALSE(ReadConfiguration(folder / "m.ini", ProgramKind::Master, record, configText));
        EXPECT_NE(configText.find("\r\n" + c.listed + "\r\nCName3="), std::string::npos) << configText;
    }
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
