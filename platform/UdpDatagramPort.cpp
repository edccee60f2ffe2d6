#include "platform/UdpDatagramPort.h"

#include <QSocketNotifier>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnix {

namespace {

// Room for the largest datagram; MSG_TRUNC tells a larger one apart.
constexpr std::size_t kReceiveBuffer = 65536;

// How often a send is retried after errors that do not concern this datagram.
constexpr int kSendAttempts = 3;

bool ValidPort(std::int32_t port, std::int32_t lowest) {
    return port >= lowest && port <= 65535;
}

} // namespace

UdpDatagramPort::UdpDatagramPort(int readsPerEvent)
    : readsPerEvent_(readsPerEvent > 0 ? readsPerEvent : 1), buffer_(kReceiveBuffer, '\0') {}

UdpDatagramPort::~UdpDatagramPort() {
    Close();
}

void UdpDatagramPort::Close() {
    if (fd_ < 0) return;
    notifier_->setEnabled(false);
    // A handler may close the port from inside the notifier's own activation.
    if (readDepth_ > 0) {
        notifier_.release()->deleteLater();
    } else {
        notifier_.reset();
    }
    ::close(fd_);
    fd_ = -1;
    ++socketGeneration_;
}

bool UdpDatagramPort::SetRemoteHost(const std::string& host) {
    remoteHost_.Set(host);
    return true;
}

bool UdpDatagramPort::SetRemotePort(std::int32_t port) {
    if (!ValidPort(port, 1)) return false;
    remotePort_ = static_cast<std::uint16_t>(port);
    return true;
}

bool UdpDatagramPort::Bind(std::int32_t localPort) {
    if (!ValidPort(localPort, 0) || fd_ >= 0) return false;
    if (!OpenSocket()) return false;
    // No SO_REUSEADDR: a port that another socket holds must fail here.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(localPort));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        Close();
        return false;
    }
    return true;
}

bool UdpDatagramPort::Send(const std::string& datagram) {
    if (datagram.size() > kMaxDatagram || remotePort_ == 0) return false;
    const std::optional<std::uint32_t> address = remoteHost_.Current();
    if (!address) return false;
    if (fd_ < 0 && !OpenSocket()) return false;

    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(remotePort_);
    remote.sin_addr.s_addr = htonl(*address);
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        const ssize_t sent = ::sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
        if (sent >= 0) return static_cast<std::size_t>(sent) == datagram.size();
        // ECONNREFUSED reports an earlier datagram that found no listener; this one was not
        // sent yet, and the report is consumed now.
        if (errno != EINTR && errno != ECONNREFUSED) return false;
    }
    return false;
}

void UdpDatagramPort::SetArrivalHandler(ArrivalHandler handler) {
    handler_ = std::move(handler);
}

std::optional<std::uint16_t> UdpDatagramPort::LocalPort() const {
    if (fd_ < 0) return std::nullopt;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return std::nullopt;
    const std::uint16_t port = ntohs(local.sin_port);
    if (port == 0) return std::nullopt;
    return port;
}

bool UdpDatagramPort::OpenSocket() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    ++socketGeneration_;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { ReadPending(); });
    return true;
}

void UdpDatagramPort::ReadPending() {
    const std::weak_ptr<bool> alive = alive_;
    const unsigned generation = socketGeneration_;
    QSocketNotifier* const notifier = notifier_.get();
    notifier->setEnabled(false);
    ++readDepth_;
    for (int read = 0; read < readsPerEvent_; ++read) {
        std::optional<Arrival> received = ReceiveOne();
        if (!received) break;
        const bool failed = !received->datagram.has_value();
        if (handler_) {
            const ArrivalHandler handler = handler_; // the handler may replace itself
            handler(*received);
            if (alive.expired()) return;
        }
        if (generation != socketGeneration_ || failed) break;
    }
    --readDepth_;
    // Level-triggered: datagrams left over fire the notifier again on the next loop pass,
    // after the timers that are due.
    if (generation == socketGeneration_) notifier->setEnabled(true);
}

std::optional<Arrival> UdpDatagramPort::ReceiveOne() {
    for (;;) {
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t length = ::recvfrom(fd_, buffer_.data(), buffer_.size(), MSG_TRUNC,
                                          reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (length >= 0) {
            const bool fromRemoteHost =
                sender.sin_family == AF_INET && remoteHost_.Matches(ntohl(sender.sin_addr.s_addr));
            if (static_cast<std::size_t>(length) > buffer_.size()) {
                return Arrival{std::nullopt, fromRemoteHost}; // cannot be passed whole
            }
            return Arrival{std::string(buffer_.data(), static_cast<std::size_t>(length)), fromRemoteHost};
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
        // A "port unreachable" report for an earlier send is no read error.
        if (errno == EINTR || errno == ECONNREFUSED) continue;
        return Arrival{std::nullopt, true};
    }
}

} // namespace tarnix
