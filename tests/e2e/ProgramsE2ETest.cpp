// The real programs as separate processes on loopback, offscreen, with "-InhibitShutdown" so that
// nothing is powered off and "-AllowMulti" so that a master and a slave share this computer.

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <filesystem>

#include "RealProgram.h"

namespace tarnix::e2e {
namespace {

const QStringList Shared = {"-InhibitShutdown", "-AllowMulti"};

testing::Settings Master(int port1, int port2, int logLevel = 3) {
    testing::Settings s = testing::MasterSettings();
    s["CName1"] = "Slave";
    s["IPAdd1"] = "127.0.0.1";
    s["Port1"] = std::to_string(port1);
    s["Port2"] = std::to_string(port2);
    s["LogLevel"] = std::to_string(logLevel);
    s["StartDelay"] = "1";
    return s;
}

testing::Settings Slave(int port1, int port2) {
    testing::Settings s = testing::SlaveSettings();
    s["IPAdd"] = "127.0.0.1";
    s["Port1"] = std::to_string(port1);
    s["Port2"] = std::to_string(port2);
    s["LogLevel"] = "3";
    s["StartDelay"] = "1";
    return s;
}

TEST(Programs, MasterStartsLogsAndWritesItsExitLineWhenClosed) {
    ProgramDir dir(true, Master(21001, 21002, 2));
    RealProgram master(dir, Shared);
    ASSERT_TRUE(dir.WaitForLog(",  Start    , Initialise", 10s));
    const auto lines = dir.LogLines();
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Tarnix");
    EXPECT_EQ(lines[2], "File Created");
    ASSERT_TRUE(dir.WaitForLog(",  Enter    , Run", 10s));
    EXPECT_TRUE(master.Terminate());
    EXPECT_NE(dir.LogLines().back().find(",  Exit     , Run"), std::string::npos) << dir.LogLines().back();
}

// A logout must not have to kill a program whose error box waits for someone.
TEST(Programs, TerminationEndsTheProgramEvenUnderAnOpenBox) {
    ProgramDir dir(false, Slave(21011, 21012));
    RealProgram slave(dir, Shared);
    ASSERT_TRUE(dir.WaitForLog(",  Start    , Initialise", 10s));
    // The log turns into a folder: the next line fails and its box stays open, offscreen.
    std::filesystem::remove(dir.Path("Log/TarnixS.log"));
    std::filesystem::create_directory(dir.Path("Log/TarnixS.log"));
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(slave.Running()) << "the box keeps the program open";
    EXPECT_TRUE(slave.Terminate(3000ms));
}

// The desktop session's autostart, on a computer without the service: nothing opens, nothing is
// written.
TEST(Programs, TheServiceWindowEndsAtOnceWhereNoServiceRuns) {
    ProgramDir dir(false, Slave(21032, 21031));
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("RUNTIME_DIRECTORY", runtime.path());
    RealProgram program(dir, {"-ServiceWindow"}, {}, env);
    ASSERT_TRUE(program.WaitForEnd(10s));
    EXPECT_EQ(program.ExitCode(), 0);
    EXPECT_TRUE(dir.LogLines().empty());
}

TEST(Programs, SlaveCountsDownWhenItsMasterStopsAndTakesAResetCommand) {
    ProgramDir masterDir(true, Master(21021, 21022));
    ProgramDir slaveDir(false, Slave(21022, 21021));
    RealProgram master(masterDir, Shared);
    RealProgram slave(slaveDir, Shared);
    ASSERT_TRUE(slaveDir.WaitForLog("Comms: -OK-", 15s));

    const std::size_t slaveLines = slaveDir.LogLines().size();
    master.Kill();
    ASSERT_TRUE(slaveDir.WaitForLog(",  Enter    , Power Off", 15s, slaveLines));
    EXPECT_TRUE(slaveDir.WaitForLog(",  Power Off,           , Count:", 5s, slaveLines));

    // The reset command, sent from the master's receive port as the master sends it.
    QUdpSocket commander;
    ASSERT_TRUE(commander.bind(QHostAddress::AnyIPv4, 21022));
    commander.writeDatagram(QByteArray("<TNC000>"), QHostAddress::LocalHost, 21021);
    EXPECT_TRUE(slaveDir.WaitForLog(",  Reset    , Power Off", 5s, slaveLines));
    EXPECT_TRUE(commander.waitForReadyRead(5000));
    EXPECT_EQ(commander.receiveDatagram().data(), QByteArray("<TNC000>"));
}

TEST(Programs, MalformedDatagramsGetTheErrorReply) {
    ProgramDir slaveDir(false, Slave(21032, 21031));
    RealProgram slave(slaveDir, Shared);
    ASSERT_TRUE(slaveDir.WaitForLog(",  Enter    , Run", 10s));
    QUdpSocket stray;
    ASSERT_TRUE(stray.bind(QHostAddress::AnyIPv4, 21032));
    const QByteArray garbage("\0<TN\xff\xfe", 7);
    stray.writeDatagram(garbage, QHostAddress::LocalHost, 21031);
    ASSERT_TRUE(stray.waitForReadyRead(5000));
    EXPECT_EQ(stray.receiveDatagram().data(), QByteArray("<TNE100>"));
    EXPECT_TRUE(slave.Running());
}

} // namespace
} // namespace tarnix::e2e
