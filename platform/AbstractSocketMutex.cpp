#include "platform/AbstractSocketMutex.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarnix {

namespace {

enum class BindResult { Bound, Taken, Failed };

struct BoundSocket {
    BindResult result;
    int fd;
};

// One socket type for every name: the kernel keeps the abstract names of different socket
// types apart, so mixing types would let two holders share a name.
BoundSocket BindAbstract(const std::string& abstractName) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays NUL: that selects the abstract namespace.
    if (abstractName.size() > sizeof(address.sun_path) - 1) return {BindResult::Failed, -1};
    std::memcpy(address.sun_path + 1, abstractName.data(), abstractName.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + abstractName.size());

    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {BindResult::Failed, -1};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) return {BindResult::Bound, fd};
    const int error = errno;
    ::close(fd);
    return {error == EADDRINUSE ? BindResult::Taken : BindResult::Failed, -1};
}

} // namespace

AbstractSocketMutex::AbstractSocketMutex(std::string prefix) : prefix_(std::move(prefix)) {}

std::optional<int> AbstractSocketMutex::CreateOwned(const std::string& name) {
    const BoundSocket bound = BindAbstract(prefix_ + name);
    switch (bound.result) {
    case BindResult::Bound:
        return bound.fd;
    case BindResult::Taken:
        return std::nullopt;
    case BindResult::Failed:
        break;
    }
    return -1;
}

void AbstractSocketMutex::CloseHandle(int handle) {
    if (handle >= 0) ::close(handle);
}

void AbstractSocketMutex::OpenUnowned(const std::string& name) {
    // A socket name cannot be shared, so a taken name stays with its holder alone; when the
    // bind succeeds the descriptor is left open on purpose until the process ends.
    (void)BindAbstract(prefix_ + name);
}

} // namespace tarnix
