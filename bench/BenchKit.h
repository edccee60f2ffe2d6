#pragma once

// What the benches share: signals, pauses, /proc readings, child programs in folders of their
// own, sockets and worker threads.

#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <netinet/udp.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

inline constexpr double kSettleSeconds = 3;
inline constexpr double kIdleSlaveSeconds = 5;
inline constexpr long kMaxFloodDatagrams = 50'000'000;
inline constexpr const char* kPoll = "<TNA100>";
inline constexpr const char* kErrorReply = "<TNE100>";

inline std::atomic<bool> g_stop{false}; // Ctrl+C or a termination signal: unwind and clean up

inline void OnSignal(int) {
    g_stop = true;
}

// Sleeps, but returns false at once when asked to stop.
inline bool Pause(double seconds) {
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        if (g_stop) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(50ms, end - Clock::now()));
    }
    return !g_stop;
}

// Waits up to five seconds for a file to appear (a socket a child binds); false when it did not.
inline bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 100 && !g_stop; ++i) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

inline double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string LoadAverage() {
    std::istringstream in(ReadFile("/proc/loadavg"));
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// ---- What /proc says about a process ----------------------------------------------------------

struct Usage {
    double statMs = 0;    // utime + stime, in clock ticks turned into ms (10 ms steps)
    double runtimeMs = 0; // the scheduler's run time of all threads, in ns turned into ms
    long switches = 0;    // voluntary + involuntary context switches of all threads
    int threads = 0;
};

inline long StatusField(const std::string& status, const std::string& key) {
    const std::size_t at = status.find("\n" + key + ":");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + key.size() + 2);
}

inline Usage UsageOf(pid_t pid) {
    Usage usage;
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::string stat = ReadFile(proc + "/stat");
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd != std::string::npos) {
        // After the name come state (field 3) and so on; utime and stime are fields 14 and 15.
        std::istringstream fields(stat.substr(nameEnd + 2));
        std::string field;
        double ticks = 0;
        for (int n = 3; n <= 15 && fields >> field; ++n)
            if (n >= 14) ticks += std::atof(field.c_str());
        usage.statMs = ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    if (DIR* tasks = ::opendir((proc + "/task").c_str())) {
        while (const dirent* entry = ::readdir(tasks)) {
            if (entry->d_name[0] == '.') continue;
            const std::string task = proc + "/task/" + entry->d_name;
            const std::string status = "\n" + ReadFile(task + "/status");
            usage.switches += StatusField(status, "voluntary_ctxt_switches") +
                              StatusField(status, "nonvoluntary_ctxt_switches");
            usage.runtimeMs += std::atof(ReadFile(task + "/schedstat").c_str()) / 1e6;
            ++usage.threads;
        }
        ::closedir(tasks);
    }
    return usage;
}

inline double RssMiB(pid_t pid) {
    return static_cast<double>(
               StatusField("\n" + ReadFile("/proc/" + std::to_string(pid) + "/status"), "VmRSS")) /
           1024.0;
}

// The receive queue and the datagrams the kernel dropped for want of buffer space, of the UDP
// socket bound to this port.
struct SocketCounters {
    bool found = false;
    long queued = 0; // bytes
    long drops = 0;
};

inline SocketCounters CountersOfPort(std::uint16_t port) {
    SocketCounters counters;
    std::istringstream table(ReadFile("/proc/net/udp"));
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, field;
        fields >> slot >> local >> remote >> state >> queues;
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos || std::stoul(local.substr(colon + 1), nullptr, 16) != port) continue;
        std::string last;
        while (fields >> field)
            last = field;
        counters.found = true;
        counters.queued += std::stol(queues.substr(queues.find(':') + 1), nullptr, 16);
        counters.drops += std::atol(last.c_str());
    }
    return counters;
}

// ---- Children -------------------------------------------------------------------------------

// What a child's environment changes from this harness's: a value to set, or none to remove.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

inline std::vector<std::string> EnvironmentWith(const EnvironmentChanges& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!changes.contains(text.substr(0, text.find('=')))) entries.push_back(text);
    }
    for (const auto& [name, value] : changes)
        if (value) entries.push_back(name + "=" + *value);
    return entries;
}

// A program started in its own working folder, offscreen; ended (and reaped) when it goes.
class Child {
public:
    Child(const std::string& binary, const std::vector<std::string>& arguments, const std::string& folder,
          const EnvironmentChanges& changes = {}) {
        // Made before the fork: the child of a process with threads may only call what is safe
        // after it, until it execs.
        std::vector<std::string> environment = EnvironmentWith(changes);
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ != 0) return;
        // Should this harness die without cleaning up, the child must not outlive it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent || ::chdir(folder.c_str()) != 0) ::_exit(127);
        const int output = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (output >= 0) {
            ::dup2(output, 1);
            ::dup2(output, 2);
        }
        ::execve(binary.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        pid_ = -1;
        return false;
    }
    void Stop() {
        if (!Running()) return;
        ::kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + 5s;
        while (Running() && Clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        if (!Running()) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// A program folder made from dist/, with the configuration given (lines end in CR LF).
class ProgramFolder {
public:
    ProgramFolder(const std::string& iniName, const std::vector<std::string>& lines) {
        fs::copy(TARNIX_DIST_DIR, Root(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        fs::create_directories(Root() + "/Log");
        std::ofstream ini(Root() + "/Data/" + iniName, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines)
            ini << line << "\r\n";
    }
    bool Valid() const { return dir_.isValid(); }
    std::string Root() const { return dir_.path().toStdString(); }

    // The "Enter" lines of the log other than "Enter Run", and whether "Enter Run" came at all.
    std::vector<std::string> UnexpectedEnterLines(const std::string& logName, bool& enteredRun) const {
        std::vector<std::string> unexpected;
        enteredRun = false;
        for (const LogLine& line : LogLines(logName)) {
            if (line.columns.size() < 3 || line.columns[1] != "Enter") continue;
            if (line.columns[2] == "Run")
                enteredRun = true;
            else
                unexpected.push_back(line.text);
        }
        return unexpected;
    }

    // How many seconds of Run supervision the log holds (a "Run" line each, at logging level
    // Full) with a time stamp from `from` to `to`.
    int RunSecondsLogged(const std::string& logName, std::time_t from, std::time_t to) const {
        int seconds = 0;
        for (const LogLine& line : LogLines(logName)) {
            if (line.columns.size() < 2 || line.columns[1] != "Run") continue;
            std::tm stamp{};
            if (::strptime(line.columns[0].c_str(), "%d-%b-%y %H:%M:%S", &stamp) == nullptr) continue;
            stamp.tm_isdst = -1;
            const std::time_t at = std::mktime(&stamp);
            seconds += at >= from && at <= to ? 1 : 0;
        }
        return seconds;
    }

private:
    struct LogLine {
        std::string text;
        std::vector<std::string> columns; // trimmed, without the marks of a test run
    };
    std::vector<LogLine> LogLines(const std::string& logName) const {
        std::vector<LogLine> lines;
        std::istringstream log(ReadFile(Root() + "/Log/" + logName));
        std::string text;
        while (std::getline(log, text)) {
            if (!text.empty() && text.back() == '\r') text.pop_back();
            LogLine line{text, {}};
            std::istringstream split(text);
            for (std::string column; std::getline(split, column, ',');) {
                column.erase(0, column.find_first_not_of(" *"));
                column.erase(column.find_last_not_of(' ') + 1);
                line.columns.push_back(column);
            }
            lines.push_back(std::move(line));
        }
        return lines;
    }

    QTemporaryDir dir_{QDir::tempPath() + "/tarnix-bench-XXXXXX"};
};

// ---- Sockets --------------------------------------------------------------------------------

inline sockaddr_in Address(const char* ip, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &address.sin_addr);
    return address;
}

class Socket {
public:
    Socket(const char* ip, std::uint16_t port) : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const sockaddr_in own = Address(ip, port);
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&own), sizeof own) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void SendTo(const std::string& text, const sockaddr_in& to) const {
        ::sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

private:
    int fd_;
};

// The first of `count` consecutive UDP ports that are all free, in a range of its own.
inline std::optional<std::uint16_t> FreePorts(int count) {
    const int start = 20000 + static_cast<int>(::getpid() % 1000) * 10;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int first = 20000 + (start - 20000 + attempt * 10) % 10000;
        bool free = true;
        for (int port = first; free && port < first + count; ++port)
            free = Socket("0.0.0.0", static_cast<std::uint16_t>(port)).Valid();
        if (free) return static_cast<std::uint16_t>(first);
    }
    return std::nullopt;
}

// A worker thread that is told to stop and joined when it goes.
class Worker {
public:
    template <typename F> explicit Worker(F body) : thread_([this, body] { body(stop_); }) {}
    ~Worker() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace bench
