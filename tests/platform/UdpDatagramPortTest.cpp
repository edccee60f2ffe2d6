#include "platform/UdpDatagramPort.h"
#include "Helpers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarnix {
namespace {

using namespace std::chrono_literals;

struct Received {
    std::vector<std::optional<std::string>> datagrams;
    DatagramPort::ArrivalHandler Handler() {
        return [this](const Arrival& a) { datagrams.push_back(a.datagram); };
    }
};

// A port bound to a free loopback-reachable port chosen by the system.
std::uint16_t BindAnywhere(UdpDatagramPort& port) {
    EXPECT_TRUE(port.Bind(0));
    const std::optional<std::uint16_t> local = port.LocalPort();
    EXPECT_TRUE(local.has_value());
    return local.value_or(0);
}

void AddressTo(UdpDatagramPort& port, std::uint16_t remotePort, const std::string& host = "127.0.0.1") {
    EXPECT_TRUE(port.SetRemoteHost(host));
    EXPECT_TRUE(port.SetRemotePort(remotePort));
}

TEST(UdpDatagramPort, TakenPortFailsToBindAndCloseFreesIt) {
    UdpDatagramPort first;
    const std::uint16_t taken = BindAnywhere(first);
    UdpDatagramPort second;
    EXPECT_FALSE(second.Bind(taken));
    EXPECT_FALSE(first.Bind(taken)) << "an open socket must be closed before it binds again";

    first.Close();
    EXPECT_TRUE(second.Bind(taken));

    // Qt's own sockets share addresses by default; ours must still refuse to join them.
    second.Close();
    QUdpSocket sharing;
    ASSERT_TRUE(
        sharing.bind(QHostAddress::AnyIPv4, taken, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    EXPECT_FALSE(second.Bind(taken));
}

TEST(UdpDatagramPort, RejectsPortsOutOfRange) {
    UdpDatagramPort port;
    EXPECT_FALSE(port.Bind(-1));
    EXPECT_FALSE(port.Bind(65536));
    EXPECT_FALSE(port.SetRemotePort(0));
    EXPECT_FALSE(port.SetRemotePort(65536));
}

TEST(UdpDatagramPort, DatagramsOfAnyBytesAndSizeArriveWhole) {
    UdpDatagramPort receiver;
    Received received;
    receiver.SetArrivalHandler(received.Handler());
    const std::uint16_t port = BindAnywhere(receiver);

    UdpDatagramPort sender;
    BindAnywhere(sender);
    AddressTo(sender, port);
    std::string binary("<TN\0\x01\xff>", 7);
    std::string largest(UdpDatagramPort::kMaxDatagram, '\0');
    for (std::size_t i = 0; i < largest.size(); ++i)
        largest[i] = static_cast<char>(i * 7);
    const std::vector<std::string> sent{"<TNA100>", binary, "", largest};
    for (const std::string& datagram : sent)
        EXPECT_TRUE(sender.Send(datagram));
    EXPECT_FALSE(sender.Send(largest + "x")) << "too large for one IPv4 datagram";

    ASSERT_TRUE(test::RunEventsUntil([&] { return received.datagrams.size() >= sent.size(); }));
    ASSERT_EQ(received.datagrams.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_TRUE(received.datagrams[i].has_value());
        EXPECT_EQ(*received.datagrams[i], sent[i]) << "datagram " << i;
    }
}

TEST(UdpDatagramPort, SendFailsWithoutAddressAndPort) {
    UdpDatagramPort port;
    BindAnywhere(port);
    EXPECT_FALSE(port.Send("<TNA100>"));
    EXPECT_TRUE(port.SetRemoteHost("127.0.0.1"));
    EXPECT_FALSE(port.Send("<TNA100>")) << "no remote port yet";
    EXPECT_TRUE(port.SetRemotePort(9));
    EXPECT_TRUE(port.SetRemoteHost(""));
    EXPECT_FALSE(port.Send("<TNA100>")) << "the host was cleared";
}

TEST(UdpDatagramPort, PeerThatStoppedNeverBreaksTheSocket) {
    UdpDatagramPort stopped;
    const std::uint16_t stoppedPort = BindAnywhere(stopped);
    stopped.Close();

    UdpDatagramPort port;
    Received received;
    port.SetArrivalHandler(received.Handler());
    const std::uint16_t ownPort = BindAnywhere(port);
    AddressTo(port, stoppedPort);
    // The loopback interface answers each of these with "port unreachable"; an unconnected socket
    // does not pass that on here, and where a system did, it must still not count as a failure.
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(port.Send("<TNA100>")) << "send " << i;
        test::RunEventsUntil([] { return false; }, 20ms);
    }
    EXPECT_TRUE(received.datagrams.empty()) << "an unreachable report is no datagram or read error";

    UdpDatagramPort peer;
    BindAnywhere(peer);
    AddressTo(peer, ownPort);
    ASSERT_TRUE(peer.Send("<TNP100>"));
    ASSERT_TRUE(test::RunEventsUntil([&] { return !received.datagrams.empty(); }));
    EXPECT_EQ(received.datagrams.front(), std::optional<std::string>("<TNP100>"));
}

// The programs hear only their configured peers; the port tells who sent each datagram.
TEST(UdpDatagramPort, TellsWhetherADatagramCameFromTheRemoteHost) {
    UdpDatagramPort receiver;
    std::vector<Arrival> arrivals;
    receiver.SetArrivalHandler([&](const Arrival& a) { arrivals.push_back(a); });
    const std::uint16_t port = BindAnywhere(receiver);
    const auto sendFrom = [&](const char* address) {
        QUdpSocket sender;
        ASSERT_TRUE(sender.bind(QHostAddress(QString::fromLatin1(address)), 0)) << address;
        const std::size_t before = arrivals.size();
        ASSERT_EQ(sender.writeDatagram("<TNA100>", QHostAddress::LocalHost, port), 8);
        ASSERT_TRUE(test::RunEventsUntil([&] { return arrivals.size() > before; }));
    };

    sendFrom("127.0.0.1"); // no remote host yet: nobody is the peer
    receiver.SetRemoteHost("127.0.0.1");
    sendFrom("127.0.0.1");
    sendFrom("127.0.0.2");
    ASSERT_EQ(arrivals.size(), 3u);
    EXPECT_FALSE(arrivals[0].fromRemoteHost);
    EXPECT_TRUE(arrivals[1].fromRemoteHost);
    EXPECT_FALSE(arrivals[2].fromRemoteHost);
    EXPECT_EQ(arrivals[2].datagram, std::optional<std::string>("<TNA100>"));

    if (!test::LocalhostResolves()) GTEST_SKIP() << "this system cannot resolve \"localhost\"";
    receiver.SetRemoteHost("localhost");
    receiver.SetRemotePort(1); // loopback, nobody listens
    ASSERT_TRUE(test::RunEventsUntil([&] { return receiver.Send("x"); })) << "the name is looked up";
    arrivals.clear();
    sendFrom("127.0.0.1");
    sendFrom("127.0.0.2");
    EXPECT_TRUE(arrivals[0].fromRemoteHost) << "an address the name resolved to";
    EXPECT_FALSE(arrivals.back().fromRemoteHost);
}

// A port read on request keeps what arrives queued, in order, until its owner asks.
TEST(UdpDatagramPort, OnRequestTheDatagramsWaitUntilAsked) {
    UdpDatagramPort receiver(UdpDatagramPort::kDefaultReadsPerEvent, UdpDatagramPort::Reading::OnRequest);
    Received received;
    receiver.SetArrivalHandler(received.Handler());
    const std::uint16_t port = BindAnywhere(receiver);
    UdpDatagramPort sender;
    AddressTo(sender, port);
    ASSERT_TRUE(sender.Send("<TNP100>"));
    ASSERT_TRUE(sender.Send("<TNR100>"));
    test::RunEventsUntil([] { return false; }, 100ms);
    EXPECT_TRUE(received.datagrams.empty());
    receiver.ReadArrived();
    EXPECT_EQ(received.datagrams, (std::vector<std::optional<std::string>>{"<TNP100>", "<TNR100>"}));
    receiver.ReadArrived();
    EXPECT_EQ(received.datagrams.size(), 2u);
}

TEST(UdpDatagramPort, HandlerThatLetsEventsRunIsNotReentered) {
    UdpDatagramPort receiver(4);
    int depth = 0;
    int deepest = 0;
    int handled = 0;
    receiver.SetArrivalHandler([&](const Arrival&) {
        deepest = std::max(deepest, ++depth);
        ++handled;
        QCoreApplication::processEvents(); // as the programs' handlers do
        --depth;
    });
    const std::uint16_t port = BindAnywhere(receiver);
    UdpDatagramPort sender;
    AddressTo(sender, port);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(sender.Send("<TNA100>"));
    ASSERT_TRUE(test::RunEventsUntil([&] { return handled == 20; }));
    EXPECT_EQ(deepest, 1);
}

TEST(UdpDatagramPort, HandlerMayCloseOrDestroyItsPort) {
    auto receiver = std::make_unique<UdpDatagramPort>();
    int handled = 0;
    receiver->SetArrivalHandler([&](const Arrival&) {
        if (++handled == 1)
            receiver->Close();
        else
            receiver.reset();
    });
    const std::uint16_t port = BindAnywhere(*receiver);
    UdpDatagramPort sender;
    AddressTo(sender, port);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(sender.Send("<TNA100>"));
    test::RunEventsUntil([] { return false; }, 200ms);
    EXPECT_EQ(handled, 1) << "nothing arrives after Close";

    const std::uint16_t again = BindAnywhere(*receiver);
    AddressTo(sender, again);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(sender.Send("<TNA100>"));
    ASSERT_TRUE(test::RunEventsUntil([&] { return receiver == nullptr; }));
    test::RunEventsUntil([] { return false; }, 100ms);
    EXPECT_EQ(handled, 2);
}

// The answer to datagram i: mostly of one size, so that they leave in segmented runs, with
// other sizes, a datagram too big to be a segment, and double answers in between.
std::vector<std::string> AnswersTo(int i) {
    char number[16];
    std::snprintf(number, sizeof number, "A%05d", i);
    if (i % 13 == 0) return {std::string(number) + std::string(1000, 'x')};
    if (i % 11 == 0) return {number, std::string(number) + "-second"};
    if (i % 7 == 0) return {std::string(number) + "+++"};
    return {number};
}

TEST(UdpDatagramPort, AnswersToABurstLeaveWholeAndInOrder) {
    UdpDatagramPort peer;
    Received answers;
    peer.SetArrivalHandler(answers.Handler());
    const std::uint16_t peerPort = BindAnywhere(peer);

    UdpDatagramPort port;
    int handled = 0;
    bool closeAfterAnswer = false;
    port.SetArrivalHandler([&](const Arrival&) {
        for (const std::string& answer : AnswersTo(handled))
            port.Reply(answer);
        ++handled;
        if (closeAfterAnswer) port.Close();
    });
    const std::uint16_t portNumber = BindAnywhere(port);
    AddressTo(port, peerPort);
    AddressTo(peer, portNumber);

    constexpr int kBurst = 300; // queued before the port reads, so they are read in batches
    std::vector<std::optional<std::string>> expected;
    for (int i = 0; i < kBurst; ++i) {
        ASSERT_TRUE(peer.Send("<TNA100>"));
        for (const std::string& answer : AnswersTo(i))
            expected.emplace_back(answer);
    }
    ASSERT_TRUE(test::RunEventsUntil([&] { return answers.datagrams.size() >= expected.size(); }));
    test::RunEventsUntil([] { return false; }, 100ms);
    EXPECT_EQ(answers.datagrams, expected);

    // A handler that answers and then opens a box: the answer leaves before the box waits.
    bool answeredUnderTheBox = false;
    port.SetArrivalHandler([&](const Arrival&) {
        port.Reply("<TNE100>");
        QEventLoop box;
        QTimer::singleShot(300, &box, [&] {
            answeredUnderTheBox = !answers.datagrams.empty();
            box.quit();
        });
        box.exec();
    });
    answers.datagrams.clear();
    ASSERT_TRUE(peer.Send("<TNA100>"));
    ASSERT_TRUE(test::RunEventsUntil([&] { return !answers.datagrams.empty(); }));
    EXPECT_TRUE(answeredUnderTheBox);

    // A handler that answers and then closes its port: the answer still leaves.
    port.SetArrivalHandler([&](const Arrival&) {
        for (const std::string& answer : AnswersTo(handled))
            port.Reply(answer);
        ++handled;
        if (closeAfterAnswer) port.Close();
    });
    closeAfterAnswer = true;
    answers.datagrams.clear();
    ASSERT_TRUE(peer.Send("<TNA100>"));
    ASSERT_TRUE(test::RunEventsUntil([&] { return !answers.datagrams.empty(); }));
    EXPECT_EQ(answers.datagrams.front(), AnswersTo(kBurst).front());

    // Outside a handler an answer is sent at once.
    port.Reply("<TNE100>");
    ASSERT_TRUE(test::RunEventsUntil([&] { return answers.datagrams.size() == 2; }));
    EXPECT_EQ(answers.datagrams.back(), "<TNE100>");
}

// Five equal-sized answers to each of 30 datagrams read in one batch: the 128 held answers that
// leave at once run longer than one segmented send may hold, the rest leave at the batch's end.
TEST(UdpDatagramPort, EqualAnswersBeyondOneSegmentedSendLeaveWholeAndInOrder) {
    UdpDatagramPort peer;
    Received answers;
    peer.SetArrivalHandler(answers.Handler());
    const std::uint16_t peerPort = BindAnywhere(peer);

    UdpDatagramPort port;
    int answered = 0;
    const auto answer = [](int i) {
        char text[16];
        std::snprintf(text, sizeof text, "B%05d", i);
        return std::string(text);
    };
    port.SetArrivalHandler([&](const Arrival&) {
        for (int k = 0; k < 5; ++k)
            port.Reply(answer(answered++));
    });
    AddressTo(port, peerPort);
    AddressTo(peer, BindAnywhere(port));

    std::vector<std::optional<std::string>> expected;
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(peer.Send("<TNA100>"));
    for (int i = 0; i < 150; ++i)
        expected.emplace_back(answer(i));
    ASSERT_TRUE(test::RunEventsUntil([&] { return answers.datagrams.size() >= expected.size(); }));
    test::RunEventsUntil([] { return false; }, 100ms);
    EXPECT_EQ(answers.datagrams, expected);
}

TEST(UdpDatagramPort, FloodDoesNotStarveTheTimer) {
    UdpDatagramPort receiver;
    int handled = 0;
    receiver.SetArrivalHandler([&](const Arrival&) {
        ++handled;
        // Slower than the sender, so the queue never runs dry while the flood lasts.
        const auto until = std::chrono::steady_clock::now() + 50us;
        while (std::chrono::steady_clock::now() < until) {
        }
    });
    const std::uint16_t port = BindAnywhere(receiver);

    std::atomic<bool> flooding{true};
    std::thread flood([port, &flooding] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto end = std::chrono::steady_clock::now() + 1500ms;
        for (int sent = 0; sent < 2'000'000 && std::chrono::steady_clock::now() < end; ++sent) {
            ::sendto(fd, "<TNX", 4, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
        ::close(fd);
        flooding = false;
    });

    int ticksDuringFlood = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ticksDuringFlood += flooding ? 1 : 0; });
    timer.start(100);
    test::RunEventsUntil([&] { return !flooding; }, 30s);
    flood.join();
    EXPECT_GT(handled, 0);
    EXPECT_GE(ticksDuringFlood, 2);
}

TEST(UdpDatagramPort, SendWithoutRouteFailsInAFreshNetworkNamespace) {
    const auto [output, code] = test::RunSelf({"--child-netns", "--child-no-route-checks"});
    if (code == test::kNamespaceRefused) GTEST_SKIP() << "no fresh network namespace here: " << output;
    EXPECT_EQ(code, 0) << output;
    EXPECT_EQ(output.find("FAILED"), std::string::npos) << output;
    EXPECT_NE(output.find("ok a send without a route fails"), std::string::npos) << output;
}

TEST(UdpDatagramPort, DomainNameIsUsedOnceItsLookupAnswers) {
    if (!test::LocalhostResolves()) GTEST_SKIP() << "this system cannot resolve \"localhost\"";
    UdpDatagramPort receiver;
    Received received;
    receiver.SetArrivalHandler(received.Handler());
    const std::uint16_t port = BindAnywhere(receiver);

    UdpDatagramPort sender;
    AddressTo(sender, port, "localhost");
    ASSERT_TRUE(test::RunEventsUntil([&] { return sender.Send("<TNA100>"); }));
    ASSERT_TRUE(test::RunEventsUntil([&] { return !received.datagrams.empty(); }));
    EXPECT_EQ(received.datagrams.front(), std::optional<std::string>("<TNA100>"));
}

} // namespace
} // namespace tarnix
