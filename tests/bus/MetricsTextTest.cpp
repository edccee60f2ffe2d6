#include "ctl/MetricsText.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "bus/BusTestSupport.h"

namespace tarnix {
namespace {

ProgramStatus SlaveHearingItsMaster() {
    ProgramStatus status;
    status.kind = ProgramKind::Slave;
    status.phase = PhaseRun;
    status.masterLink = LinkState::Connected;
    status.masterSilentSeconds = 2;
    return status;
}

struct MetricsCase {
    const char* name;
    ProgramStatus (*status)();
    std::vector<std::string> lines; // each a whole line of the text
    std::string absent;             // in no line
};

class MetricsTextCase : public ::testing::TestWithParam<MetricsCase> {};

TEST_P(MetricsTextCase, ShowsTheStatusAsItsLines) {
    const std::string text = "\n" + MetricsText(GetParam().status());
    EXPECT_EQ(text.back(), '\n');
    for (const std::string& line : GetParam().lines)
        EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line << "\nin:" << text;
    EXPECT_EQ(text.find(GetParam().absent), std::string::npos) << text;
}

// Prometheus's own checker: the syntax, the escapes and the naming rules.
TEST_P(MetricsTextCase, PassesPromtool) {
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (promtool.isEmpty()) GTEST_SKIP() << "promtool is not installed (Debian package prometheus)";
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    check.write(QByteArray::fromStdString(MetricsText(GetParam().status())));
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(20000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, MetricsTextCase,
    ::testing::Values(MetricsCase{"AMastersComputersByNumberAndName",
                                  &test::MasterCounting,
                                  {"# TYPE tarnix_phase gauge",
                                   "tarnix_build_info{version=\"4.2\",program=\"master\"} 1",
                                   "tarnix_phase{phase=\"Activation\"} 0",
                                   "tarnix_phase{phase=\"Run\"} 1",
                                   "tarnix_phase{phase=\"Countdown\"} 0",
                                   "tarnix_silent_seconds 3",
                                   "tarnix_action_info{action=\"Power Off\"} 1",
                                   "tarnix_peer_up{computer=\"1\",peer=\"PC1\"} 1",
                                   "tarnix_peer_up{computer=\"2\",peer=\"127.0.0.3\"} 0",
                                   "tarnix_peer_up{computer=\"4\",peer=\"say \\\"hi\\\"\\\\\\nPC4\"} 0",
                                   "tarnix_peer_last_heard_seconds{computer=\"2\",peer=\"127.0.0.3\"} 15",
                                   "# TYPE tarnix_datagrams_sent_total counter",
                                   "tarnix_datagrams_sent_total 8000000000",
                                   "tarnix_datagrams_heard_total 9",
                                   "tarnix_datagrams_not_heard_total{reason=\"malformed\"} 10",
                                   "tarnix_datagrams_not_heard_total{reason=\"stranger\"} 11",
                                   "tarnix_datagrams_not_heard_total{reason=\"key mismatch\"} 12",
                                   "tarnix_datagrams_not_heard_total{reason=\"replayed\"} 13",
                                   "tarnix_countdowns_total 5",
                                   "tarnix_resets_total{source=\"button\"} 1",
                                   "tarnix_resets_total{source=\"bus\"} 2",
                                   "tarnix_resets_total{source=\"command\"} 3",
                                   "tarnix_tests_total 4",
                                   "tarnix_actions_total 7"},
                                  "computer=\"3\""},
                      MetricsCase{"ASlavesMasterIsItsPeer",
                                  &SlaveHearingItsMaster,
                                  {"tarnix_build_info{version=\"4.2\",program=\"slave\"} 1",
                                   "tarnix_peer_up{peer=\"master\"} 1",
                                   "tarnix_peer_last_heard_seconds{peer=\"master\"} 2"},
                                  "computer="},
                      // Not configured: no master to name.
                      MetricsCase{"ACountdownIsNoSilence",
                                  &test::SlaveCountingDown,
                                  {"tarnix_phase{phase=\"Countdown\"} 1", "tarnix_silent_seconds 0",
                                   "tarnix_time_left_seconds 7", "tarnix_action_info{action=\"Reboot\"} 1"},
                                  "tarnix_peer_"}),
    [](const ::testing::TestParamInfo<MetricsCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tarnix
