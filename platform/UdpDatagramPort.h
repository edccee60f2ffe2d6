#pragma once

#include "common/link/DatagramPort.h"
#include "platform/RemoteHostAddress.h"

#include <array>
#include <cstdint>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <vector>

class QObject;
class QSocketNotifier;

namespace tarnix {

// One unconnected IPv4 UDP socket driven by the Qt event loop of the calling thread.
//
// Bind takes 0.0.0.0:port without address reuse, so a port held by another socket fails
// instead of being shared. Each arrival event reads at most readsPerEvent datagrams, a batch at
// a time, and then returns to the event loop, so a flood cannot starve the timers. A handler
// that runs an event loop of its own (a message box) never re-enters the read: the socket
// waits until the handler returns.
// ICMP "port unreachable" reports of a peer that is not running are dropped: they are neither a
// send failure nor a read error.
class UdpDatagramPort : public DatagramPort {
public:
    static constexpr std::size_t kMaxDatagram = 65507; // largest UDP payload over IPv4
    static constexpr int kDefaultReadsPerEvent = 64;

    // OnArrival reads each arrival from the event loop at once; OnRequest leaves the datagrams
    // queued until ReadArrived(), for an owner that looks at them only at set times.
    enum class Reading { OnArrival, OnRequest };
    static constexpr int kReadsOnRequest = 1024; // one request's bound, so a flood cannot hold it

    explicit UdpDatagramPort(int readsPerEvent = kDefaultReadsPerEvent, Reading reading = Reading::OnArrival);
    ~UdpDatagramPort() override;
    UdpDatagramPort(const UdpDatagramPort&) = delete;
    UdpDatagramPort& operator=(const UdpDatagramPort&) = delete;

    void Close() override;
    // A dotted IPv4 address takes effect at once; a domain name is looked up in the
    // background and Send fails until it is known. Empty clears the host. Always true.
    bool SetRemoteHost(const std::string& host) override;
    bool SetRemotePort(std::int32_t port) override; // 1 to 65535
    // 0 to 65535 (0 lets the system choose); false when the port is taken or a socket is
    // already open (Close first).
    bool Bind(std::int32_t localPort) override;
    // Sends from the bound socket, or from a new socket on a port the system chooses.
    bool Send(const std::string& datagram) override;
    // Inside the arrival handler the answer waits for the rest of the batch being handled; the
    // batch's answers then leave together, runs of equal answers to one peer as one segmented
    // send where the system offers it. Elsewhere, and once the port is closed, it is a Send.
    void Reply(const std::string& datagram) override;
    void SetArrivalHandler(ArrivalHandler handler) override;
    std::string LookupFailure() const override { return remoteHost_.LookupFailure(); }

    // Hands what has arrived to the handler now (at most kReadsOnRequest datagrams).
    void ReadArrived() override;

    // The local port of the open socket; nothing when none is open or it is not bound yet.
    std::optional<std::uint16_t> LocalPort() const;

private:
    struct PendingReply {
        sockaddr_in to;
        std::string datagram;
    };

    bool OpenSocket();
    std::optional<sockaddr_in> RemoteAddress();
    void SendPendingReplies();
    std::size_t EndOfEqualRun(std::size_t first) const;
    bool IsSegmentable(std::size_t first, std::size_t end) const;
    bool SendSegmented(std::size_t first, std::size_t end);
    void SendEach(std::size_t first, std::size_t end);
    void ReadPending(int budget);
    static constexpr int kBatchSlots = 32;
    int ReceiveBatch(int wanted);
    Arrival ArrivalInSlot(int i) const;

    int readsPerEvent_;
    Reading reading_;
    int fd_ = -1;
    unsigned socketGeneration_ = 0; // tells a read loop that its socket was closed meanwhile
    std::unique_ptr<QSocketNotifier> notifier_;
    int readDepth_ = 0;               // arrival events being handled
    bool pausedByNestedLoop_ = false; // the notifier was switched off under a handler's event loop
    ArrivalHandler handler_;
    RemoteHostAddress remoteHost_;
    std::uint16_t remotePort_ = 0;
    std::unique_ptr<char[]> slots_; // kBatchSlots receive buffers
    std::array<mmsghdr, kBatchSlots> headers_{};
    std::array<iovec, kBatchSlots> vectors_{};
    std::array<sockaddr_in, kBatchSlots> senders_{};
    std::vector<PendingReply> pendingReplies_;
    bool segmentedSends_ = true; // until the system refuses one
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<QObject> loopWatch_; // sends held answers before any event loop waits
};

} // namespace tarnix
