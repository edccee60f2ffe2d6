#include "platform/Priority.h"

#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

namespace tarnix {

namespace {

// Linux keeps a nice value per thread, and PRIO_PROCESS addresses one thread by its id.
void RaiseThreadTo(pid_t tid, int nice) {
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (current == -1 && errno != 0) return;
    if (current <= nice) return;
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

void RaiseAllThreadsTo(int nice) {
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) {
        RaiseThreadTo(::getpid(), nice);
        return;
    }
    while (const dirent* entry = ::readdir(tasks)) {
        const std::string_view name(entry->d_name);
        pid_t tid = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), tid);
        if (error == std::errc() && end == name.data() + name.size()) RaiseThreadTo(tid, nice);
    }
    ::closedir(tasks);
}

} // namespace

void RaiseProcessPriority() {
    RaiseAllThreadsTo(kProcessNice);
    RaiseThreadTo(::gettid(), kThreadNice);
}

} // namespace tarnix
