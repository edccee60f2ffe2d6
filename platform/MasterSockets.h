#pragma once

#include <array>
#include <memory>

#include "common/config/ConfigRecord.h"
#include "platform/UdpDatagramPort.h"

namespace tarnix {

// The master's sockets for remote computers 1..4 (slot 0 unused). They are read at the master's
// own ticks, so its peers' replies cost it no wakeups of their own.
class MasterSockets {
public:
    MasterSockets() {
        for (std::size_t i = 1; i < sockets_.size(); ++i) {
            sockets_[i] = std::make_unique<UdpDatagramPort>(UdpDatagramPort::kDefaultReadsPerEvent,
                                                            UdpDatagramPort::Reading::OnRequest);
            ports_[i] = sockets_[i].get();
        }
    }
    const std::array<DatagramPort*, RemoteComputerCount + 1>& Ports() const { return ports_; }

private:
    std::array<std::unique_ptr<UdpDatagramPort>, RemoteComputerCount + 1> sockets_;
    std::array<DatagramPort*, RemoteComputerCount + 1> ports_{};
};

} // namespace tarnix
