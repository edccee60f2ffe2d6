#include "platform/SdNotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace tarnix {

SdNotify::SdNotify() {
    const char* socketPath = std::getenv("NOTIFY_SOCKET");
    if (socketPath == nullptr || socketPath[0] == '\0') return;
    address_ = socketPath;
    if (address_.size() >= sizeof(sockaddr_un::sun_path)) return;
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

SdNotify::~SdNotify() {
    if (fd_ >= 0) ::close(fd_);
}

bool SdNotify::Send(const std::string& state) {
    if (fd_ < 0) return false;
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    std::memcpy(to.sun_path, address_.data(), address_.size());
    if (to.sun_path[0] == '@') to.sun_path[0] = '\0'; // an abstract socket
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address_.size());
    return ::sendto(fd_, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                    length) == static_cast<ssize_t>(state.size());
}

} // namespace tarnix
