#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarnix {

// One UDP datagram socket as the programs use it: close, address, bind, send, and an arrival
// event. Every operation reports failure by its result and never throws.
// One arrived datagram as the port read it.
struct Arrival {
    std::optional<std::string> datagram; // nothing when reading failed
    // Sent from the remote host this port sends to (for a domain name, any address it resolved
    // to). A read error whose sender is unknown counts as the remote host's.
    bool fromRemoteHost = true;
};

class DatagramPort {
public:
    // Called once per arrived datagram.
    using ArrivalHandler = std::function<void(const Arrival& arrival)>;

    virtual ~DatagramPort() = default;

    virtual void Close() = 0;
    virtual bool SetRemoteHost(const std::string& host) = 0; // dotted IPv4 address or domain name
    virtual bool SetRemotePort(std::int32_t port) = 0;
    virtual bool Bind(std::int32_t localPort) = 0;
    virtual bool Send(const std::string& datagram) = 0; // false when it could not be sent
    // Answers an arrived datagram. A port may hold the answer until the arrivals being handled
    // are done, and send a burst's answers together, in their order. A lost answer shows at
    // the peer as a missing one, so nothing is reported here.
    virtual void Reply(const std::string& datagram) { (void)Send(datagram); }
    virtual void SetArrivalHandler(ArrivalHandler handler) = 0;
    // For a port that leaves arrivals queued until its owner asks: hands them to the handler now.
    // A port that hands each arrival over as it comes has nothing queued.
    virtual void ReadArrived() {}
    // Why the remote host's domain name has no address, while it has none; empty otherwise.
    virtual std::string LookupFailure() const { return {}; }
};

} // namespace tarnix
