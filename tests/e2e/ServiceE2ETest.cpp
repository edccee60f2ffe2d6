// The service tarnixd as systemd runs it: its notifications on a socket the test gives as
// NOTIFY_SOCKET, its journal lines on standard error, and its instance claim in a runtime
// folder of the test's own, which a second service and a desktop program both respect.

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "NetNamespaces.h"
#include "RealProgram.h"
#include "support/FakeLogind.h"

namespace tarnix::e2e {
namespace {

QStringList In(const NetNamespaces& nets, const std::string& ns) {
    return {"ip", "netns", "exec", QString::fromStdString(nets.Name(ns))};
}

// A datagram socket standing in for the service manager's.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        timeval wait{0, 200000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    }
    ~NotifySocket() { ::close(fd_); }
    bool Bound() const { return bound_; }
    // The messages that arrive within the time.
    std::vector<std::string> Receive(std::chrono::milliseconds during) {
        std::vector<std::string> messages;
        const auto deadline = std::chrono::steady_clock::now() + during;
        char buffer[256];
        while (std::chrono::steady_clock::now() < deadline) {
            const ssize_t got = ::recv(fd_, buffer, sizeof(buffer), 0);
            if (got > 0) messages.emplace_back(buffer, static_cast<std::size_t>(got));
        }
        return messages;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
};

testing::Settings QuickSlave(const std::string& port1, const std::string& port2) {
    testing::Settings s = testing::SlaveSettings();
    s["Port1"] = port1; // nobody answers there: the master is gone
    s["Port2"] = port2;
    s["StartDelay"] = "1";
    return s;
}

TEST(Service, TellsTheServiceManagerAndTheJournalAndHoldsTheComputersClaim) {
    QTemporaryDir runtime, scratch;
    NotifySocket notify(scratch.path().toStdString() + "/notify");
    ASSERT_TRUE(notify.Bound());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NOTIFY_SOCKET", scratch.path() + "/notify");
    env.insert("RUNTIME_DIRECTORY", runtime.path());
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + scratch.path() + "/no-bus");
    ProgramDir dir(false, QuickSlave("24101", "24100"));
    RealProgram service(dir, {"-InhibitShutdown"}, {}, env, true);

    auto first = notify.Receive(2500ms);
    // The status systemctl shows says why the service is not on the bus; it may come first.
    const auto status = std::find_if(first.begin(), first.end(), [](const std::string& m) {
        return m.starts_with("STATUS=Supervising; no status or commands on the system bus (");
    });
    ASSERT_NE(status, first.end());
    first.erase(status);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), "READY=1");
    EXPECT_GE(std::count(first.begin(), first.end(), "WATCHDOG=1"), 1) << "a ping from every tick";

    // A second service on the same computer ends at once and says who holds the claim.
    ProgramDir secondDir(false, QuickSlave("24103", "24102"));
    RealProgram second(secondDir, {}, {}, env, true);
    ASSERT_TRUE(second.WaitForEnd(10s));
    EXPECT_EQ(second.ExitCode(), 1);
    EXPECT_NE(second.ErrorOutput().find("<3>Tarnix Slave: Another Tarnix service is running (process " +
                                        std::to_string(service.Pid()) + ")."),
              std::string::npos)
        << second.ErrorOutput();
    // So does a desktop program: it opens as the service's window and neither supervises nor logs.
    ProgramDir desktopDir(true, testing::MasterSettings());
    RealProgram desktop(desktopDir, {}, {}, env);
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(desktop.Running()) << "the service's window stays until it is closed";
    EXPECT_TRUE(desktopDir.LogLines().empty());

    // What the window would have shown, as journal lines with their priorities; the simulated
    // action's box is a line too, and nothing waits for anyone.
    EXPECT_TRUE(service.WaitForError("<5>Tarnix Slave Simulate Power Off: Test Real Power Off", 30s))
        << service.ErrorOutput();
    const std::string lines = service.ErrorOutput();
    for (const char* line :
         {"<6>Activation: supervision starts in 1 second\n",
          "<6>Run: Power Off the computer if communications are lost for over 6 seconds\n",
          "<4>Communications with the master lost: the computer will Power Off in 6 seconds\n"})
        EXPECT_NE(lines.find(line), std::string::npos) << line << lines;
    // A simulated power off closes the program as the real one would, and that is no failure.
    EXPECT_TRUE(service.WaitForEnd(5s));
    EXPECT_EQ(service.ExitCode(), 0);
    EXPECT_TRUE(dir.WaitForLog(",  Close    , Power Off", 1s));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Two computers: a desktop master, and a slave computer guarded by the service alone. When the
// master goes, the service counts down and its power call reaches logind (a fake one, on the
// private bus the service takes for the system bus).
TEST(Service, ASlaveServiceCountsDownWhenItsMasterGoesAndPowersOffThroughLogind) {
    NetNamespaces nets;
    if (!nets.Add("m") || !nets.Add("s") || !nets.Link("m", "tm", "192.0.2.9", "s", "ts", "192.0.2.10"))
        GTEST_SKIP() << "network namespaces cannot be made here (needs root and iproute2)";
    QTemporaryDir runtime, scratch;
    const std::string logindLog = scratch.path().toStdString() + "/logind.log";
    QString whyNot;
    bool skipped = false;
    const auto logind = test::FakeLogind::Start({"-l", QString::fromStdString(logindLog)}, whyNot, skipped);
    if (!logind) GTEST_SKIP() << "the fake logind could not start: " << whyNot.toStdString();

    testing::Settings m = testing::MasterSettings();
    m["IPAdd1"] = "192.0.2.10";
    m["Port1"] = "24200";
    m["Port2"] = "24201";
    m["StartDelay"] = "1";
    testing::Settings s = testing::SlaveSettings();
    s["IPAdd"] = "192.0.2.9";
    s["Port1"] = "24201";
    s["Port2"] = "24200";
    s["StartDelay"] = "1";
    s["CPUDelay"] = "5";
    s["ShutTime"] = "5";
    s["LogLevel"] = "3";
    ProgramDir masterDir(true, m), slaveDir(false, s);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", logind->Address());
    env.insert("RUNTIME_DIRECTORY", runtime.path());
    auto master = std::make_unique<RealProgram>(masterDir, QStringList{"-InhibitShutdown"}, In(nets, "m"));
    RealProgram service(slaveDir, {}, In(nets, "s"), env, true);

    ASSERT_TRUE(slaveDir.WaitForLog("Comms: -OK-", 15s)) << service.ErrorOutput();
    master.reset(); // the master's computer goes
    EXPECT_TRUE(service.WaitForError(
        "<4>Communications with the master lost: the computer will Power Off in 5 seconds", 20s))
        << service.ErrorOutput();
    // Asked from a shell, the service says it counts down.
    QProcess ctl;
    ctl.setProcessEnvironment(env);
    ctl.start(QString::fromStdString(std::string(TARNIX_BIN_DIR) + "/tarnixctl"), {"status", "--json"});
    ASSERT_TRUE(ctl.waitForFinished(10000));
    const std::string status = ctl.readAllStandardOutput().toStdString();
    EXPECT_EQ(ctl.exitCode(), 0) << status << ctl.readAllStandardError().toStdString();
    EXPECT_NE(status.find("\"phase\":\"Countdown\""), std::string::npos) << status;
    EXPECT_TRUE(service.WaitForError("<2>Countdown expired: asking logind to act (action code 12)", 15s))
        << service.ErrorOutput();
    EXPECT_TRUE(service.WaitForEnd(10s));
    EXPECT_EQ(service.ExitCode(), 0);
    EXPECT_NE(ReadFile(logindLog).find("PowerOffWithFlags 0"), std::string::npos) << ReadFile(logindLog);
}

// A computer without a display runs the service: it links no Qt Gui and no Widgets.
TEST(Service, NeedsNoDisplay) {
    const std::string command = "ldd " + std::string(TARNIX_BIN_DIR) + "/tarnixd";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    ASSERT_NE(pipe, nullptr);
    std::string libraries;
    char buffer[512];
    while (std::fgets(buffer, sizeof(buffer), pipe.get()) != nullptr)
        libraries += buffer;
    for (const char* needed : {"libQt6Core", "libQt6Network", "libQt6DBus"})
        EXPECT_NE(libraries.find(needed), std::string::npos) << needed << "\n" << libraries;
    for (const char* absent : {"libQt6Gui", "libQt6Widgets"})
        EXPECT_EQ(libraries.find(absent), std::string::npos) << absent << "\n" << libraries;
}

} // namespace
} // namespace tarnix::e2e
