#include "common/base/CommandLine.h"

#include <gtest/gtest.h>

namespace tarnix {
namespace {

struct SwitchCase {
    const char* commandLine;
    bool allowMulti;
    bool inhibitShutdown;
};

class CommandLineSwitches : public testing::TestWithParam<SwitchCase> {};

TEST_P(CommandLineSwitches, AreRecognisedOnlyAtTheirExactPlace) {
    const SwitchCase& c = GetParam();
    EXPECT_EQ(AllowMultiGiven(c.commandLine), c.allowMulti) << '"' << c.commandLine << '"';
    EXPECT_EQ(InhibitShutdownGiven(c.commandLine), c.inhibitShutdown) << '"' << c.commandLine << '"';
}

INSTANTIATE_TEST_SUITE_P(NearMisses, CommandLineSwitches,
                         testing::Values(SwitchCase{"", false, false}, SwitchCase{"-AllowMulti", true, false},
                                         SwitchCase{"x -AllowMulti", true, false},
                                         SwitchCase{"-allowmulti", false, false},
                                         SwitchCase{"-AllowMulti ", false, false},
                                         SwitchCase{"AllowMulti", false, false},
                                         SwitchCase{"-AllowMulti -InhibitShutdown", false, false},
                                         SwitchCase{"-InhibitShutdown", false, true},
                                         SwitchCase{" -InhibitShutdown", false, false},
                                         SwitchCase{"-inhibitshutdown", false, false},
                                         SwitchCase{"-InhibitShutdownNow", false, true},
                                         SwitchCase{"-InhibitShutdown -AllowMulti", true, true},
                                         SwitchCase{"-InhibitShutdown-AllowMulti", true, true}));

TEST(JoinCommandLine, DropsTheProgramPathAndKeepsArgumentsAsTyped) {
    EXPECT_EQ(JoinCommandLine({}), "");
    EXPECT_EQ(JoinCommandLine({"/opt/tarnix/TarnixM"}), "");
    EXPECT_EQ(JoinCommandLine({"TarnixM", "-InhibitShutdown", "-AllowMulti"}),
              "-InhibitShutdown -AllowMulti");
    // A blank inside an argument or an empty last argument must still defeat "-AllowMulti".
    EXPECT_EQ(JoinCommandLine({"TarnixM", "-AllowMulti "}), "-AllowMulti ");
    EXPECT_FALSE(AllowMultiGiven(JoinCommandLine({"TarnixM", "-AllowMulti", ""})));
}

TEST(ExecutableName, IsTheFileNameWithoutFolderAndExtension) {
    EXPECT_EQ(ExecutableName("/opt/tarnix/TarnixM"), "TarnixM");
    EXPECT_EQ(ExecutableName("./WatchdogS.bin"), "WatchdogS");
    EXPECT_EQ(ExecutableName("TarnixS"), "TarnixS");
}

TEST(CommandLineOf, JoinsTheArgumentsAfterTheProgramPath) {
    char program[] = "/opt/tarnix/TarnixM";
    char inhibit[] = "-InhibitShutdown";
    char allow[] = "-AllowMulti";
    char* argv[] = {program, inhibit, allow};
    EXPECT_EQ(CommandLineOf(3, argv), "-InhibitShutdown -AllowMulti");
    EXPECT_EQ(CommandLineOf(1, argv), "");
}

} // namespace
} // namespace tarnix
