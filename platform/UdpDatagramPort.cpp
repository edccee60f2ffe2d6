#include "platform/UdpDatagramPort.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnix {

namespace {

// Room for the largest datagram in every slot of a batch; MSG_TRUNC tells a larger one apart.
constexpr std::size_t kReceiveBuffer = 65536;

// How much the system may queue for us while a flood outruns the window thread; a system that
// allows less keeps its own limit.
constexpr int kSocketReceiveBuffer = 1 << 20;

// How often a send is retried after errors that do not concern this datagram.
constexpr int kSendAttempts = 3;

// Held answers beyond this many leave at once, so a handler that answers twice cannot grow the
// queue without end.
constexpr std::size_t kMaxPendingReplies = 128;

// A segmented send holds at most this many datagrams, each small enough for any link's MTU.
constexpr std::size_t kMaxSegments = 64;
constexpr std::size_t kMaxSegment = 512;

bool ValidPort(std::int32_t port, std::int32_t lowest) {
    return port >= lowest && port <= 65535;
}

// ECONNREFUSED reports an earlier datagram that found no listener; the datagram at hand was not
// sent yet, and the report is consumed now.
bool WorthRetrying(int error) {
    return error == EINTR || error == ECONNREFUSED;
}

// What a system or a route without UDP segmentation answers to it.
bool SegmentationRefused(int error) {
    return error == EINVAL || error == EIO || error == ENOPROTOOPT || error == EOPNOTSUPP;
}

bool SamePeer(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

} // namespace

UdpDatagramPort::UdpDatagramPort(int readsPerEvent, Reading reading)
    : readsPerEvent_(readsPerEvent > 0 ? readsPerEvent : 1), reading_(reading),
      // Not initialised: only the bytes that datagrams fill are ever touched.
      slots_(new char[kReceiveBuffer * kBatchSlots]), loopWatch_(std::make_unique<QObject>()) {
    // A handler that opens a message box must not keep the answers it gave waiting for the
    // user: they leave before the box's event loop waits.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, loopWatch_.get(), [this] {
            if (!pendingReplies_.empty()) SendPendingReplies();
        });
}

UdpDatagramPort::~UdpDatagramPort() {
    Close();
}

void UdpDatagramPort::Close() {
    if (fd_ < 0) return;
    SendPendingReplies(); // answered before the close, so they still leave
    if (notifier_ != nullptr) {
        notifier_->setEnabled(false);
        // A handler may close the port from inside the notifier's own activation.
        if (readDepth_ > 0) {
            notifier_.release()->deleteLater();
        } else {
            notifier_.reset();
        }
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

std::optional<sockaddr_in> UdpDatagramPort::RemoteAddress() {
    if (remotePort_ == 0) return std::nullopt;
    const std::optional<std::uint32_t> address = remoteHost_.Current();
    if (!address) return std::nullopt;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(remotePort_);
    remote.sin_addr.s_addr = htonl(*address);
    return remote;
}

bool UdpDatagramPort::Send(const std::string& datagram) {
    if (datagram.size() > kMaxDatagram) return false;
    const std::optional<sockaddr_in> remote = RemoteAddress();
    if (!remote) return false;
    if (fd_ < 0 && !OpenSocket()) return false;

    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        const ssize_t sent = ::sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&*remote), sizeof *remote);
        if (sent >= 0) return static_cast<std::size_t>(sent) == datagram.size();
        if (!WorthRetrying(errno)) return false;
    }
    return false;
}

void UdpDatagramPort::Reply(const std::string& datagram) {
    if (readDepth_ == 0 || fd_ < 0) {
        (void)Send(datagram);
        return;
    }
    const std::optional<sockaddr_in> remote = RemoteAddress();
    if (!remote || datagram.size() > kMaxDatagram) return;
    pendingReplies_.push_back(PendingReply{*remote, datagram});
    if (pendingReplies_.size() >= kMaxPendingReplies) SendPendingReplies();
}

// The held answers in their order: runs of equal-sized answers to one peer as one segmented
// send each, what lies between them one datagram a message in as few calls as possible.
void UdpDatagramPort::SendPendingReplies() {
    std::size_t first = 0;
    while (first < pendingReplies_.size()) {
        const std::size_t end = EndOfEqualRun(first);
        if (IsSegmentable(first, end) && SendSegmented(first, end)) {
            first = end;
            continue;
        }
        std::size_t last = end;
        while (last < pendingReplies_.size()) {
            const std::size_t next = EndOfEqualRun(last);
            if (IsSegmentable(last, next)) break;
            last = next;
        }
        SendEach(first, last);
        first = last;
    }
    pendingReplies_.clear();
}

bool UdpDatagramPort::IsSegmentable(std::size_t first, std::size_t end) const {
    return segmentedSends_ && end - first >= 2;
}

std::size_t UdpDatagramPort::EndOfEqualRun(std::size_t first) const {
    const PendingReply& head = pendingReplies_[first];
    const std::size_t size = head.datagram.size();
    std::size_t end = first + 1;
    if (size == 0 || size > kMaxSegment) return end;
    while (end < pendingReplies_.size() && end - first < kMaxSegments) {
        const PendingReply& next = pendingReplies_[end];
        if (next.datagram.size() != size || !SamePeer(next.to, head.to)) break;
        ++end;
    }
    return end;
}

// One send that the system cuts into end - first datagrams of the run's size (UDP_SEGMENT).
// False when the system refuses it: the run is then sent datagram by datagram, and so is every
// later one. A run that fails for another reason is lost like a failed single send.
bool UdpDatagramPort::SendSegmented(std::size_t first, std::size_t end) {
    std::array<iovec, kMaxSegments> parts{};
    for (std::size_t i = first; i < end; ++i) {
        std::string& datagram = pendingReplies_[i].datagram;
        parts[i - first] = iovec{datagram.data(), datagram.size()};
    }
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint16_t))] = {};
    msghdr message{};
    message.msg_name = &pendingReplies_[first].to;
    message.msg_namelen = sizeof(sockaddr_in);
    message.msg_iov = parts.data();
    message.msg_iovlen = end - first;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* const segment = CMSG_FIRSTHDR(&message);
    segment->cmsg_level = SOL_UDP;
    segment->cmsg_type = UDP_SEGMENT;
    segment->cmsg_len = CMSG_LEN(sizeof(std::uint16_t));
    const auto size = static_cast<std::uint16_t>(pendingReplies_[first].datagram.size());
    std::memcpy(CMSG_DATA(segment), &size, sizeof size);

    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        if (::sendmsg(fd_, &message, MSG_NOSIGNAL) >= 0) return true;
        if (!WorthRetrying(errno)) break;
    }
    if (!SegmentationRefused(errno)) return true;
    segmentedSends_ = false;
    return false;
}

// One system call for as many of the datagrams as it takes.
void UdpDatagramPort::SendEach(std::size_t first, std::size_t end) {
    std::array<mmsghdr, kBatchSlots> messages{};
    std::array<iovec, kBatchSlots> parts{};
    int attempts = 0;
    while (first < end && attempts < kSendAttempts) {
        const std::size_t count = std::min<std::size_t>(end - first, kBatchSlots);
        for (std::size_t i = 0; i < count; ++i) {
            PendingReply& reply = pendingReplies_[first + i];
            parts[i] = iovec{reply.datagram.data(), reply.datagram.size()};
            messages[i] = mmsghdr{};
            messages[i].msg_hdr.msg_name = &reply.to;
            messages[i].msg_hdr.msg_namelen = sizeof reply.to;
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int sent = ::sendmmsg(fd_, messages.data(), static_cast<unsigned>(count), MSG_NOSIGNAL);
        if (sent > 0) {
            first += static_cast<std::size_t>(sent);
            attempts = 0;
        } else if (!WorthRetrying(errno)) {
            ++first; // this datagram is lost; the others still go
        } else {
            ++attempts;
        }
    }
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
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &kSocketReceiveBuffer, sizeof kSocketReceiveBuffer) !=
        0)
        (void)::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kSocketReceiveBuffer, sizeof kSocketReceiveBuffer);
    ++socketGeneration_;
    if (reading_ == Reading::OnRequest) return true;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { ReadPending(readsPerEvent_); });
    return true;
}

void UdpDatagramPort::ReadArrived() {
    if (fd_ >= 0) ReadPending(kReadsOnRequest);
}

// Reads what has arrived in batches, at most `budget` datagrams, and hands each to the handler
// in the order of arrival.
void UdpDatagramPort::ReadPending(int budget) {
    QSocketNotifier* const notifier = notifier_.get();
    if (readDepth_ > 0) {
        // A handler runs an event loop of its own (a message box): the batch being handled
        // must finish first, so the socket waits until the outer read returns.
        if (notifier != nullptr) notifier->setEnabled(false);
        pausedByNestedLoop_ = true;
        return;
    }
    const std::weak_ptr<bool> alive = alive_;
    const unsigned generation = socketGeneration_;
    ++readDepth_;
    while (budget > 0) {
        const int wanted = std::min(budget, kBatchSlots);
        const int received = ReceiveBatch(wanted);
        if (received == 0) break;
        const bool failed = received < 0;
        const int count = failed ? 1 : received;
        for (int i = 0; i < count; ++i) {
            if (handler_) {
                const ArrivalHandler handler = handler_; // the handler may replace itself
                handler(failed ? Arrival{std::nullopt, true} : ArrivalInSlot(i));
                if (alive.expired()) return;
            }
            if (generation != socketGeneration_) break;
        }
        SendPendingReplies();
        if (generation != socketGeneration_ || failed || received < wanted) break;
        budget -= received;
    }
    --readDepth_;
    // Level-triggered: datagrams left over fire the notifier again on the next loop pass,
    // after the timers that are due. It stays on between events: switching it costs the event
    // loop an extra pass every time.
    if (generation == socketGeneration_ && pausedByNestedLoop_ && notifier != nullptr)
        notifier->setEnabled(true);
    pausedByNestedLoop_ = false;
}

// One system call for up to `wanted` datagrams: their number, 0 when none is waiting, or -1 for
// a read error.
int UdpDatagramPort::ReceiveBatch(int wanted) {
    for (int i = 0; i < wanted; ++i) {
        vectors_[i] = iovec{slots_.get() + static_cast<std::size_t>(i) * kReceiveBuffer, kReceiveBuffer};
        headers_[i] = mmsghdr{};
        headers_[i].msg_hdr.msg_name = &senders_[i];
        headers_[i].msg_hdr.msg_namelen = sizeof senders_[i];
        headers_[i].msg_hdr.msg_iov = &vectors_[i];
        headers_[i].msg_hdr.msg_iovlen = 1;
    }
    for (;;) {
        const int received =
            ::recvmmsg(fd_, headers_.data(), static_cast<unsigned>(wanted), MSG_DONTWAIT, nullptr);
        if (received >= 0) return received;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        // A "port unreachable" report for an earlier send is no read error.
        if (errno == EINTR || errno == ECONNREFUSED) continue;
        return -1;
    }
}

Arrival UdpDatagramPort::ArrivalInSlot(int i) const {
    const msghdr& header = headers_[i].msg_hdr;
    const sockaddr_in& sender = senders_[i];
    const bool fromRemoteHost = header.msg_namelen >= sizeof sender && sender.sin_family == AF_INET &&
                                remoteHost_.Matches(ntohl(sender.sin_addr.s_addr));
    if ((header.msg_flags & MSG_TRUNC) != 0)
        return Arrival{std::nullopt, fromRemoteHost}; // cannot be passed whole
    return Arrival{std::string(static_cast<const char*>(header.msg_iov->iov_base), headers_[i].msg_len),
                   fromRemoteHost};
}

} // namespace tarnix
