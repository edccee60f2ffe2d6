#pragma once

#include <string>

namespace tarnix {

// The service manager's notification socket ($NOTIFY_SOCKET), spoken to directly: one datagram
// per state ("READY=1", "WATCHDOG=1"). Without the variable there is nobody to tell. Never
// blocks: a full socket drops the message, and the next tick sends another.
class SdNotify {
public:
    SdNotify();
    ~SdNotify();
    SdNotify(const SdNotify&) = delete;
    SdNotify& operator=(const SdNotify&) = delete;

    bool Enabled() const { return fd_ >= 0; }
    bool Send(const std::string& state);

private:
    int fd_ = -1;
    std::string address_;
};

} // namespace tarnix
