// The warning to the logged-in terminals, written to a terminal of the test's own that a login
// record of the test's own names: nobody else's terminal is ever written to.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
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

TEST(TerminalWall, WritesToEveryLoggedInTerminalOnlyOnce) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) GTEST_SKIP() << "no terminals here";
    const std::string device = ::ptsname(master);
    ASSERT_TRUE(device.starts_with("/dev/"));
    const int slave = ::open(device.c_str(), O_RDWR | O_NOCTTY); // a terminal needs its far end open
    ASSERT_GE(slave, 0);

    QTemporaryDir folder;
    const std::string records = folder.path().toStdString() + "/utmp";
    {
        std::ofstream out(records, std::ios::binary);
        for (const utmpx& entry :
             {Record(USER_PROCESS, device.substr(5)), Record(USER_PROCESS, device.substr(5)),
              Record(DEAD_PROCESS, "pts/999"), Record(USER_PROCESS, "../../etc/x")})
            out.write(reinterpret_cast<const char*>(&entry), sizeof(entry));
    }
    TerminalWall(records).Broadcast("Tarnix Slave: the countdown was cancelled.");
    const std::string seen = ReadAvailable(master);
    EXPECT_NE(seen.find("Tarnix Slave: the countdown was cancelled."), std::string::npos) << seen;
    EXPECT_EQ(seen.find("cancelled.", seen.find("cancelled.") + 1), std::string::npos) << "once per terminal";
    ::close(slave);
    ::close(master);
}

} // namespace
} // namespace tarnix
