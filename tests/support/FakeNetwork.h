#pragma once

// A network of fake datagram ports on simulated time: a send is queued and delivered when the
// test calls Deliver(), to the port bound to the destination port number, so one test can run a
// master and several slaves in one process.

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/DatagramPort.h"

namespace tarnix::testing {

class FakeNetwork;

class FakePort : public DatagramPort {
public:
    explicit FakePort(FakeNetwork& network) : network_(network) {}
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

    void Arrive(const std::optional<std::string>& datagram) {
        if (handler_) handler_(datagram);
    }

    std::string remoteHost;
    std::int32_t remotePort = 0;
    std::int32_t boundPort = 0;
    bool failSends = false;
    bool failAddressing = false;
    std::vector<std::string> sent;

private:
    FakeNetwork& network_;
    ArrivalHandler handler_;
};

class FakeNetwork {
public:
    FakePort& NewPort() {
        ports_.push_back(std::make_unique<FakePort>(*this));
        return *ports_.back();
    }
    bool Bind(FakePort& port, std::int32_t localPort) {
        if (takenPorts.count(localPort) || bound_.count(localPort)) return false;
        bound_[localPort] = &port;
        return true;
    }
    void Unbind(FakePort& port) {
        for (auto it = bound_.begin(); it != bound_.end();) it = it->second == &port ? bound_.erase(it) : std::next(it);
    }
    void Queue(std::int32_t destination, std::string datagram) { queue_.push_back({destination, std::move(datagram)}); }
    // Sends a datagram from outside (a stray sender) to a port.
    void Inject(std::int32_t destination, std::string datagram) { Queue(destination, std::move(datagram)); }
    // Delivers everything queued, including what the handlers send meanwhile.
    void Deliver() {
        while (!queue_.empty()) {
            auto [destination, datagram] = queue_.front();
            queue_.pop_front();
            const auto it = bound_.find(destination);
            if (it != bound_.end()) it->second->Arrive(datagram);
        }
    }
    void Drop() { queue_.clear(); }

    std::set<std::int32_t> takenPorts; // bound by some other program

private:
    std::vector<std::unique_ptr<FakePort>> ports_;
    std::map<std::int32_t, FakePort*> bound_;
    std::deque<std::pair<std::int32_t, std::string>> queue_;
};

inline FakePort::~FakePort() { network_.Unbind(*this); }
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
    network_.Queue(remotePort, datagram);
    return true;
}

} // namespace tarnix::testing
