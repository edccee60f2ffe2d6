// What the real programs cost, measured from outside on loopback:
//
//  1. Idle: the desktop master and the service master (tarnixd), each supervising four peers
//     (a responder here plays the four slaves for both), against bench_floor, a minimal Qt
//     Widgets program with a tray icon and a 500 ms timer, and against the same floor doing the
//     master's datagram work alone each tick, all running at the same time: CPU, wakeups
//     (context switches of all threads) and RSS.
//     Beside them a keyed desktop master, whose peers (a keyed responder) share its key.
//  2. Flood: a slave under a flood of malformed datagrams from its master's address, then of
//     well-formed ones from a stranger, then a keyed slave under forged keyed datagrams and
//     forged unkeyed resets from its master's address, while this program polls it as its
//     master would: the datagrams it absorbs per second, its CPU per datagram, and whether it
//     stayed in Run.
//
//   cost_bench [idle seconds (default 20)] [flood seconds (default 10)]
//
// Figures are printed, never judged. Both programs run with -InhibitShutdown, so even a
// countdown that expired would only be simulated.

#include "bench/BenchKit.h"
#include "common/link/LinkSeal.h"
#include "platform/SodiumSealing.h"

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

using namespace bench;

// The key of the keyed runs, in their key files and in this harness.
constexpr const char* kKeyDigits = "0f1e2d3c4b5a69788796a5b4c3d2e1f00f1e2d3c4b5a69788796a5b4c3d2e1f0";

tarnix::PeerKey BenchKey() {
    return *tarnix::KeyFromText(kKeyDigits);
}

void WriteKeyFile(const ProgramFolder& folder, const std::string& name) {
    const std::string file = folder.Root() + "/Data/" + name;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << kKeyDigits << "\n";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
}

// One end of a keyed link in this harness, shared by the threads that send and read.
class HarnessSeal {
public:
    explicit HarnessSeal(tarnix::SealSide side) : seal_(side, sealing_, BenchKey()) {}
    std::string Seal(const std::string& frame) {
        std::lock_guard lock(mutex_);
        return seal_.Seal(frame);
    }
    // What to do with a datagram from the peer: the frame it carries when heard; the answer to
    // send when it is out of date.
    struct Opened {
        std::optional<std::string> frame;
        std::optional<std::string> answer;
    };
    Opened Open(const std::string& datagram) {
        std::lock_guard lock(mutex_);
        std::string frame;
        switch (seal_.Open(datagram, frame)) {
        case tarnix::LinkSeal::Verdict::Frame:
            return {frame, std::nullopt};
        case tarnix::LinkSeal::Verdict::Handshake:
            return {std::nullopt, seal_.Answer()};
        default:
            return {};
        }
    }

private:
    tarnix::SodiumSealing sealing_;
    std::mutex mutex_;
    tarnix::LinkSeal seal_;
};

// ---- 1. Idle master against the floor -------------------------------------------------------

constexpr int kPeerCount = 4; // the peers a master supervises

// The four slaves: each answers a poll from its own address, so the master's port for it
// accepts the answer.
class Responder {
public:
    // keyed: each peer seals with the bench's key, as a keyed slave does.
    Responder(std::uint16_t port, bool keyed) {
        for (int k = 1; k <= 4; ++k) {
            sockets_.push_back(std::make_unique<Socket>(PeerAddress(k).c_str(), port));
            seals_.push_back(keyed ? std::make_unique<HarnessSeal>(tarnix::SealSide::Slave) : nullptr);
        }
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
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t got = ::recvfrom(fds[i].fd, buffer, sizeof buffer, 0,
                                               reinterpret_cast<sockaddr*>(&from), &length);
                if (got < 0) continue;
                // A slave in Run with power off configured.
                std::string answer = "<TNP100>";
                if (seals_[i] != nullptr) {
                    const HarnessSeal::Opened opened =
                        seals_[i]->Open(std::string(buffer, static_cast<std::size_t>(got)));
                    if (!opened.frame && !opened.answer) continue;
                    answer = opened.frame ? seals_[i]->Seal(answer) : *opened.answer;
                }
                ::sendto(fds[i].fd, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&from),
                         length);
                ++answered_;
            }
        }
    }

private:
    std::vector<std::unique_ptr<Socket>> sockets_;
    std::vector<std::unique_ptr<HarnessSeal>> seals_;
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

// The service master's environment: for the system bus a private one of the bench's own (the
// machine's logind must never be reached), its claim in its folder, and no service manager to
// notify.
EnvironmentChanges ServiceEnvironment(const std::string& folder, const std::string& bus) {
    return {{"DBUS_SYSTEM_BUS_ADDRESS", bus},
            {"RUNTIME_DIRECTORY", folder + "/run"},
            {"NOTIFY_SOCKET", std::nullopt},
            {"WATCHDOG_USEC", std::nullopt},
            {"WATCHDOG_PID", std::nullopt}};
}

// A desktop master started while that service runs: the window attached to it, on the same
// private bus, with no session bus (no notification server to wake it).
EnvironmentChanges AttachedEnvironment(const std::string& serviceFolder, const std::string& bus) {
    return {{"DBUS_SYSTEM_BUS_ADDRESS", bus},
            {"RUNTIME_DIRECTORY", serviceFolder + "/run"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + serviceFolder + "/no-session-bus"}};
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
        "   against the floor, and a keyed desktop master beside the unkeyed one\n");
    // Port1 is where the responder listens for both masters (it answers whoever polled it), the
    // next port where the keyed responder listens for the keyed master; each master binds four
    // ports of its own from its Port2 on.
    constexpr int kPorts = 2 + 3 * kPeerCount;
    const std::optional<std::uint16_t> ports = FreePorts(kPorts);
    if (!ports) return std::printf("no %d free consecutive ports\n", kPorts), false;
    const std::uint16_t port1 = *ports, keyedPort1 = static_cast<std::uint16_t>(*ports + 1),
                        port2 = static_cast<std::uint16_t>(*ports + 2),
                        servicePort2 = static_cast<std::uint16_t>(port2 + kPeerCount),
                        keyedPort2 = static_cast<std::uint16_t>(servicePort2 + kPeerCount);
    Responder responder(port1, false), keyedResponder(keyedPort1, true);
    if (!responder.Valid() || !keyedResponder.Valid())
        return std::printf("cannot bind the responders on 127.0.0.2-5:%u-%u\n", port1, keyedPort1), false;
    ProgramFolder masterFolder("TarnixM.ini", MasterIni(port1, port2));
    ProgramFolder serviceFolder("TarnixM.ini", MasterIni(port1, servicePort2));
    ProgramFolder keyedFolder("TarnixM.ini", MasterIni(keyedPort1, keyedPort2));
    ProgramFolder floorFolder("floor.ini", {});
    ProgramFolder pollingFolder("floor.ini", {});
    ProgramFolder attachedFolder("floor.ini", {});
    if (!masterFolder.Valid() || !serviceFolder.Valid() || !keyedFolder.Valid() || !floorFolder.Valid() ||
        !pollingFolder.Valid() || !attachedFolder.Valid())
        return std::printf("cannot make the folders\n"), false;
    std::filesystem::create_directory(serviceFolder.Root() + "/run");
    const std::string busPath = serviceFolder.Root() + "/bus", bus = "unix:path=" + busPath;
    WriteKeyFile(keyedFolder, "TarnixM.key");

    Worker serving([&](const std::atomic<bool>& stop) { responder.Serve(stop); });
    Worker keyedServing([&](const std::atomic<bool>& stop) { keyedResponder.Serve(stop); });
    Child master(bin + "/TarnixM", {"-InhibitShutdown", "-AllowMulti"}, masterFolder.Root());
    Child keyed(bin + "/TarnixM", {"-InhibitShutdown", "-AllowMulti"}, keyedFolder.Root());
    Child busDaemon("/usr/bin/dbus-daemon", {"--session", "--nofork", "--nopidfile", "--address=" + bus},
                    serviceFolder.Root());
    if (!WaitForFile(busPath)) return std::printf("the private bus did not start (dbus-daemon)\n"), false;
    Child service(bin + "/tarnixd", {"--master", "-InhibitShutdown"}, serviceFolder.Root(),
                  ServiceEnvironment(serviceFolder.Root(), bus));
    if (!Pause(1)) return false; // its claim and its bus name, before the window looks for them
    Child attached(bin + "/TarnixM", {}, attachedFolder.Root(),
                   AttachedEnvironment(serviceFolder.Root(), bus));
    Child floor(bin + "/bench_floor", {}, floorFolder.Root());
    Child polling(bin + "/bench_floor", {"--polls", std::to_string(port1)}, pollingFolder.Root());
    if (!Pause(kSettleSeconds)) return false;
    bool early = false;
    for (const auto& [who, child, folder] :
         {std::tuple{"desktop master", &master, &masterFolder},
          std::tuple{"service master", &service, &serviceFolder},
          std::tuple{"attached window", &attached, &attachedFolder},
          std::tuple{"keyed desktop master", &keyed, &keyedFolder}, std::tuple{"floor", &floor, &floorFolder},
          std::tuple{"polling floor", &polling, &pollingFolder}}) {
        if (child->Running()) continue;
        std::printf("the %s ended early (folder %s; its output in stderr.txt there)\n", who,
                    folder->Root().c_str());
        early = true;
    }
    if (early) return false;

    const std::string loadBefore = LoadAverage();
    const Usage master0 = UsageOf(master.Pid()), service0 = UsageOf(service.Pid()),
                keyed0 = UsageOf(keyed.Pid()), floor0 = UsageOf(floor.Pid()),
                polling0 = UsageOf(polling.Pid()), attached0 = UsageOf(attached.Pid());
    const long answered0 = responder.Answered(), keyedAnswered0 = keyedResponder.Answered();
    const Clock::time_point start = Clock::now();
    if (!Pause(seconds)) return false;
    const Usage master1 = UsageOf(master.Pid()), service1 = UsageOf(service.Pid()),
                keyed1 = UsageOf(keyed.Pid()), floor1 = UsageOf(floor.Pid()),
                polling1 = UsageOf(polling.Pid()), attached1 = UsageOf(attached.Pid());
    const double elapsed = Seconds(Clock::now() - start);
    const long answered = responder.Answered() - answered0,
               keyedAnswered = keyedResponder.Answered() - keyedAnswered0;
    const double masterRss = RssMiB(master.Pid()), serviceRss = RssMiB(service.Pid()),
                 keyedRss = RssMiB(keyed.Pid()), floorRss = RssMiB(floor.Pid()),
                 pollingRss = RssMiB(polling.Pid()), attachedRss = RssMiB(attached.Pid());
    const std::string loadAfter = LoadAverage();
    const bool serviceRanThrough = service.Running() && attached.Running();
    master.Stop();
    attached.Stop();
    service.Stop();
    busDaemon.Stop();
    keyed.Stop();
    floor.Stop();
    polling.Stop();

    struct Row {
        const char* name;
        double master, service, floor, polling, keyed, attached;
        const char* format;
    };
    const auto rate = [elapsed](double before, double after) { return (after - before) / elapsed; };
    const Row rows[] = {
        {"CPU, utime+stime (ms/s)", rate(master0.statMs, master1.statMs),
         rate(service0.statMs, service1.statMs), rate(floor0.statMs, floor1.statMs),
         rate(polling0.statMs, polling1.statMs), rate(keyed0.statMs, keyed1.statMs),
         rate(attached0.statMs, attached1.statMs), "%10.2f"},
        {"CPU, scheduler run time (ms/s)", rate(master0.runtimeMs, master1.runtimeMs),
         rate(service0.runtimeMs, service1.runtimeMs), rate(floor0.runtimeMs, floor1.runtimeMs),
         rate(polling0.runtimeMs, polling1.runtimeMs), rate(keyed0.runtimeMs, keyed1.runtimeMs),
         rate(attached0.runtimeMs, attached1.runtimeMs), "%10.2f"},
        {"wakeups, all threads (/s)", rate(master0.switches, master1.switches),
         rate(service0.switches, service1.switches), rate(floor0.switches, floor1.switches),
         rate(polling0.switches, polling1.switches), rate(keyed0.switches, keyed1.switches),
         rate(attached0.switches, attached1.switches), "%10.1f"},
        {"RSS (MiB)", masterRss, serviceRss, floorRss, pollingRss, keyedRss, attachedRss, "%10.1f"},
    };
    std::printf("window %.1f s after %.0f s settling; load average %s at start, %s at end\n", elapsed,
                kSettleSeconds, loadBefore.c_str(), loadAfter.c_str());
    std::printf("%-32s%10s%10s%10s%10s%10s%10s%14s%16s%16s%17s%14s\n", "", "master", "service", "floor",
                "polling", "keyed", "attached", "master/floor", "master/polling", "service/master",
                "service/polling", "keyed/master");
    const auto ratio = [](double a, double b) {
        char text[32] = "-";
        if (b > 0) std::snprintf(text, sizeof text, "%.2f", a / b);
        return std::string(text);
    };
    for (const Row& row : rows) {
        std::printf("%-32s", row.name);
        for (const double value : {row.master, row.service, row.floor, row.polling, row.keyed, row.attached})
            std::printf(row.format, value);
        std::printf("%14s%16s%16s%17s%14s\n", ratio(row.master, row.floor).c_str(),
                    ratio(row.master, row.polling).c_str(), ratio(row.service, row.master).c_str(),
                    ratio(row.service, row.polling).c_str(), ratio(row.keyed, row.master).c_str());
    }
    std::printf("%-32s%10d%10d%10d%10d%10d%10d\n", "threads", master1.threads, service1.threads,
                floor1.threads, polling1.threads, keyed1.threads, attached1.threads);
    std::printf(
        "(utime+stime moves in whole clock ticks of %.0f ms: below about 1 ms/s it cannot tell much;\n"
        " the scheduler's run time, summed over the threads alive at the end, is exact)\n",
        1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)));
    std::printf("(master: TarnixM, the desktop master; service: tarnixd --master, the same logic headless;\n"
                " keyed: TarnixM with a key file, its peers keyed too; attached: TarnixM started while the\n"
                " service runs, its window following the service's status on a private bus)\n");
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
    std::printf("keyed aim (CPU by the scheduler's run time):\n");
    std::printf("  CPU keyed/unkeyed desktop master %8s  (aim <= 1.1)\n",
                ratio(runTime.keyed, runTime.master).c_str());
    std::printf("polls answered by the keyed responder: %ld (%.1f/s; the keyed master's make 8/s)\n",
                keyedAnswered, static_cast<double>(keyedAnswered) / elapsed);
    std::printf("polls answered by the responder: %ld (%.1f/s; the two masters' and the polling floor's make "
                "24/s)\n",
                answered, static_cast<double>(answered) / elapsed);
    PrintStayedInRun("master", masterFolder);
    PrintStayedInRun("service", serviceFolder);
    PrintStayedInRun("keyed master", keyedFolder);
    std::printf("attached aim: a window that nothing changes for wakes up no more than an idle bus client\n");
    std::printf("  wakeups attached/floor    %8s\n", ratio(rows[2].attached, rows[2].floor).c_str());
    if (!serviceRanThrough) std::printf("  the service or the attached window ended during the window\n");
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

// What a forger who lacks the key sends a keyed slave: keyed datagrams whose tag cannot be
// right, which cost the slave a tag each, and unkeyed resets.
const char* const kForgedKeyed[] = {"TNK1sessionnchallengeecho....sequence<TNC000>tag.............",
                                    "TNK1sessionnchallengeecho....sequence<TNA100>tag.............",
                                    "<TNC000>"};

enum class FloodKind { Malformed, WellFormed, ForgedKeyed };

// This harness as the slave's master: polls twice a second and reads every reply, the error
// replies to the flood included, so that its own buffer never hides a status reply.
class Poller {
public:
    struct Reply {
        Clock::time_point at;
        char state;
    };

    // keyed: polls sealed with the bench's key, as a keyed master sends them.
    Poller(std::uint16_t ownPort, std::uint16_t slavePort, bool keyed)
        : socket_("127.0.0.1", ownPort), slave_(Address("127.0.0.1", slavePort)),
          seal_(keyed ? std::make_unique<HarnessSeal>(tarnix::SealSide::Master) : nullptr) {
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
            socket_.SendTo(seal_ ? seal_->Seal(kPoll) : std::string(kPoll), slave_);
            std::lock_guard lock(mutex_);
            polls_.push_back(Clock::now());
        }
    }
    void Read(const std::atomic<bool>& stop) {
        constexpr int kBatch = 256;
        char buffers[kBatch][128];
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
                std::string text(buffers[i], messages[i].msg_len);
                if (seal_ != nullptr) {
                    HarnessSeal::Opened opened = seal_->Open(text);
                    if (opened.answer) socket_.SendTo(*opened.answer, slave_);
                    if (!opened.frame) continue;
                    text = std::move(*opened.frame);
                }
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
    std::unique_ptr<HarnessSeal> seal_;
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
long Flood(const char* fromIp, std::uint16_t slavePort, FloodKind kind, double seconds,
           double& floodSeconds) {
    Socket socket(fromIp, 0);
    const sockaddr_in slave = Address("127.0.0.1", slavePort);
    if (!socket.Valid() ||
        ::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&slave), sizeof slave) != 0)
        return 0;
    std::vector<std::unique_ptr<Burst>> bursts;
    switch (kind) {
    case FloodKind::Malformed:
        for (const char* text : kMalformed)
            bursts.push_back(std::make_unique<Burst>(text));
        break;
    case FloodKind::WellFormed:
        bursts.push_back(std::make_unique<Burst>(kPoll));
        break;
    case FloodKind::ForgedKeyed:
        for (const char* text : kForgedKeyed)
            bursts.push_back(std::make_unique<Burst>(text));
        break;
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

FloodResult FloodBench(const std::string& bin, const char* fromIp, FloodKind kind, double seconds) {
    FloodResult result;
    const std::optional<std::uint16_t> ports = FreePorts(2);
    if (!ports) return std::printf("no two free consecutive ports\n"), result;
    const std::uint16_t masterPort = *ports, slavePort = static_cast<std::uint16_t>(*ports + 1);
    const bool keyed = kind == FloodKind::ForgedKeyed;
    Poller poller(masterPort, slavePort, keyed);
    ProgramFolder folder("TarnixS.ini", SlaveIni(masterPort, slavePort));
    if (!poller.Valid() || !folder.Valid()) return std::printf("cannot bind or make the folder\n"), result;
    if (keyed) WriteKeyFile(folder, "TarnixS.key");

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
    result.sent = Flood(fromIp, slavePort, kind, seconds, result.floodSeconds);
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

void PrintFloods(const FloodResult& a, const FloodResult& b, const FloodResult& c, double seconds,
                 const std::string& load) {
    std::printf("\n== Flood: a slave on loopback, %.0f s per run, polled twice a second by its master\n",
                seconds);
    std::printf("load average %s at the end\n", load.c_str());
    std::printf("%-40s%20s%20s%20s\n", "", "malformed from", "well-formed from", "keyed, forged from");
    std::printf("%-40s%20s%20s%20s\n", "", "master 127.0.0.1", "stranger 127.0.0.9", "master 127.0.0.1");
    auto line = [&](const char* name, const char* format, auto pick) {
        std::printf("%-40s", name);
        for (const FloodResult* r : {&a, &b, &c}) {
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
    for (const FloodResult* r : {&a, &b, &c}) {
        char text[32] = "-";
        if (r->ran) std::snprintf(text, sizeof text, "%d / %d", r->runSecondsLogged, r->wholeSeconds);
        std::printf("%20s", text);
    }
    std::printf("\n");
    std::printf("%-40s", "stayed in Run");
    for (const FloodResult* r : {&a, &b, &c})
        std::printf("%20s", !r->ran ? "-" : r->stayedInRun ? "yes" : "no");
    std::printf("\n");
    for (const FloodResult* r : {&a, &b, &c})
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
    const FloodResult a = FloodBench(bin, "127.0.0.1", FloodKind::Malformed, floodSeconds);
    if (g_stop) return 130;
    const FloodResult b = FloodBench(bin, "127.0.0.9", FloodKind::WellFormed, floodSeconds);
    if (g_stop) return 130;
    const FloodResult c = FloodBench(bin, "127.0.0.1", FloodKind::ForgedKeyed, floodSeconds);
    if (g_stop) return 130;
    PrintFloods(a, b, c, floodSeconds, LoadAverage());
    std::printf("keyed aim: the keyed slave absorbs >= 200000 forged datagrams a second and stays in Run\n");
    return idle && a.ran && b.ran && c.ran ? 0 : 1;
}
