#pragma once

// A network of fake datagram ports on simulated time: a send is queued and delivered when the
// test calls Deliver(), to the port bound at the destination address and port number, so one test
// can run a master and several slaves, each on its own address, in one process.

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/link/DatagramPort.h"

namespace tarnix::testing {

class FakeNetwork;

class FakePort : public DatagramPort {
public:
    FakePort(FakeNetwork& network, std::string host) : host(std::move(host)), network_(network) {}
    ~FakePort() override;

    void Close() override;
    bool SetRemoteHost(const std::string& host) override {
        remoteHost = host;
        return !failAddressing;
    }
    bool SetRemotePort(std::int32_t port) override {
        remotePort = port;
        return !failAddressing;
    }
    bool Bind(std::int32_t localPort) override;
    bool Send(const std::string& datagram) override;
    void SetArrivalHandler(ArrivalHandler handler) override { handler_ = std::move(handler); }
    std::string LookupFailure() const override { return lookupFailure; }
    std::string lookupFailure; // what a failed lookup of the remote host's name said

    // A datagram from the given sender; by default from the host this port sends to. A port
    // that holds its arrivals keeps them until ReadArrived(), as a socket read at set times does.
    void Arrive(const std::optional<std::string>& datagram, const std::optional<std::string>& sender = {}) {
        const Arrival arrival{datagram, !sender || *sender == remoteHost};
        if (holdsArrivals) {
            held_.push_back(arrival);
        } else if (handler_) {
            handler_(arrival);
        }
    }
    void ReadArrived() override {
        ++reads;
        std::deque<Arrival> arrived;
        arrived.swap(held_);
        for (const Arrival& arrival : arrived)
            if (handler_) handler_(arrival);
    }
    bool holdsArrivals = false;
    int reads = 0;

    const std::string host; // the address of the computer the port is on
    std::string remoteHost;
    std::int32_t remotePort = 0;
    std::int32_t boundPort = 0;
    bool failSends = false;
    bool failAddressing = false;
    std::vector<std::string> sent;

private:
    FakeNetwork& network_;
    ArrivalHandler handler_;
    std::deque<Arrival> held_;
};

class FakeNetwork {
public:
    FakeNetwork() = default;
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;
    ~FakeNetwork() { ports_.clear(); } // the ports unbind themselves while the tables still exist
    FakePort& NewPort(const std::string& host = "127.0.0.1") {
        ports_.push_back(std::make_unique<FakePort>(*this, host));
        return *ports_.back();
    }
    bool Bind(FakePort& port, std::int32_t localPort) {
        const Address address{port.host, localPort};
        if (takenPorts.count(localPort) || bound_.count(address)) return false;
        bound_[address] = &port;
        return true;
    }
    void Unbind(FakePort& port) {
        for (auto it = bound_.begin(); it != bound_.end();)
            it = it->second == &port ? bound_.erase(it) : std::next(it);
    }
    void Queue(const std::string& from, const std::string& host, std::int32_t port, std::string datagram) {
        queue_.push_back({from, Address{host, port}, std::move(datagram)});
    }
    // Delivers everything queued, including what the handlers send meanwhile.
    void Deliver() {
        while (!queue_.empty()) {
            auto [sender, destination, datagram] = queue_.front();
            queue_.pop_front();
            if (cut_.count(destination)) continue;
            const auto it = bound_.find(destination);
            if (it != bound_.end()) it->second->Arrive(datagram, sender);
        }
    }
    // Forgets what is on the way.
    void Drop() { queue_.clear(); }
    // Datagrams to a cut address are lost on the way.
    void Cut(const std::string& host, std::int32_t port) { cut_.insert({host, port}); }
    void Mend(const std::string& host, std::int32_t port) { cut_.erase({host, port}); }

    std::set<std::int32_t> takenPorts; // bound by some other program on every computer

private:
    using Address = std::pair<std::string, std::int32_t>;
    std::vector<std::unique_ptr<FakePort>> ports_;
    std::map<Address, FakePort*> bound_;
    struct InFlight {
        std::string sender;
        Address destination;
        std::string datagram;
    };
    std::deque<InFlight> queue_;
    std::set<Address> cut_;
};

inline FakePort::~FakePort() {
    network_.Unbind(*this);
}
inline void FakePort::Close() {
    network_.Unbind(*this);
    boundPort = 0;
}
inline bool FakePort::Bind(std::int32_t localPort) {
    if (failAddressing || !network_.Bind(*this, localPort)) return false;
    boundPort = localPort;
    return true;
}
inline bool FakePort::Send(const std::string& datagram) {
    if (failSends) return false;
    sent.push_back(datagram);
    network_.Queue(host, remoteHost, remotePort, datagram);
    return true;
}

} // namespace tarnix::testing
