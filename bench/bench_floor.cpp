// The least a Qt Widgets program with a window, a tray icon and a twice-a-second timer costs
// when idle: the floor cost_bench measures the idle master against.
//
//   bench_floor                 the floor itself: each tick does nothing
//   bench_floor --polls PORT    each tick also does the master's datagram work and nothing else:
//                               reads what arrived on four sockets and sends "<TNA100>" from
//                               each to 127.0.0.2-5:PORT, which is what the kernel's loopback
//                               path costs any program that polls four peers

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include <arpa/inet.h>
#include <array>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class FourPolls {
public:
    explicit FourPolls(std::uint16_t peerPort) {
        for (std::size_t k = 0; k < sockets_.size(); ++k) {
            sockets_[k] = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            peers_[k].sin_family = AF_INET;
            peers_[k].sin_port = htons(peerPort);
            peers_[k].sin_addr.s_addr = htonl(INADDR_LOOPBACK + static_cast<std::uint32_t>(k) + 1);
        }
    }
    void Tick() {
        for (std::size_t k = 0; k < sockets_.size(); ++k) {
            char buffer[64];
            iovec vector{buffer, sizeof buffer};
            std::array<mmsghdr, 32> headers{};
            for (mmsghdr& header : headers) {
                header.msg_hdr.msg_iov = &vector;
                header.msg_hdr.msg_iovlen = 1;
            }
            (void)::recvmmsg(sockets_[k], headers.data(), headers.size(), MSG_DONTWAIT, nullptr);
            (void)::sendto(sockets_[k], "<TNA100>", 8, MSG_NOSIGNAL,
                           reinterpret_cast<const sockaddr*>(&peers_[k]), sizeof peers_[k]);
        }
    }

private:
    std::array<int, 4> sockets_{};
    std::array<sockaddr_in, 4> peers_{};
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window("floor");
    QSystemTrayIcon tray(app.style()->standardIcon(QStyle::SP_ComputerIcon));
    tray.show();
    std::unique_ptr<FourPolls> polls;
    if (argc == 3 && std::strcmp(argv[1], "--polls") == 0)
        polls = std::make_unique<FourPolls>(static_cast<std::uint16_t>(std::atoi(argv[2])));
    long ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (polls) polls->Tick();
    });
    timer.start(500);
    window.show();
    return app.exec();
}
