// A keyed master and slave on computers of their own, and a third computer that forges the
// master's address and port: what the slave must not hear once its master has gone, whatever
// the forger sends, replays of the master's own datagrams taken off the wire included.

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "NetNamespaces.h"
#include "RealProgram.h"
#include "common/link/Datagram.h"
#include "common/link/LinkSeal.h"
#include "platform/SodiumSealing.h"
#include "support/FakeLogind.h"

namespace tarnix::e2e {
namespace {

constexpr const char* MasterAddress = "192.0.2.9";
constexpr const char* SlaveAddress = "192.0.2.10";
constexpr std::uint16_t MasterPort = 24301; // the master sends from its Port2 ...
constexpr std::uint16_t SlavePort = 24300;  // ... to the slave's Port2

QStringList In(const NetNamespaces& nets, const std::string& ns) {
    return {"ip", "netns", "exec", QString::fromStdString(nets.Name(ns))};
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

void WriteKey(const ProgramDir& dir, const std::string& file, const std::string& text) {
    std::ofstream(dir.Path(file)) << text << "\n";
    std::filesystem::permissions(dir.Path(file),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// The payloads of the UDP datagrams from the address to the port that a raw socket queued.
std::vector<std::string> Drain(int fd, in_addr_t from, std::uint16_t toPort) {
    std::vector<std::string> payloads;
    char packet[2048];
    for (;;) {
        const ssize_t got = ::recv(fd, packet, sizeof packet, MSG_DONTWAIT);
        if (got <= 0) return payloads;
        iphdr ip;
        std::memcpy(&ip, packet, sizeof ip);
        const std::size_t udpAt = ip.ihl * 4u;
        if (static_cast<std::size_t>(got) < udpAt + sizeof(udphdr) || ip.saddr != from) continue;
        udphdr udp;
        std::memcpy(&udp, packet + udpAt, sizeof udp);
        if (ntohs(udp.dest) == toPort)
            payloads.emplace_back(packet + udpAt + sizeof udp, got - udpAt - sizeof udp);
    }
}

// A datagram with the IPv4 and UDP headers written here, so with any sender's address and port.
void SendForged(int fd, in_addr_t from, std::uint16_t fromPort, in_addr_t to, std::uint16_t toPort,
                const std::string& payload) {
    iphdr ip{};
    ip.version = 4;
    ip.ihl = 5;
    ip.ttl = 64;
    ip.protocol = IPPROTO_UDP;
    ip.tot_len = htons(static_cast<std::uint16_t>(sizeof ip + sizeof(udphdr) + payload.size()));
    ip.saddr = from;
    ip.daddr = to;
    udphdr udp{}; // checksum 0: none, as IPv4 allows
    udp.source = htons(fromPort);
    udp.dest = htons(toPort);
    udp.len = htons(static_cast<std::uint16_t>(sizeof udp + payload.size()));
    std::string packet(reinterpret_cast<const char*>(&ip), sizeof ip);
    packet.append(reinterpret_cast<const char*>(&udp), sizeof udp);
    packet += payload;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = to;
    ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&address),
             sizeof address);
}

std::string FrameOf(const std::string& sealed) {
    return sealed.substr(SealHeaderSize, sealed.size() - SealHeaderSize - SealTagSize);
}

TEST(KeyedLink, ASlaveHearsNoForgedOrReplayedDatagramsAndActsWhenItsMasterHasGone) {
    NetNamespaces nets;
    if (!nets.Add("m") || !nets.Add("s") || !nets.Add("f") ||
        !nets.Link("m", "tm", MasterAddress, "s", "ts", SlaveAddress) ||
        !nets.Link("f", "tf", "192.0.2.13", "s", "tsf", "192.0.2.14") ||
        !nets.Exec("f", std::string("ip route add ") + SlaveAddress + " via 192.0.2.14") ||
        // The forged datagrams come in on another link than the one the master's address is on.
        !nets.Exec("s", "sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.tsf.rp_filter=0"))
        GTEST_SKIP() << "network namespaces cannot be made here (needs root and iproute2)";
    const Fd recorder{nets.Socket("s", AF_INET, SOCK_RAW, IPPROTO_UDP)};
    const Fd forger{nets.Socket("f", AF_INET, SOCK_RAW, IPPROTO_RAW)};
    if (recorder.fd < 0 || forger.fd < 0) GTEST_SKIP() << "raw sockets cannot be made here";
    QTemporaryDir masterRuntime, slaveRuntime;
    QString whyNot;
    bool skipped = false;
    const auto logind = test::FakeLogind::Start({}, whyNot, skipped);
    if (!logind) GTEST_SKIP() << "the fake logind could not start: " << whyNot.toStdString();

    testing::Settings m = testing::MasterSettings();
    m["CName1"] = "Slave";
    m["IPAdd1"] = SlaveAddress;
    m["Port1"] = std::to_string(SlavePort);
    m["Port2"] = std::to_string(MasterPort);
    m["StartDelay"] = "1";
    m["CPUDelay"] = "60";
    m["LogLevel"] = "3";
    testing::Settings s = testing::SlaveSettings();
    s["IPAdd"] = MasterAddress;
    s["Port1"] = std::to_string(MasterPort);
    s["Port2"] = std::to_string(SlavePort);
    s["StartDelay"] = "1";
    s["CPUDelay"] = "5";
    s["ShutTime"] = "2";
    s["ShutType"] = "4"; // Monitor: the program closes, and nothing is asked of logind
    s["LogLevel"] = "3";
    ProgramDir masterDir(true, m), slaveDir(false, s);
    const std::string key = "3c0ffee1" + std::string(56, '7');
    WriteKey(masterDir, "Data/TarnixM.key", key);
    WriteKey(slaveDir, "Data/TarnixS.key", key);

    // The master runs as the service so that its Reset can be pressed from a shell.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", logind->Address());
    QProcessEnvironment masterEnv = env;
    masterEnv.insert("RUNTIME_DIRECTORY", masterRuntime.path());
    env.insert("RUNTIME_DIRECTORY", slaveRuntime.path());
    auto master = std::make_unique<RealProgram>(masterDir, QStringList{"-InhibitShutdown"}, In(nets, "m"),
                                                masterEnv, true);
    RealProgram slave(slaveDir, {}, In(nets, "s"), env);
    ASSERT_TRUE(slaveDir.WaitForLog("Comms: -OK-", 15s)) << master->ErrorOutput();

    const std::size_t beforeReset = slaveDir.LogLines().size();
    QProcess ctl;
    ctl.setProcessEnvironment(env);
    ctl.start(QString::fromStdString(std::string(TARNIX_BIN_DIR) + "/tarnixctl"), {"--master", "reset"});
    ASSERT_TRUE(ctl.waitForFinished(10000));
    ASSERT_EQ(ctl.exitCode(), 0) << ctl.readAllStandardError().toStdString();
    ASSERT_TRUE(slaveDir.WaitForLog(",  Reset    ,", 5s, beforeReset))
        << "the keyed reset command was not heard";
    std::this_thread::sleep_for(1s); // and a few polls after it

    const in_addr_t masterAddress = ::inet_addr(MasterAddress), slaveAddress = ::inet_addr(SlaveAddress);
    const std::vector<std::string> recorded = Drain(recorder.fd, masterAddress, SlavePort);
    bool resetRecorded = false, pollRecorded = false;
    for (const std::string& datagram : recorded) {
        ASSERT_TRUE(LooksSealed(datagram)) << "sent in the clear: " << datagram;
        resetRecorded = resetRecorded || FrameOf(datagram) == ResetCommand;
        pollRecorded = pollRecorded || FrameOf(datagram) == PollMessage;
    }
    ASSERT_TRUE(resetRecorded && pollRecorded) << recorded.size() << " datagrams recorded";

    // Sealed as the master seals, its latest session, challenge and echo and a sequence number
    // beyond any, but with another key.
    SodiumSealing sealing;
    PeerKey wrongKey;
    wrongKey.bytes.fill(0x5A);
    const auto tagger = sealing.TaggerFor(wrongKey);
    const auto wrongKeyed = [&](std::uint64_t sequence) {
        std::string datagram = recorded.back().substr(0, SealHeaderSize);
        for (int i = 0; i < 8; ++i)
            datagram[SealHeaderSize - 1 - i] = static_cast<char>((sequence >> (8 * i)) & 0xFF);
        datagram += ResetCommand;
        const SealTag tag = tagger->Tag(static_cast<char>(SealSide::Master), datagram);
        return datagram + std::string(reinterpret_cast<const char*>(tag.data()), tag.size());
    };

    const std::size_t fromLine = slaveDir.LogLines().size();
    master.reset();
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    for (std::uint64_t round = 1; !slave.WaitForEnd(200ms) && std::chrono::steady_clock::now() < deadline;
         ++round) {
        const auto forge = [&](const std::string& payload) {
            SendForged(forger.fd, masterAddress, MasterPort, slaveAddress, SlavePort, payload);
        };
        forge(std::string(ResetCommand));
        forge(wrongKeyed(1'000'000 + round));
        for (const std::string& datagram : recorded)
            forge(datagram);
    }

    const auto lines = slaveDir.LogLines();
    ASSERT_TRUE(slave.WaitForEnd(0ms)) << "the slave never acted";
    ASSERT_GE(lines.size(), fromLine + 2);
    bool countedDown = false, dropsReported = false, forgeryHeard = false;
    for (std::size_t i = fromLine; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        countedDown = countedDown || line.find(",  Enter    , Monitor") != std::string::npos;
        dropsReported =
            dropsReported ||
            (line.find(",  Dropped  , " + std::string(MasterAddress) + ":") != std::string::npos &&
             line.find("key mismatch") != std::string::npos && line.find("replayed") != std::string::npos);
        forgeryHeard = forgeryHeard || line.find(",  Reset    ,") != std::string::npos;
    }
    EXPECT_TRUE(countedDown);
    EXPECT_TRUE(dropsReported);
    EXPECT_FALSE(forgeryHeard);
    EXPECT_NE(lines[lines.size() - 2].find(",  Start    , Monitor"), std::string::npos)
        << lines[lines.size() - 2];
    EXPECT_NE(lines.back().find(",  Close    , Monitor"), std::string::npos) << lines.back();
}

} // namespace
} // namespace tarnix::e2e
