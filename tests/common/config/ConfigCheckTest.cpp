#include <functional>
#include <gtest/gtest.h>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigTestSupport.h"

namespace tarnix {
namespace {

ConfigRecord ValidRecord(ProgramKind kind) {
    ConfigRecord r;
    r.DName = 1;
    if (kind == ProgramKind::Master) {
        r.CName[0] = "Control";
        r.CName[1] = "Pump";
        r.IPAdd[1] = "192.168.0.20";
    } else {
        r.IPAdd[0] = "10.0.0.5";
    }
    r.Port1 = 10000;
    r.Port2 = 10001;
    r.CPUDelay = 60;
    r.LogLevel = 2;
    r.LogName = "TarnixM.log";
    r.LogPath = "Log\\";
    r.RunOnTop = 1;
    r.StartDelay = 2;
    r.StartMin = 1;
    r.ShutTime = 60;
    r.ShutType = 1;
    return r;
}

struct CheckCase {
    const char* name;
    ProgramKind kind;
    std::function<void(ConfigRecord&)> edit;
    bool inRange;
    bool unconfigured;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

class RangeAndUnconfigured : public ::testing::TestWithParam<CheckCase> {};

TEST_P(RangeAndUnconfigured, FollowTheRules) {
    const CheckCase& c = GetParam();
    ConfigRecord record = ValidRecord(c.kind);
    c.edit(record);
    bool unconfigured = false;
    const auto box = ValidateConfiguration(c.kind, record, unconfigured);
    EXPECT_EQ(!box.has_value(), c.inRange);
    EXPECT_EQ(unconfigured, c.unconfigured);
}

using R = ConfigRecord;
constexpr auto M = ProgramKind::Master;
constexpr auto S = ProgramKind::Slave;

const CheckCase checkCases[] = {
    {"MasterValid", M, [](R&) {}, true, false},
    {"SlaveValid", S, [](R&) {}, true, false},
    // The bounds of every number, text and address come from the schema's own table (the
    // schema's tests probe each field at both of its limits); a check box holds nothing else.
    {"RunOnTopAbove", M, [](R& r) { r.RunOnTop = 3; }, false, false},
    {"StartMinZero", M, [](R& r) { r.StartMin = 0; }, false, false},
    {"DNameZero", S, [](R& r) { r.DName = 0; }, false, false},
    // Texts, counted in characters.
    {"EmptyLogPathBecomesDefault", M, [](R& r) { r.LogPath.clear(); }, true, false},
    {"AccentedComputerNameOf25", M, [](R& r) { r.CName[0] = "Pr\xC3\xBC" + std::string(22, 'f'); }, true,
     false},
    // Addresses in IP mode.
    {"IpModeEmptyAddress", M, [](R& r) { r.IPAdd[2] = ""; }, true, false},
    {"IpModeInvalidAddress", M, [](R& r) { r.IPAdd[2] = "1.2.3"; }, false, false},
    {"IpModeZeroInLaterParts", M, [](R& r) { r.IPAdd[1] = "10.0.0.5"; }, true, false},
    {"SlaveIpModeInvalidAddress", S, [](R& r) { r.IPAdd[0] = "host.example"; }, false, true},
    // Addresses in domain-name mode.
    {"DomainModeName", M, [](R& r) { r.DName = 2, r.IPAdd[1] = "pump.plant"; }, true, false},
    {"DomainModeIpAddress", M, [](R& r) { r.DName = 2, r.IPAdd[1] = "192.168.1.20"; }, false, false},
    {"DomainModeAddressWithZeroPart", M, [](R& r) { r.DName = 2, r.IPAdd[1] = "192.168.0.20"; }, true, false},
    {"SlaveDomainModeIpAddress", S, [](R& r) { r.DName = 2, r.IPAdd[0] = "10.1.1.5"; }, false, true},
    {"DomainModeAccentedNameOf100", M,
     [](R& r) { r.DName = 2, r.IPAdd[1] = "\xC3\xA9" + std::string(99, 'd'); }, true, false},
    {"SlaveDomainModeAccentedNameOf100", S,
     [](R& r) { r.DName = 2, r.IPAdd[0] = "\xC3\xA9" + std::string(99, 'd'); }, true, false},
    // Computers to supervise not fully given: no box, but supervision waits for set-up.
    {"MasterWithoutLocalName", M, [](R& r) { r.CName[0].clear(); }, true, true},
    {"NamedRemoteWithoutAddress", M, [](R& r) { r.CName[4] = "Fan"; }, true, true},
    {"MasterWithNoRemoteComputer", M, [](R& r) { r.CName[1].clear(), r.IPAdd[1].clear(); }, true, true},
    {"AddressWithoutNameIsFine", M, [](R& r) { r.IPAdd[3] = "10.1.1.1"; }, true, false},
    {"DomainModeNamedRemoteWithoutAddress", M, [](R& r) { r.DName = 2, r.IPAdd[1] = ""; }, true, true},
    {"DomainModeUnnamedRemoteWithAddress", M,
     [](R& r) { r.DName = 2, r.IPAdd[1] = "pump", r.IPAdd[3] = "spare"; }, true, false},
    {"SlaveIpModeEmptyAddress", S, [](R& r) { r.IPAdd[0].clear(); }, true, true},
    {"SlaveDomainModeEmptyAddress", S, [](R& r) { r.DName = 2, r.IPAdd[0].clear(); }, true, true},
    {"SlaveDomainModeName", S, [](R& r) { r.DName = 2, r.IPAdd[0] = "control.plant"; }, true, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, RangeAndUnconfigured, ::testing::ValuesIn(checkCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RangeCheck, AppliesTheLogPathDefaultAndNeverClearsUnconfigured) {
    ConfigRecord record = ValidRecord(ProgramKind::Slave);
    record.LogPath.clear();
    bool unconfigured = true; // set earlier, for instance by a receive port that is taken
    EXPECT_FALSE(ValidateConfiguration(ProgramKind::Slave, record, unconfigured));
    EXPECT_EQ(record.LogPath, "Log\\");
    EXPECT_TRUE(unconfigured);
}

// Files saved in domain-name mode with an address such as 192.168.0.5 always loaded: only an
// address whose every part is 1..255 counts as an IP address there.
TEST(StoredDomainModeFiles, LoadUnlessTheAddressHasNoZeroPart) {
    using namespace config_test;
    const struct {
        ProgramKind kind;
        std::vector<std::string> lines;
        const char* addressLine;
    } programs[] = {{M, MasterLines(), "IPAdd1=192.168.0.20"}, {S, SlaveLines(), "IPAdd=10.0.0.5"}};
    for (const auto& p : programs) {
        for (const auto& [address, loads] : {std::pair{"192.168.0.5", true}, {"192.168.1.5", false}}) {
            SCOPED_TRACE(std::string(p.addressLine) + " -> " + address);
            std::vector<std::string> lines = p.lines;
            for (std::string& line : lines) {
                if (line == "DName=1") line = "DName=2";
                if (line == p.addressLine) line = line.substr(0, line.find('=') + 1) + address;
            }
            TempFolder folder;
            WriteBytes(folder / "c.ini", JoinLines(lines));
            const ReadBack r = ReadAndCheck(folder / "c.ini", p.kind);
            ASSERT_FALSE(r.readBox);
            EXPECT_EQ(!r.checkBox, loads);
            EXPECT_EQ(r.unconfigured, p.kind == S && !loads);
        }
    }
}

} // namespace
} // namespace tarnix
