// What the real programs cost, measured from outside on loopback:
//
//  1. Idle: the desktop master and the service master (tarnixd), each supervising four peers
//     (a responder here plays the four slaves for both), against bench_floor, a minimal Qt
//     Widgets program with a tray icon and a 500 ms timer, and against the same floor doing the
//     master's datagram work alone each tick, all running at the same time: CPU, wakeups
//     (context switches of all threads) and RSS.
//  2. Flood: a slave under a flood of malformed datagrams from its master's address, then of
//     well-formed ones from a stranger, while this program polls it as its master would: the
//     datagrams it absorbs per second, its CPU per datagram, and whether it stayed in Run.
//
//   cost_bench [idle seconds (default 20)] [flood seconds (default 10)]
//
// Figures are printed, never judged. Both programs run with -InhibitShutdown, so even a
// countdown that expired would only be simulated.

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

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr double kSettleSeconds = 3;
constexpr double kIdleSlaveSeconds = 5;
constexpr long kMaxFloodDatagrams = 50'000'000;
constexpr const char* kPoll = "<TNA100>";
constexpr const char* kErrorReply = "<TNE100>";

std::atomic<bool> g_stop{false}; // Ctrl+C or a termination signal: unwind and clean up

void OnSignal(int) {
    g_stop = true;
}

// Sleeps, but returns false at once when asked to stop.
bool Pause(double seconds) {
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        if (g_stop) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(50ms, end - Clock::now()));
    }
    return !g_stop;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string LoadAverage() {
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

long StatusField(const std::string& status, const std::string& key) {
    const std::size_t at = status.find("\n" + key + ":");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + key.size() + 2);
}

Usage UsageOf(pid_t pid) {
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

double RssMiB(pid_t pid) {
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

SocketCounters CountersOfPort(std::uint16_t port) {
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

std::vector<std::string> EnvironmentWith(const EnvironmentChanges& changes) {
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

sockaddr_in Address(const char* ip, std::uint16_t port) {
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
std::optional<std::uint16_t> FreePorts(int count) {
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

// ---- 1. Idle master against the floor -------------------------------------------------------

constexpr int kPeerCount = 4; // the peers a master supervises

// The four slaves: each answers a poll from its own address, so the master's port for it
// accepts the answer.
class Responder {
public:
    explicit Responder(std::uint16_t port) {
        for (int k = 1; k <= 4; ++k)
            sockets_.push_back(std::make_unique<Socket>(PeerAddress(k).c_str(), port));
    }
    static std::string PeerAddress(int k) { return "127.0.0." + std::to_string(k + 1); }
    bool Valid() const {
        return std::all_of(sockets_.begin(), sockets_.end(), [](const auto& s) { return s->Valid(); });
    }
    long Answered() const { return answered_; }
    void Serve(const std::atomic<bool>& stop) {
        std::vector<pollfd> fds;
        for (const auto& socket : sockets_)
            fds.push_back({socket->Fd(), POLLIN, 0});
        char buffer[512];
        while (!stop && !g_stop) {
            if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
            for (const pollfd& fd : fds) {
                if (!(fd.revents & POLLIN)) continue;
                sockaddr_in from{};
                socklen_t length = sizeof from;
                if (::recvfrom(fd.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) <
                    0)
                    continue;
                // A slave in Run with power off configured.
                ::sendto(fd.fd, "<TNP100>", 8, 0, reinterpret_cast<const sockaddr*>(&from), length);
                ++answered_;
            }
        }
    }

private:
    std::vector<std::unique_ptr<Socket>> sockets_;
    std::atomic<long> answered_{0};
};

std::vector<std::string> MasterIni(std::uint16_t port1, std::uint16_t port2) {
    std::vector<std::string> lines{
        "# Tarnix Version 4.2", "# Configuration File", "# cost_bench", "", "[Comms]", "DName=1",
        "CName0=Bench master"};
    for (int k = 1; k <= 4; ++k)
        lines.push_back("CName" + std::to_string(k) + "=Peer " + std::to_string(k));
    for (int k = 1; k <= 4; ++k)
        lines.push_back("IPAdd" + std::to_string(k) + "=" + Responder::PeerAddress(k));
    lines.insert(lines.end(),
                 {"Port1=" + std::to_string(port1), "Port2=" + std::to_string(port2), "", "[Run]",
                  "CPUDelay=60", "LogLevel=2", "LogName=TarnixM.log", "LogPath=Log\\", "RunOnTop=1",
                  "StartDelay=1", "StartMin=1", "", "[Shutdown]", "ShutTime=60", "ShutType=1", ""});
    return lines;
}

// The service master's environment: no system bus it could reach (its power layer would talk to
// the machine's logind there), and no service manager to notify.
EnvironmentChanges ServiceEnvironment(const std::string& folder) {
    return {{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + folder + "/no-system-bus"},
            {"NOTIFY_SOCKET", std::nullopt},
            {"WATCHDOG_USEC", std::nullopt},
            {"WATCHDOG_PID", std::nullopt}};
}

// Prints whether a master's log shows it entered Run and never left it, and why not.
void PrintStayedInRun(const char* who, const ProgramFolder& folder) {
    bool enteredRun = false;
    const std::vector<std::string> unexpected = folder.UnexpectedEnterLines("TarnixM.log", enteredRun);
    std::printf("%s stayed in Run: %s\n", who, enteredRun && unexpected.empty() ? "yes" : "no");
    if (!enteredRun) std::printf("  no \"Enter Run\" in its log\n");
    for (const std::string& line : unexpected)
        std::printf("  log: %s\n", line.c_str());
}

bool IdleBench(const std::string& bin, double seconds) {
    std::printf(
        "== Idle: the desktop master and the service master, each supervising four peers on loopback,\n"
        "   against the floor\n");
    // Port1 is where the responder listens for both masters (it answers whoever polled it); each
    // master binds four ports of its own from its Port2 on.
    const std::optional<std::uint16_t> ports = FreePorts(1 + 2 * kPeerCount);
    if (!ports) return std::printf("no %d free consecutive ports\n", 1 + 2 * kPeerCount), false;
    const std::uint16_t port1 = *ports, port2 = static_cast<std::uint16_t>(*ports + 1),
                        servicePort2 = static_cast<std::uint16_t>(*ports + 1 + kPeerCount);
    Responder responder(port1);
    if (!responder.Valid()) return std::printf("cannot bind the responder on 127.0.0.2-5:%u\n", port1), false;
    ProgramFolder masterFolder("TarnixM.ini", MasterIni(port1, port2));
    ProgramFolder serviceFolder("TarnixM.ini", MasterIni(port1, servicePort2));
    ProgramFolder floorFolder("floor.ini", {});
    ProgramFolder pollingFolder("floor.ini", {});
    if (!masterFolder.Valid() || !serviceFolder.Valid() || !floorFolder.Valid() || !pollingFolder.Valid())
        return std::printf("cannot make the folders\n"), false;

    Worker serving([&](const std::atomic<bool>& stop) { responder.Serve(stop); });
    Child master(bin + "/TarnixM", {"-InhibitShutdown", "-AllowMulti"}, masterFolder.Root());
    Child service(bin + "/tarnixd", {"--master", "-InhibitShutdown", "-AllowMulti"}, serviceFolder.Root(),
                  ServiceEnvironment(serviceFolder.Root()));
    Child floor(bin + "/bench_floor", {}, floorFolder.Root());
    Child polling(bin + "/bench_floor", {"--polls", std::to_string(port1)}, pollingFolder.Root());
    if (!Pause(kSettleSeconds)) return false;
    bool early = false;
    for (const auto& [who, child, folder] :
         {std::tuple{"desktop master", &master, &masterFolder},
          std::tuple{"service master", &service, &serviceFolder}, std::tuple{"floor", &floor, &floorFolder},
          std::tuple{"polling floor", &polling, &pollingFolder}}) {
        if (child->Running()) continue;
        std::printf("the %s ended early (folder %s; its output in stderr.txt there)\n", who,
                    folder->Root().c_str());
        early = true;
    }
    if (early) return false;

    const std::string loadBefore = LoadAverage();
    const Usage master0 = UsageOf(master.Pid()), service0 = UsageOf(service.Pid()),
                floor0 = UsageOf(floor.Pid()), polling0 = UsageOf(polling.Pid());
    const long answered0 = responder.Answered();
    const Clock::time_point start = Clock::now();
    if (!Pause(seconds)) return false;
    const Usage master1 = UsageOf(master.Pid()), service1 = UsageOf(service.Pid()),
                floor1 = UsageOf(floor.Pid()), polling1 = UsageOf(polling.Pid());
    const double elapsed = Seconds(Clock::now() - start);
    const long answered = responder.Answered() - answered0;
    const double masterRss = RssMiB(master.Pid()), serviceRss = RssMiB(service.Pid()),
                 floorRss = RssMiB(floor.Pid()), pollingRss = RssMiB(polling.Pid());
    const std::string loadAfter = LoadAverage();
    const bool serviceRanThrough = service.Running();
    master.Stop();
    service.Stop();
    floor.Stop();
    polling.Stop();

    struct Row {
        const char* name;
        double master, service, floor, polling;
        const char* format;
    };
    const auto rate = [elapsed](double before, double after) { return (after - before) / elapsed; };
    const Row rows[] = {
        {"CPU, utime+stime (ms/s)", rate(master0.statMs, master1.statMs),
         rate(service0.statMs, service1.statMs), rate(floor0.statMs, floor1.statMs),
         rate(polling0.statMs, polling1.statMs), "%10.2f"},
        {"CPU, scheduler run time (ms/s)", rate(master0.runtimeMs, master1.runtimeMs),
         rate(service0.runtimeMs, service1.runtimeMs), rate(floor0.runtimeMs, floor1.runtimeMs),
         rate(polling0.runtimeMs, polling1.runtimeMs), "%10.2f"},
        {"wakeups, all threads (/s)", rate(master0.switches, master1.switches),
         rate(service0.switches, service1.switches), rate(floor0.switches, floor1.switches),
         rate(polling0.switches, polling1.switches), "%10.1f"},
        {"RSS (MiB)", masterRss, serviceRss, floorRss, pollingRss, "%10.1f"},
    };
    std::printf("window %.1f s after %.0f s settling; load average %s at start, %s at end\n", elapsed,
                kSettleSeconds, loadBefore.c_str(), loadAfter.c_str());
    std::printf("%-32s%10s%10s%10s%10s%14s%16s%16s%17s\n", "", "master", "service", "floor", "polling",
                "master/floor", "master/polling", "service/master", "service/polling");
    const auto ratio = [](double a, double b) {
        char text[32] = "-";
        if (b > 0) std::snprintf(text, sizeof text, "%.2f", a / b);
        return std::string(text);
    };
    for (const Row& row : rows) {
        std::printf("%-32s", row.name);
        for (const double value : {row.master, row.service, row.floor, row.polling})
            std::printf(row.format, value);
        std::printf("%14s%16s%16s%17s\n", ratio(row.master, row.floor).c_str(),
                    ratio(row.master, row.polling).c_str(), ratio(row.service, row.master).c_str(),
                    ratio(row.service, row.polling).c_str());
    }
    std::printf("%-32s%10d%10d%10d%10d\n", "threads", master1.threads, service1.threads, floor1.threads,
                polling1.threads);
    std::printf(
        "(utime+stime moves in whole clock ticks of %.0f ms: below about 1 ms/s it cannot tell much;\n"
        " the scheduler's run time, summed over the threads alive at the end, is exact)\n",
        1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)));
    std::printf(
        "(master: TarnixM, the desktop master; service: tarnixd --master, the same logic headless)\n");
    std::printf("(polling: the floor that also reads four sockets and sends four polls each tick, the\n"
                " master's datagrams and nothing else; on loopback the sender pays for the peer's\n"
                " receive path too)\n");
    const Row& runTime = rows[1];
    const Row& rss = rows[3];
    std::printf("service aims (CPU by the scheduler's run time):\n");
    std::printf("  CPU service/desktop master %8s  (aim < 1)\n",
                ratio(runTime.service, runTime.master).c_str());
    std::printf("  CPU service/polling floor  %8s  (aim <= 1.2)\n",
                ratio(runTime.service, runTime.polling).c_str());
    std::printf("  RSS service/desktop master %8s  (aim < 0.5)\n", ratio(rss.service, rss.master).c_str());
    std::printf("polls answered by the responder: %ld (%.1f/s; the two masters' and the polling floor's make "
                "24/s)\n",
                answered, static_cast<double>(answered) / elapsed);
    PrintStayedInRun("master", masterFolder);
    PrintStayedInRun("service", serviceFolder);
    if (!serviceRanThrough) std::printf("  the service ended during the window\n");
    return true;
}

// ---- 2. Slave under a flood -----------------------------------------------------------------

const char* const kMalformed[] = {"<TNA10>",
                                  "<tna100>",
                                  "<TNA199>",
                                  "<TNA100",
                                  "",
                                  "GET / HTTP/1.0\r\n\r\n",
                                  "<TNA1xx0123456789012345678901234567890123456789>"};

// This harness as the slave's master: polls twice a second and reads every reply, the error
// replies to the flood included, so that its own buffer never hides a status reply.
class Poller {
public:
    struct Reply {
        Clock::time_point at;
        char state;
    };

    Poller(std::uint16_t ownPort, std::uint16_t slavePort)
        : socket_("127.0.0.1", ownPort), slave_(Address("127.0.0.1", slavePort)) {
        const int size = 16 << 20;
        // Beyond net.core.rmem_max only with the right to; the plain request is capped there.
        if (::setsockopt(socket_.Fd(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
            ::setsockopt(socket_.Fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        const timeval timeout{0, 100'000};
        ::setsockopt(socket_.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    bool Valid() const { return socket_.Valid(); }

    void Poll(const std::atomic<bool>& stop) {
        for (Clock::time_point next = Clock::now(); !stop && !g_stop; next += 500ms) {
            std::this_thread::sleep_until(next);
            socket_.SendTo(kPoll, slave_);
            std::lock_guard lock(mutex_);
            polls_.push_back(Clock::now());
        }
    }
    void Read(const std::atomic<bool>& stop) {
        constexpr int kBatch = 256;
        char buffers[kBatch][64];
        mmsghdr messages[kBatch]{};
        iovec vectors[kBatch]{};
        for (int i = 0; i < kBatch; ++i) {
            vectors[i] = {buffers[i], sizeof buffers[i]};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        // Like the real master, which reads its sockets when its timer ticks, this reader is
        // not waiting on the socket when a reply arrives; one that waits would make every reply
        // of the slave pay for waking it. It drains the socket every 2 ms, often enough for its
        // buffer and for the timing of the status replies.
        while (!stop && !g_stop) {
            const int count = ::recvmmsg(socket_.Fd(), messages, kBatch, MSG_DONTWAIT, nullptr);
            if (count <= 0) std::this_thread::sleep_for(2ms);
            const Clock::time_point now = Clock::now();
            for (int i = 0; i < count; ++i) {
                const std::string text(buffers[i], messages[i].msg_len);
                if (text == kErrorReply) {
                    ++errorReplies_;
                } else if (text.size() >= 5) {
                    std::lock_guard lock(mutex_);
                    replies_.push_back({now, text[4]});
                }
            }
        }
    }
    long ErrorReplies() const { return errorReplies_; }
    std::vector<Reply> Replies() const {
        std::lock_guard lock(mutex_);
        return replies_;
    }
    long PollsBetween(Clock::time_point from, Clock::time_point to) const {
        std::lock_guard lock(mutex_);
        return std::count_if(polls_.begin(), polls_.end(), [&](auto at) { return at >= from && at < to; });
    }
    bool SlaveInRun() const {
        std::lock_guard lock(mutex_);
        return !replies_.empty() && replies_.back().state == '1';
    }

private:
    Socket socket_;
    sockaddr_in slave_;
    mutable std::mutex mutex_;
    std::vector<Clock::time_point> polls_;
    std::vector<Reply> replies_;
    std::atomic<long> errorReplies_{0};
};

struct FloodResult {
    bool ran = false;
    long sent = 0;
    double floodSeconds = 0;
    long dropped = 0;
    double slaveCpuMs = 0;
    long errorReplies = 0;
    long ownDrops = 0; // replies this harness's own socket dropped: these would be its fault
    long polls = 0, statusReplies = 0;
    bool stayedInRun = false;
    std::string notInRun; // why not, when it did not
    double longestGapMs = 0;
    int wholeSeconds = 0, runSecondsLogged = 0;           // of the flood, and those the slave supervised
    double idleMsPerSecond = 0, idleWakeupsPerSecond = 0; // before the flood
};

// Sends `copies` of one datagram in one system call: as one segmented send (UDP_SEGMENT), which
// spares the flooder the per-datagram cost of the send path, or else one message each. Returns
// how many left.
class Burst {
public:
    static constexpr int kCopies = 64;

    explicit Burst(const char* text) : size_(std::strlen(text)) {
        for (int i = 0; i < kCopies; ++i) {
            parts_[i] = {const_cast<char*>(text), size_};
            messages_[i].msg_hdr.msg_iov = &parts_[i];
            messages_[i].msg_hdr.msg_iovlen = 1;
        }
    }
    int Send(int fd, bool& segmented) {
        if (segmented && size_ > 0) {
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint16_t))] = {};
            msghdr message{};
            message.msg_iov = parts_;
            message.msg_iovlen = kCopies;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            cmsghdr* const segment = CMSG_FIRSTHDR(&message);
            segment->cmsg_level = SOL_UDP;
            segment->cmsg_type = UDP_SEGMENT;
            segment->cmsg_len = CMSG_LEN(sizeof(std::uint16_t));
            const auto size = static_cast<std::uint16_t>(size_);
            std::memcpy(CMSG_DATA(segment), &size, sizeof size);
            if (::sendmsg(fd, &message, 0) >= 0) return kCopies;
            if (errno != EINVAL && errno != EIO && errno != ENOPROTOOPT && errno != EOPNOTSUPP) return 0;
            segmented = false;
        }
        return std::max(0, ::sendmmsg(fd, messages_, kCopies, 0));
    }

private:
    std::size_t size_;
    iovec parts_[kCopies]{};
    mmsghdr messages_[kCopies]{};
};

// Sends as fast as it can, in bursts of each kind of datagram in turn, from `fromIp` to the
// slave's port, for at most `seconds`.
long Flood(const char* fromIp, std::uint16_t slavePort, bool malformed, double seconds,
           double& floodSeconds) {
    Socket socket(fromIp, 0);
    const sockaddr_in slave = Address("127.0.0.1", slavePort);
    if (!socket.Valid() ||
        ::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&slave), sizeof slave) != 0)
        return 0;
    std::vector<std::unique_ptr<Burst>> bursts;
    if (malformed) {
        for (const char* text : kMalformed)
            bursts.push_back(std::make_unique<Burst>(text));
    } else {
        bursts.push_back(std::make_unique<Burst>(kPoll));
    }
    bool segmented = true;
    long sent = 0;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (std::size_t next = 0; sent < kMaxFloodDatagrams && !g_stop && Clock::now() < end;
         next = (next + 1) % bursts.size())
        sent += bursts[next]->Send(socket.Fd(), segmented);
    floodSeconds = Seconds(Clock::now() - start);
    return sent;
}

std::vector<std::string> SlaveIni(std::uint16_t masterPort, std::uint16_t slavePort) {
    return {"# Tarnix Slave Version 4.2",
            "# Configuration File",
            "# cost_bench",
            "",
            "[Comms]",
            "DName=1",
            "IPAdd=127.0.0.1",
            "Port1=" + std::to_string(masterPort),
            "Port2=" + std::to_string(slavePort),
            "",
            "[Run]",
            "CPUDelay=60",
            "LogLevel=3", // Full: a "Run" line every second of supervision
            "LogName=TarnixS.log",
            "LogPath=Log\\",
            "RunOnTop=1",
            "StartDelay=1",
            "StartMin=1",
            "",
            "[Shutdown]",
            "ShutTime=60",
            "ShutType=1",
            ""};
}

FloodResult FloodBench(const std::string& bin, const char* fromIp, bool malformed, double seconds) {
    FloodResult result;
    const std::optional<std::uint16_t> ports = FreePorts(2);
    if (!ports) return std::printf("no two free consecutive ports\n"), result;
    const std::uint16_t masterPort = *ports, slavePort = static_cast<std::uint16_t>(*ports + 1);
    Poller poller(masterPort, slavePort);
    ProgramFolder folder("TarnixS.ini", SlaveIni(masterPort, slavePort));
    if (!poller.Valid() || !folder.Valid()) return std::printf("cannot bind or make the folder\n"), result;

    Worker reading([&](const std::atomic<bool>& stop) { poller.Read(stop); });
    Child slave(bin + "/TarnixS", {"-InhibitShutdown", "-AllowMulti"}, folder.Root());
    Worker polling([&](const std::atomic<bool>& stop) { poller.Poll(stop); });
    const Clock::time_point deadline = Clock::now() + 15s;
    while (!poller.SlaveInRun() && Clock::now() < deadline && slave.Running())
        if (!Pause(0.1)) return result;
    if (!poller.SlaveInRun())
        return std::printf("the slave did not reach Run (folder %s)\n", folder.Root().c_str()), result;
    if (!Pause(1)) return result; // a few replies in Run before the flood
    // The slave in Run, polled twice a second and nothing else, before the flood starts.
    const Usage idle0 = UsageOf(slave.Pid());
    if (!Pause(kIdleSlaveSeconds)) return result;
    const Usage idle1 = UsageOf(slave.Pid());
    result.idleMsPerSecond = (idle1.runtimeMs - idle0.runtimeMs) / kIdleSlaveSeconds;
    result.idleWakeupsPerSecond = static_cast<double>(idle1.switches - idle0.switches) / kIdleSlaveSeconds;

    const SocketCounters before = CountersOfPort(slavePort), ownBefore = CountersOfPort(masterPort);
    const Usage usage0 = UsageOf(slave.Pid());
    const long errors0 = poller.ErrorReplies();
    const Clock::time_point floodStart = Clock::now();
    const std::time_t wallStart = std::time(nullptr);
    result.sent = Flood(fromIp, slavePort, malformed, seconds, result.floodSeconds);
    const Clock::time_point floodEnd = Clock::now();
    const std::time_t wallEnd = std::time(nullptr);
    // What the buffer held at the end is still the slave's work: let it finish.
    for (const Clock::time_point drained = floodEnd + 3s; Clock::now() < drained;) {
        if (CountersOfPort(slavePort).queued == 0) break;
        if (!Pause(0.01)) return result;
    }
    const Usage usage1 = UsageOf(slave.Pid());
    const SocketCounters after = CountersOfPort(slavePort);
    if (!Pause(1)) return result; // replies to the polls of the flood's last moments
    result.errorReplies = poller.ErrorReplies() - errors0;
    result.ownDrops = CountersOfPort(masterPort).drops - ownBefore.drops;
    result.dropped = after.drops - before.drops;
    result.slaveCpuMs = usage1.runtimeMs - usage0.runtimeMs;

    // The replies to the polls sent during the flood, and the gaps between them, counted from
    // the flood's start to its end.
    const std::vector<Poller::Reply> replies = poller.Replies();
    result.polls = poller.PollsBetween(floodStart, floodEnd);
    Clock::time_point previous = floodStart;
    result.stayedInRun = true;
    for (const Poller::Reply& reply : replies) {
        if (reply.at < floodStart) continue;
        if (reply.at > floodEnd + 500ms) break;
        ++result.statusReplies;
        result.longestGapMs = std::max(result.longestGapMs, Seconds(reply.at - previous) * 1000);
        previous = reply.at;
        if (reply.state != '1') result.stayedInRun = false;
    }
    result.longestGapMs = std::max(result.longestGapMs, Seconds(floodEnd - previous) * 1000);
    if (!result.stayedInRun) result.notInRun = "a status reply with a state other than Run";
    if (result.statusReplies == 0) {
        result.stayedInRun = false;
        result.notInRun = "no status reply during the flood";
    }
    // The seconds that began and ended within the flood: the slave's timer logs each once.
    result.wholeSeconds = static_cast<int>(wallEnd - wallStart);
    result.runSecondsLogged = folder.RunSecondsLogged("TarnixS.log", wallStart + 1, wallEnd);
    bool enteredRun = false;
    for (const std::string& line : folder.UnexpectedEnterLines("TarnixS.log", enteredRun)) {
        result.stayedInRun = false;
        result.notInRun = "log: " + line;
    }
    if (!slave.Running()) {
        result.stayedInRun = false;
        result.notInRun = "the slave ended";
    }
    result.ran = true;
    return result;
}

void PrintFloods(const FloodResult& a, const FloodResult& b, double seconds, const std::string& load) {
    std::printf("\n== Flood: a slave on loopback, %.0f s per run, polled twice a second by its master\n",
                seconds);
    std::printf("load average %s at the end\n", load.c_str());
    std::printf("%-40s%20s%20s\n", "", "malformed from", "well-formed from");
    std::printf("%-40s%20s%20s\n", "", "master 127.0.0.1", "stranger 127.0.0.9");
    auto line = [&](const char* name, const char* format, auto pick) {
        std::printf("%-40s", name);
        for (const FloodResult* r : {&a, &b}) {
            if (!r->ran) {
                std::printf("%20s", "-");
                continue;
            }
            char text[64];
            std::snprintf(text, sizeof text, format, pick(*r));
            std::printf("%20s", text);
        }
        std::printf("\n");
    };
    auto absorbed = [](const FloodResult& r) { return static_cast<double>(r.sent - r.dropped); };
    line("slave idle before, CPU (ms/s)", "%.2f", [](const FloodResult& r) { return r.idleMsPerSecond; });
    line("slave idle before, wakeups (/s)", "%.1f",
         [](const FloodResult& r) { return r.idleWakeupsPerSecond; });
    line("flood time (s)", "%.2f", [](const FloodResult& r) { return r.floodSeconds; });
    line("datagrams sent", "%.0f", [](const FloodResult& r) { return static_cast<double>(r.sent); });
    line("sent per second", "%.0f", [](const FloodResult& r) { return r.sent / r.floodSeconds; });
    line("dropped by the slave's socket buffer", "%.0f",
         [](const FloodResult& r) { return static_cast<double>(r.dropped); });
    line("absorbed per second", "%.0f", [&](const FloodResult& r) { return absorbed(r) / r.floodSeconds; });
    line("slave CPU per absorbed datagram (us)", "%.2f",
         [&](const FloodResult& r) { return absorbed(r) > 0 ? r.slaveCpuMs * 1000 / absorbed(r) : 0; });
    line("slave CPU share (% of one core)", "%.0f",
         [](const FloodResult& r) { return r.slaveCpuMs / 10 / r.floodSeconds; });
    line("error replies received", "%.0f",
         [](const FloodResult& r) { return static_cast<double>(r.errorReplies); });
    line("replies dropped at the master's socket", "%.0f",
         [](const FloodResult& r) { return static_cast<double>(r.ownDrops); });
    line("polls sent during the flood", "%.0f",
         [](const FloodResult& r) { return static_cast<double>(r.polls); });
    line("status replies, flood + 0.5 s after", "%.0f",
         [](const FloodResult& r) { return static_cast<double>(r.statusReplies); });
    line("longest gap between status replies (ms)", "%.0f",
         [](const FloodResult& r) { return r.longestGapMs; });
    std::printf("%-40s", "timer: seconds supervised / in the flood");
    for (const FloodResult* r : {&a, &b}) {
        char text[32] = "-";
        if (r->ran) std::snprintf(text, sizeof text, "%d / %d", r->runSecondsLogged, r->wholeSeconds);
        std::printf("%20s", text);
    }
    std::printf("\n");
    std::printf("%-40s", "stayed in Run");
    for (const FloodResult* r : {&a, &b})
        std::printf("%20s", !r->ran ? "-" : r->stayedInRun ? "yes" : "no");
    std::printf("\n");
    for (const FloodResult* r : {&a, &b})
        if (r->ran && !r->stayedInRun) std::printf("  not in Run: %s\n", r->notInRun.c_str());
}

std::string BinaryFolder(const char* argv0) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return (error ? fs::absolute(argv0) : self).parent_path().string();
}

} // namespace

int main(int argc, char** argv) {
    const double idleSeconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 20;
    const double floodSeconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 10;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string bin = BinaryFolder(argv[0]);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    const bool idle = IdleBench(bin, idleSeconds);
    if (g_stop) return 130;
    const FloodResult a = FloodBench(bin, "127.0.0.1", true, floodSeconds);
    if (g_stop) return 130;
    const FloodResult b = FloodBench(bin, "127.0.0.9", false, floodSeconds);
    if (g_stop) return 130;
    PrintFloods(a, b, floodSeconds, LoadAverage());
    return idle && a.ran && b.ran ? 0 : 1;
}
