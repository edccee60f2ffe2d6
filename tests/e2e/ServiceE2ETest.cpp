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

#include "RealProgram.h"

namespace tarnix::e2e {
namespace {

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

    const auto first = notify.Receive(2500ms);
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
    // So does a desktop program: it shows its notice and neither starts nor logs.
    ProgramDir desktopDir(true, testing::MasterSettings());
    RealProgram desktop(desktopDir, {}, {}, env);
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(desktop.Running()) << "the notice keeps the process until OK";
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

} // namespace
} // namespace tarnix::e2e
