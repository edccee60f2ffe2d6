// Floods a bound datagram port with malformed datagrams from a second process while a
// 1000 ms precise timer runs, and reports the datagrams handled per second and the worst
// lateness of the timer.
//
//   flood_bench [seconds (default 5)] [datagrams read per event (default 64)]

#include "common/link/Datagram.h"
#include "platform/UdpDatagramPort.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kMaxDatagramsSent = 20'000'000;

// Malformed in the ways a confused or hostile sender would be: wrong start, wrong length
// field, no end, empty, oversized.
const char* const kMalformed[] = {"<TNA10>",
                                  "<tna100>",
                                  "<TNA199>",
                                  "<TNA100",
                                  "",
                                  "GET / HTTP/1.0\r\n\r\n",
                                  "<TNA1xx0123456789012345678901234567890123456789>"};

// Runs in the forked child: plain system calls only.
[[noreturn]] void Flood(std::uint16_t targetPort, std::uint16_t ownPort, int seconds) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in own{};
    own.sin_family = AF_INET;
    own.sin_port = htons(ownPort);
    own.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&own), sizeof own);
    sockaddr_in to = own;
    to.sin_port = htons(targetPort);
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    for (long sent = 0; sent < kMaxDatagramsSent && Clock::now() < end; ++sent) {
        const char* text = kMalformed[sent % std::size(kMalformed)];
        ::sendto(fd, text, std::char_traits<char>::length(text), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }
    ::_exit(0);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int readsPerEvent = argc > 2 ? std::max(1, std::atoi(argv[2])) : 64;
    QCoreApplication application(argc, argv);

    tarnix::UdpDatagramPort port(readsPerEvent);
    if (!port.Bind(0) || !port.LocalPort()) {
        std::fprintf(stderr, "cannot bind a port\n");
        return 1;
    }
    // The replies go back to the flooding socket, which never reads them.
    tarnix::UdpDatagramPort probe;
    probe.Bind(0);
    const std::uint16_t flooderPort = probe.LocalPort().value_or(0);
    probe.Close();
    port.SetRemoteHost("127.0.0.1");
    port.SetRemotePort(flooderPort);

    long handled = 0;
    long malformed = 0;
    long readErrors = 0;
    std::string replyMessage;
    port.SetArrivalHandler([&](const tarnix::Arrival& arrival) {
        const std::optional<std::string>& datagram = arrival.datagram;
        ++handled;
        if (!datagram) {
            ++readErrors;
            return;
        }
        // What a running slave does with a malformed datagram: note the error and answer it.
        if (!tarnix::IsWellFormed(*datagram)) {
            ++malformed;
            replyMessage = "<TNE100>";
            port.Send(replyMessage);
        }
    });

    const pid_t flooder = ::fork();
    if (flooder < 0) return 1;
    if (flooder == 0) Flood(*port.LocalPort(), flooderPort, seconds);

    const Clock::time_point start = Clock::now();
    Clock::time_point expected = start + std::chrono::seconds(1);
    double worstLateMs = 0;
    int ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        worstLateMs =
            std::max(worstLateMs, std::chrono::duration<double, std::milli>(now - expected).count());
        expected = now + std::chrono::seconds(1);
        ++ticks;
    });
    timer.start(1000);

    // Until the flooder has ended and one more tick has shown how the timer fared.
    // The rate counts the flood's own time only: the extra tick would dilute it.
    int status = 0;
    bool flooding = true;
    Clock::time_point floodEnd = start;
    while (flooding || ticks < seconds + 1) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (flooding && ::waitpid(flooder, &status, WNOHANG) == flooder) {
            flooding = false;
            floodEnd = Clock::now();
        }
    }
    const double floodTime = std::chrono::duration<double>(floodEnd - start).count();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("reads per event      %d\n", readsPerEvent);
    std::printf("flood                %.2f s\n", floodTime);
    std::printf("datagrams handled    %ld (%ld malformed, %ld read errors)\n", handled, malformed,
                readErrors);
    std::printf("handled per second   %.0f\n", handled / floodTime);
    std::printf("timer ticks          %d in %.1f s\n", ticks, elapsed);
    std::printf("worst timer lateness %.1f ms\n", worstLateMs);
    return 0;
}
