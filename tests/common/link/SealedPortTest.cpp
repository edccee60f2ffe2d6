// Two ends of a link over the kit's fake network, sealed with real keys: what is heard, what is
// answered, and what is dropped and reported.

#include <gtest/gtest.h>

#include <functional>

#include "common/link/SealedPort.h"
#include "platform/SodiumSealing.h"
#include "support/FakeNetwork.h"

namespace tarnix::testing {
namespace {

constexpr const char* MasterHost = "10.0.0.1";
constexpr const char* SlaveHost = "10.0.0.2";
constexpr int MasterPort = 4000, SlavePort = 5000;

PeerKey KeyOf(std::uint8_t fill) {
    PeerKey key;
    key.bytes.fill(fill);
    return key;
}

// One end: its socket on the fake network, the sealed port over it, and what reached the program.
struct End {
    End(FakeNetwork& network, const char* host, const char* peer, int port, int peerPort, SealSide side)
        : socket(network.NewPort(host)), side(side) {
        socket.SetRemotePort(peerPort);
        socket.Bind(port);
        peerHost = peer;
        Start();
    }
    // As a program does at start: a fresh port over the socket, with its key or none.
    void Start(const std::optional<PeerKey>& key = {}) {
        port = std::make_unique<SealedPort>(socket, side);
        port->SetRemoteHost(peerHost);
        if (key) port->UseKey(sealing, key);
        port->SetArrivalHandler([this](const Arrival& arrival) {
            heard.push_back(*arrival.datagram);
            if (answer) port->Reply(answer(*arrival.datagram));
        });
    }
    FakePort& socket;
    SealSide side;
    std::string peerHost;
    SodiumSealing sealing;
    std::unique_ptr<SealedPort> port;
    std::vector<std::string> heard;
    std::function<std::string(const std::string&)> answer;
};

class SealedLink : public ::testing::Test {
protected:
    FakeNetwork network;
    End master{network, MasterHost, SlaveHost, MasterPort, SlavePort, SealSide::Master};
    End slave{network, SlaveHost, MasterHost, SlavePort, MasterPort, SealSide::Slave};

    void SetUp() override {
        slave.answer = [](const std::string&) { return std::string("<TNP100>"); };
    }
    void KeyBoth(std::uint8_t masterFill = 7, std::uint8_t slaveFill = 7) {
        master.Start(KeyOf(masterFill));
        slave.Start(KeyOf(slaveFill));
    }
    // One poll and whatever it brings back; true when the slave heard it and the master heard the
    // answer.
    bool Poll(const std::string& frame = "<TNA100>") {
        const std::size_t slaveHeard = slave.heard.size(), masterHeard = master.heard.size();
        master.port->Send(frame);
        network.Deliver();
        return slave.heard.size() == slaveHeard + 1 && slave.heard.back() == frame &&
               master.heard.size() == masterHeard + 1 && master.heard.back() == "<TNP100>";
    }
    // Polls until one gets through both ways; how many it took, or 0 when ten did not.
    int PollsToConnect() {
        for (int polls = 1; polls <= 10; ++polls)
            if (Poll()) return polls;
        return 0;
    }
    void ArriveAtSlave(const std::string& datagram) {
        slave.socket.Arrive(datagram, std::string(MasterHost));
        network.Deliver();
    }
    void ArriveAtMaster(const std::string& datagram) {
        master.socket.Arrive(datagram, std::string(SlaveHost));
        network.Deliver();
    }
};

TEST_F(SealedLink, WithoutKeysTheBytesOnTheWireAreTheProgramsOwn) {
    ASSERT_TRUE(Poll("<TNC000>"));
    EXPECT_EQ(master.socket.sent, std::vector<std::string>{"<TNC000>"});
    EXPECT_EQ(slave.socket.sent, std::vector<std::string>{"<TNP100>"});
    EXPECT_FALSE(master.port->Keyed());
}

TEST_F(SealedLink, AKeyedPairIsHeardFromTheSecondPollAndCarriesFramesUnchanged) {
    KeyBoth();
    EXPECT_EQ(PollsToConnect(), 2);
    for (const std::string frame : {"<TNC000>", "<TNT000>", "<TNA100>"})
        EXPECT_TRUE(Poll(frame)) << frame;
    EXPECT_NE(master.socket.sent.back(), "<TNA100>");
    EXPECT_EQ(master.socket.sent.back().size(), SealHeaderSize + 8 + SealTagSize);
    EXPECT_EQ(master.port->Dropped(), SealedPort::Drops{});
}

// A slave that is not answering yet (in its activation, or counting down) when it takes up a
// restarted master still hears the command that follows the master's first poll.
TEST_F(SealedLink, AnEndThatDoesNotAnswerStillHearsTheNextDatagram) {
    KeyBoth();
    slave.answer = nullptr;
    for (const std::string frame : {"<TNA100>", "<TNA100>", "<TNC000>"}) {
        master.port->Send(frame);
        network.Deliver();
    }
    EXPECT_EQ(slave.heard, (std::vector<std::string>{"<TNA100>", "<TNC000>"}));
    EXPECT_TRUE(master.heard.empty());
}

// After any restart, in any order, the pair is heard again by the second poll.
TEST_F(SealedLink, EitherEndOrBothRestartedAreConnectedAgainWithinTwoPolls) {
    const std::vector<std::pair<const char*, std::string>> orders = {
        {"master", "m"}, {"slave", "s"}, {"master then slave", "ms"}, {"slave then master", "sm"}};
    for (const auto& [name, order] : orders) {
        KeyBoth();
        ASSERT_EQ(PollsToConnect(), 2);
        Poll();
        for (const char end : order)
            (end == 'm' ? master : slave).Start(KeyOf(7));
        EXPECT_EQ(PollsToConnect(), 2) << name;
    }
}

// Forgeries from the master's own address, at a keyed slave: none is heard or answered.
TEST_F(SealedLink, ForgeriesAreNeitherHeardNorAnsweredAndCountAsKeyMismatch) {
    KeyBoth();
    ASSERT_EQ(PollsToConnect(), 2);
    End stranger{network, "10.0.0.9", SlaveHost, 4000, SlavePort, SealSide::Master};
    stranger.Start(KeyOf(8)); // another key
    stranger.port->Send("<TNC000>");
    const std::string wrongKey = stranger.socket.sent.back();
    master.port->Send("<TNC000>");
    const std::string genuine = master.socket.sent.back();
    network.Drop();
    const auto altered = [&](std::size_t at) {
        std::string copy = genuine;
        copy[at] ^= 1;
        return copy;
    };
    const std::vector<std::pair<const char*, std::string>> forgeries = {
        {"unkeyed reset", "<TNC000>"},
        {"another key", wrongKey},
        {"altered sequence", altered(SealHeaderSize - 1)},
        {"altered frame", altered(SealHeaderSize + 4)},
        {"altered tag", altered(genuine.size() - 1)},
        {"cut short", genuine.substr(0, genuine.size() - 1)},
        {"magic and nothing", std::string("TNK1")},
    };
    const std::size_t heard = slave.heard.size(), answered = slave.socket.sent.size();
    for (const auto& [name, forgery] : forgeries)
        ArriveAtSlave(forgery);
    EXPECT_EQ(slave.heard.size(), heard);
    EXPECT_EQ(slave.socket.sent.size(), answered);
    EXPECT_EQ(slave.port->Dropped().keyMismatch, forgeries.size());
    ArriveAtSlave(genuine); // the genuine one, kept back, is still good
    EXPECT_EQ(slave.heard.back(), "<TNC000>");
}

// Recordings played back later, a second on or after a restart of either end: none is heard,
// and the live link goes on.
TEST_F(SealedLink, RecordedDatagramsAreNotHeardAgain) {
    enum class Then { Nothing, MasterRestarts, SlaveRestarts };
    for (const Then then : {Then::Nothing, Then::MasterRestarts, Then::SlaveRestarts}) {
        KeyBoth();
        ASSERT_EQ(PollsToConnect(), 2);
        for (const std::string frame : {"<TNC000>", "<TNT000>", "<TNA100>"})
            ASSERT_TRUE(Poll(frame));
        const std::vector<std::string> toSlave = master.socket.sent, toMaster = slave.socket.sent;
        if (then == Then::MasterRestarts) master.Start(KeyOf(7));
        if (then == Then::SlaveRestarts) slave.Start(KeyOf(7));
        ASSERT_EQ(PollsToConnect(), then == Then::Nothing ? 1 : 2);
        const std::size_t slaveHeard = slave.heard.size(), masterHeard = master.heard.size();
        for (const std::string& datagram : toSlave)
            ArriveAtSlave(datagram);
        for (const std::string& datagram : toMaster)
            ArriveAtMaster(datagram);
        EXPECT_EQ(slave.heard.size(), slaveHeard) << static_cast<int>(then);
        EXPECT_EQ(master.heard.size(), masterHeard) << static_cast<int>(then);
        EXPECT_TRUE(Poll()) << static_cast<int>(then);
    }
}

TEST_F(SealedLink, AKeyAtOneEndOnlyIsAKeyMismatchBothWays) {
    master.Start(KeyOf(7));
    EXPECT_EQ(PollsToConnect(), 0);
    EXPECT_TRUE(slave.heard.empty());
    EXPECT_EQ(slave.port->Dropped().keyMismatch, 10u);
    master.Start();
    slave.Start(KeyOf(7));
    EXPECT_EQ(PollsToConnect(), 0);
    EXPECT_EQ(slave.port->Dropped().keyMismatch, 10u);
    EXPECT_TRUE(slave.heard.empty());
}

// A flood of forgeries: one report as soon as the first arrives, then at most one a minute, and
// together the reports count every drop.
TEST_F(SealedLink, DropsAreReportedAtMostOnceAMinute) {
    KeyBoth();
    ASSERT_EQ(PollsToConnect(), 2);
    master.port->Send("<TNA100>");
    const std::string recorded = master.socket.sent.back();
    network.Deliver();
    std::vector<std::pair<int, std::string>> reports; // tick, text
    for (int tick = 1; tick <= 300; ++tick) {         // 150 s of 500 ms ticks
        for (int i = 0; i < 100; ++i)
            ArriveAtSlave(i % 2 == 0 ? std::string("<TNC000>") : recorded);
        if (auto report = slave.port->OnTick(500)) reports.emplace_back(tick, *report);
    }
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].first, 1);
    EXPECT_EQ(reports[1].first, 121);
    EXPECT_EQ(reports[2].first, 241);
    EXPECT_EQ(reports[0].second, "10.0.0.1: 50 dropped, key mismatch; 50 dropped, replayed");
    EXPECT_EQ(reports[1].second, "10.0.0.1: 6000 dropped, key mismatch; 6000 dropped, replayed");
    EXPECT_FALSE(slave.port->OnTick(500)) << "nothing new since the last report";
}

// Out-of-date recordings are answered so that a restarted peer learns the challenge, but only
// a few a tick: a flood of them does not make the slave send a flood.
TEST_F(SealedLink, AnswersToOutdatedDatagramsAreFewPerTick) {
    KeyBoth();
    ASSERT_EQ(PollsToConnect(), 2);
    master.Start(KeyOf(7)); // its earlier polls are out of date at the slave from now on
    const std::string outdated = master.socket.sent.front();
    slave.Start(KeyOf(7));
    master.socket.sent.clear();
    const std::size_t answered = slave.socket.sent.size();
    for (int i = 0; i < 100; ++i)
        slave.socket.Arrive(outdated, std::string(MasterHost));
    EXPECT_EQ(slave.socket.sent.size() - answered, static_cast<std::size_t>(SealedPort::kAnswersPerTick));
    EXPECT_TRUE(slave.heard.size() < 100);
    slave.port->OnTick(1000);
    network.Drop();
    EXPECT_EQ(PollsToConnect(), 2) << "the allowance is back for the genuine master";
}

} // namespace
} // namespace tarnix::testing
