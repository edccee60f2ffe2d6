#include "common/program/StatusReport.h"
#include "ctl/StatusJsonReader.h"

#include <gtest/gtest.h>

#include "bus/BusTestSupport.h"

namespace tarnix {
namespace {

TEST(StatusReport, TextShowsTheMastersRowsAsItsWindowDoes) {
    EXPECT_EQ(StatusReport(test::MasterWithFourPeers()).Text(),
              "Program    master\n"
              "Phase      Run\n"
              "Count      3\n"
              "Action     Power Off\n"
              "Time left  0\n"
              "\n"
              "#  Computer   Address    Status      Action\n"
              "1  PC1        127.0.0.2  Connected   P\n"
              "2  127.0.0.3  127.0.0.3  Data Error  R**\n"
              "3  ---        ---        ---         ---\n"
              "4  PC4        pc4.lab\n"
              "Computer 4: the name pc4.lab cannot be looked up: Host not found\n");
}

TEST(StatusReport, TextOfASlaveHasNoTableAndNamesATestRun) {
    EXPECT_EQ(StatusReport(test::SlaveCountingDown()).Text(),
              "Program    slave\n"
              "Phase      Countdown\n"
              "Count      4\n"
              "Action     Reboot\n"
              "Time left  7\n"
              "Test run   yes\n"
              "Not configured\n"
              "Master     the name m.lab cannot be looked up: "
              "Host not found\n");
}

TEST(StatusReport, JsonOfASlaveIsOneObjectWithoutComputers) {
    EXPECT_EQ(
        StatusReport(test::SlaveCountingDown()).Json(),
        R"({"program":"slave","phase":"Countdown","count":4,"timeLeft":7,"action":"Reboot",)"
        R"("testRun":true,"unconfigured":true,"masterLink":"",)"
        R"("lookupFailure":"the name m.lab cannot be looked up: Host not found","masterSilentSeconds":0,)"
        R"("resets":0,"resetsByButton":0,"resetsByBus":0,"resetsByCommand":0,"tests":0,"countdowns":0,)"
        R"("actions":0,"datagramsSent":0,"datagramsHeard":0,"datagramsMalformed":0,)"
        R"("datagramsFromStrangers":0,"datagramsKeyMismatch":0,"datagramsReplayed":0})");
}

ProgramStatus OddlyNamed() {
    ProgramStatus status = test::MasterWithFourPeers();
    status.phase = PhaseActivation;
    status.remote[0].name = "say \"hi\"\\ \t\n\x01 Zürich";
    return status;
}

ProgramStatus SlaveHearingDataErrors() {
    ProgramStatus status = test::SlaveCountingDown();
    status.masterLink = LinkState::DataError;
    return status;
}

TEST(StatusReport, ASlaveNamesItsLinkToTheMaster) {
    const StatusReport report(SlaveHearingDataErrors());
    EXPECT_NE(report.Text().find("Link       Data Error\n"), std::string::npos) << report.Text();
    EXPECT_NE(report.Json().find(R"("masterLink":"Data Error")"), std::string::npos) << report.Json();
}

// What tarnixctl reads back from the service's JSON is what the service rendered.
class StatusJsonRoundTrip : public ::testing::TestWithParam<ProgramStatus (*)()> {};

TEST_P(StatusJsonRoundTrip, ReadsBackEveryFact) {
    const ProgramStatus status = GetParam()();
    const std::string json = StatusReport(status).Json();
    const std::optional<ProgramStatus> read = StatusFromJson(QString::fromStdString(json));
    ASSERT_TRUE(read) << json;
    EXPECT_EQ(StatusReport(*read).Json(), json);
    EXPECT_EQ(read->remote[0].name, status.remote[0].name);
}

INSTANTIATE_TEST_SUITE_P(Statuses, StatusJsonRoundTrip,
                         ::testing::Values(&test::MasterWithFourPeers, &test::SlaveCountingDown,
                                           &SlaveHearingDataErrors, &OddlyNamed));

TEST(StatusJsonReader, RefusesWhatIsNoStatus) {
    for (const char* json : {"", "[]", R"({"program":"master","phase":"Sleeping"})", R"({"phase":"Run"})"})
        EXPECT_FALSE(StatusFromJson(QString::fromLatin1(json))) << json;
}

} // namespace
} // namespace tarnix
