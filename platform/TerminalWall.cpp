#include "platform/TerminalWall.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utmpx.h>

#include <cstring>
#include <set>

#include "common/base/AtomicFile.h"
#include "platform/UserGroups.h"

namespace tarnix {

TerminalWall::TerminalWall(std::string utmpFile, std::string operatorGroup)
    : utmpFile_(std::move(utmpFile)), operatorGroup_(std::move(operatorGroup)) {}

void TerminalWall::Broadcast(const std::string& text) {
    Write(text, nullptr, nullptr);
}

void TerminalWall::Warn(const std::string& text, const std::string& forOperators,
                        const std::string& forOthers) {
    Write(text, &forOperators, &forOthers);
}

void TerminalWall::Write(const std::string& text, const std::string* forOperators,
                         const std::string* forOthers) {
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
    for (const std::string& line : terminals) {
        const std::string device = "/dev/" + line;
        const int fd = ::open(device.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        std::string message = "\r\n" + text;
        if (forOperators != nullptr) {
            struct stat owner {};
            const bool operatorThere =
                ::fstat(fd, &owner) == 0 && IsRootOrMember(owner.st_uid, operatorGroup_);
            message += " " + (operatorThere ? *forOperators : *forOthers);
        }
        (void)WriteAll(fd, message + "\r\n");
        ::close(fd);
    }
}

} // namespace tarnix
