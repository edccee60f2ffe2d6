#include "platform/TerminalWall.h"

#include <fcntl.h>
#include <unistd.h>
#include <utmpx.h>

#include <cstring>
#include <set>

#include "common/base/AtomicFile.h"

namespace tarnix {

TerminalWall::TerminalWall(std::string utmpFile) : utmpFile_(std::move(utmpFile)) {}

void TerminalWall::Broadcast(const std::string& text) {
    std::set<std::string> terminals;
    if (!utmpFile_.empty() && ::utmpxname(utmpFile_.c_str()) != 0) return;
    ::setutxent();
    while (const utmpx* entry = ::getutxent()) {
        if (entry->ut_type != USER_PROCESS || entry->ut_line[0] == '\0') continue;
        const std::string line(entry->ut_line, ::strnlen(entry->ut_line, sizeof(entry->ut_line)));
        if (line == "." || line == "..") continue;
        if (line.find('/') == std::string::npos || line.starts_with("pts/")) terminals.insert(line);
    }
    ::endutxent();
    const std::string message = "\r\n" + text + "\r\n";
    for (const std::string& line : terminals) {
        const std::string device = "/dev/" + line;
        const int fd = ::open(device.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        (void)WriteAll(fd, message);
        ::close(fd);
    }
}

} // namespace tarnix
