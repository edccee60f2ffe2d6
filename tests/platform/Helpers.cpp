#include "Helpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>

#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnix::test {

bool LocalhostResolves() {
    // Read the hosts file rather than ask the resolver: without an entry there the question
    // would go to a name server.
    std::ifstream hosts("/etc/hosts");
    std::string line;
    while (std::getline(hosts, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string address, name;
        if (!(words >> address) || address.rfind("127.", 0) != 0) continue;
        while (words >> name)
            if (name == "localhost") return true;
    }
    return false;
}

bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < timeout.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

Child SpawnSelf(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);

    std::vector<std::string> all{"/proc/self/exe"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    Child child;
    if (::posix_spawn(&child.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    child.out = pipeFds[0];
    return child;
}

std::string ReadLine(const Child& child, std::chrono::milliseconds timeout) {
    std::string line;
    char c = 0;
    pollfd readable{child.out, POLLIN, 0};
    while (::poll(&readable, 1, static_cast<int>(timeout.count())) == 1 && ::read(child.out, &c, 1) == 1) {
        if (c == '\n') break;
        line += c;
    }
    return line;
}

int WaitForExit(Child& child) {
    int status = 0;
    if (child.pid > 0 && ::waitpid(child.pid, &status, 0) != child.pid) status = -1;
    if (child.out >= 0) ::close(child.out);
    child = {};
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::pair<std::string, int> RunSelf(const std::vector<std::string>& args) {
    Child child = SpawnSelf(args);
    std::string output;
    char buffer[512];
    ssize_t length = 0;
    while (child.out >= 0 && (length = ::read(child.out, buffer, sizeof buffer)) > 0)
        output.append(buffer, length);
    const int code = WaitForExit(child);
    return {output, code};
}

} // namespace tarnix::test
