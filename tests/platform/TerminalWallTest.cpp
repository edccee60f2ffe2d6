// The warning to the logged-in terminals, written to a terminal of the test's own that a login
// record of the test's own names: nobody else's terminal is ever written to.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>
#include <utmpx.h>

#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/TerminalWall.h"

namespace tarnix {
namespace {

utmpx Record(short type, const std::string& line) {
    utmpx entry{};
    entry.ut_type = type;
    entry.ut_pid = ::getpid();
    std::strncpy(entry.ut_line, line.c_str(), sizeof(entry.ut_line));
    std::strncpy(entry.ut_user, "someone", sizeof(entry.ut_user));
    return entry;
}

std::string ReadAvailable(int fd) {
    std::string text;
    char buffer[512];
    pollfd ready{fd, POLLIN, 0};
    while (::poll(&ready, 1, 200) > 0) {
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

// A terminal of the test's own, and login records of the test's own that name it.
class TerminalWallTest : public ::testing::Test {
protected:
    void SetUp() override {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            GTEST_SKIP() << "no terminals here";
        device = ::ptsname(master);
        ASSERT_TRUE(device.starts_with("/dev/"));
        slave = ::open(device.c_str(), O_RDWR | O_NOCTTY); // a terminal needs its far end open
        ASSERT_GE(slave, 0);
    }
    void TearDown() override {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
    std::string Records(std::initializer_list<utmpx> entries) const {
        const std::string records = folder.path().toStdString() + "/utmp";
        std::ofstream out(records, std::ios::binary);
        for (const utmpx& entry : entries)
            out.write(reinterpret_cast<const char*>(&entry), sizeof(entry));
        return records;
    }

    int master = -1;
    int slave = -1;
    std::string device;
    QTemporaryDir folder;
};

TEST_F(TerminalWallTest, WritesToEveryLoggedInTerminalOnlyOnce) {
    const std::string records =
        Records({Record(USER_PROCESS, device.substr(5)), Record(USER_PROCESS, device.substr(5)),
                 Record(DEAD_PROCESS, "pts/999"), Record(USER_PROCESS, "../../etc/x")});
    TerminalWall(records).Broadcast("Tarnix Slave: the countdown was cancelled.");
    const std::string seen = ReadAvailable(master);
    EXPECT_NE(seen.find("Tarnix Slave: the countdown was cancelled."), std::string::npos) << seen;
    EXPECT_EQ(seen.find("cancelled.", seen.find("cancelled.") + 1), std::string::npos) << "once per terminal";
}

// Root's and the group's members are told they can cancel; everyone else who can. As root the
// terminal is given to nobody, so the owner is never root and the group decides.
TEST_F(TerminalWallTest, AWarningEndsInTheAdviceForTheTerminalsOwner) {
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    if (::geteuid() == 0) {
        ASSERT_EQ(::fchown(slave, owner, static_cast<gid_t>(-1)), 0);
    }
    const passwd* user = ::getpwuid(owner);
    const group* primary = user != nullptr ? ::getgrgid(user->pw_gid) : nullptr;
    ASSERT_NE(primary, nullptr) << "the owner's group has no entry";
    const std::string records = Records({Record(USER_PROCESS, device.substr(5))});
    const struct {
        std::string group;
        const char* told;
        const char* notTold;
    } cases[] = {{primary->gr_name, "You can", "Root can"}, {"no-such-group-here", "Root can", "You can"}};
    for (const auto& c : cases) {
        TerminalWall(records, c.group).Warn("Countdown.", "You can cancel it.", "Root can cancel it.");
        const std::string seen = ReadAvailable(master);
        EXPECT_NE(seen.find(std::string("Countdown. ") + c.told + " cancel it."), std::string::npos) << seen;
        EXPECT_EQ(seen.find(c.notTold), std::string::npos) << seen;
    }
}

} // namespace
} // namespace tarnix
