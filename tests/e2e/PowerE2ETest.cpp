// The real master, not inhibited, with nobody answering: its countdown runs out and the power
// action reaches a fake logind on a private bus. DBUS_SYSTEM_BUS_ADDRESS always points at that
// private bus, so nothing here can reach the machine's own.

#include <QProcess>

#include <gtest/gtest.h>

#include "RealProgram.h"
#include "support/FakeLogind.h"

namespace tarnix::e2e {
namespace {

// The shared fake logind, writing the calls it receives to a file the test reads afterwards.
std::unique_ptr<test::FakeLogind> StartFakeLogind(const std::string& logFile) {
    QString whyNot;
    bool skipped = false;
    return test::FakeLogind::Start({"-l", QString::fromStdString(logFile)}, whyNot, skipped);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct PowerCase {
    const char* shutType;
    const char* name;
    const char* logindCall; // nullptr: no call at all
    bool ends;
};

TEST(Power, EachActionReachesTheFakeLogindAndTheProgramEndsOrGoesOn) {
    const std::vector<PowerCase> cases = {
        {"1", "Power Off", "PowerOffWithFlags 0", true},   {"2", "Reboot", "RebootWithFlags 0", true},
        {"3", "Shutdown", "HaltWithFlags 0", true},        {"4", "Monitor", nullptr, true},
        {"5", "Hibernate", "HibernateWithFlags 0", false},
    };
    QTemporaryDir scratch;
    std::vector<std::unique_ptr<test::FakeLogind>> fakes;
    std::vector<std::unique_ptr<ProgramDir>> dirs;
    std::vector<std::unique_ptr<RealProgram>> programs;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string log = scratch.path().toStdString() + "/logind" + std::to_string(i) + ".log";
        fakes.push_back(StartFakeLogind(log));
        if (!fakes.back()) GTEST_SKIP() << "the fake logind could not start (dbus-daemon, dbusmock)";

        testing::Settings s = testing::MasterSettings();
        s["Port1"] = std::to_string(23000 + 10 * i); // nobody answers there
        s["Port2"] = std::to_string(23001 + 10 * i);
        s["StartDelay"] = "1";
        s["ShutTime"] = "2";
        s["ShutType"] = cases[i].shutType;
        dirs.push_back(std::make_unique<ProgramDir>(true, s));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", fakes.back()->Address());
        programs.push_back(
            std::make_unique<RealProgram>(*dirs.back(), QStringList{"-AllowMulti"}, QStringList{}, env));
    }

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const PowerCase& c = cases[i];
        const std::string name = c.name;
        SCOPED_TRACE(name);
        const std::string logindLog = scratch.path().toStdString() + "/logind" + std::to_string(i) + ".log";
        if (c.ends) {
            EXPECT_TRUE(programs[i]->WaitForEnd(30s)) << "the program should end after its action";
            const auto lines = dirs[i]->LogLines();
            ASSERT_GE(lines.size(), 2u);
            EXPECT_NE(lines[lines.size() - 2].find(",  Start    , " + name), std::string::npos)
                << lines[lines.size() - 2];
            EXPECT_NE(lines.back().find(",  Close    , " + name), std::string::npos) << lines.back();
        } else {
            EXPECT_TRUE(dirs[i]->WaitForLog(",  Restart  , " + name, 30s));
            EXPECT_TRUE(dirs[i]->WaitForLog(",  ---------, ----------", 5s));
            EXPECT_TRUE(programs[i]->Running()) << "supervision goes on after a suspension";
            EXPECT_TRUE(dirs[i]->WaitForLog(",  Enter    , Run", 10s))
                << "and starts again with its activation";
        }
        const std::string calls = ReadFile(logindLog);
        if (c.logindCall) {
            EXPECT_NE(calls.find(c.logindCall), std::string::npos) << calls;
        } else {
            for (const char* verb :
                 {"PowerOff", "Reboot", "Halt", "Hibernate", "Suspend", "TerminateSession"})
                EXPECT_EQ(calls.find(std::string(" ") + verb), std::string::npos) << calls;
        }
    }
}

TEST(Power, ARefusedActionStopsBeforeTheCloseLineAndWaitsOnItsErrorBox) {
    QTemporaryDir scratch;
    const std::string log = scratch.path().toStdString() + "/logind.log";
    const std::unique_ptr<test::FakeLogind> fake = StartFakeLogind(log);
    if (!fake) GTEST_SKIP() << "the fake logind could not start (dbus-daemon, dbusmock)";
    // Refuse through the mock's control interface before the program asks.
    QProcess refuse;
    refuse.start("dbus-send", {"--bus=" + fake->Address(), "--print-reply", "--dest=org.freedesktop.login1",
                               "/org/freedesktop/login1", "org.freedesktop.DBus.Mock.SetCanAnswer",
                               "string:CanPowerOff", "string:no"});
    ASSERT_TRUE(refuse.waitForFinished(10000));
    ASSERT_EQ(refuse.exitCode(), 0);
    testing::Settings s = testing::MasterSettings();
    s["Port1"] = "23100";
    s["Port2"] = "23101";
    s["StartDelay"] = "1";
    s["ShutTime"] = "2";
    ProgramDir dir(true, s);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", fake->Address());
    RealProgram program(dir, {"-AllowMulti"}, {}, env);
    ASSERT_TRUE(dir.WaitForLog(",  Start    , Power Off", 30s));
    // The error box waits for its OK off screen: the program is still there, and no "Close".
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(program.Running());
    EXPECT_NE(dir.LogLines().back().find(",  Start    , Power Off"), std::string::npos);
    EXPECT_EQ(ReadFile(log).find("PowerOffWithFlags"), std::string::npos);
}

} // namespace
} // namespace tarnix::e2e
