#include "platform/ServiceClaim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <signal.h>

#include "common/base/AtomicFile.h"

namespace tarnix {
namespace {

constexpr const char* LockName = "tarnixd.lock";
constexpr const char* PidName = "tarnixd.pid";

} // namespace

std::filesystem::path ServiceClaim::DefaultFolder() {
    const char* runtime = std::getenv("RUNTIME_DIRECTORY");
    // systemd may list several folders, separated by colons; the claim lives in the first.
    if (runtime != nullptr && runtime[0] == '/')
        return std::string(runtime).substr(0, std::strcspn(runtime, ":"));
    return "/run/tarnix";
}

ServiceClaim::ServiceClaim(std::filesystem::path folder) : folder_(std::move(folder)) {}

ServiceClaim::~ServiceClaim() {
    if (fd_ < 0) return;
    std::error_code ignored;
    std::filesystem::remove(folder_ / PidName, ignored);
    ::close(fd_);
}

// systemd makes the folder for the unit; root starting the service by hand makes it as the unit
// would. Anyone else cannot, and is told where the claim lives and who makes it.
bool ServiceClaim::MakeFolder(std::string& whyNot) const {
    std::error_code error;
    if (std::filesystem::is_directory(folder_, error)) return true;
    if (::geteuid() == 0) {
        if (::mkdir(folder_.c_str(), 0755) == 0 || errno == EEXIST) return true;
        whyNot = "Cannot make " + folder_.string() + ": " + std::strerror(errno);
        return false;
    }
    whyNot = "There is no " + folder_.string() +
             ", where the service claims the computer: systemd makes it for the unit "
             "(systemctl start tarnix-master or tarnix-slave), or root starting the service by hand; "
             "-AllowMulti runs one without the claim";
    return false;
}

bool ServiceClaim::Claim(std::string& whyNot) {
    if (!MakeFolder(whyNot)) return false;
    const std::filesystem::path lock = folder_ / LockName;
    // Only the owner may open the lock, so nobody else can hold it, shared or not.
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        whyNot = "Cannot open " + lock.string() + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const auto other = RunningService(folder_);
        whyNot = "Another Tarnix service is running" +
                 (other ? " (process " + std::to_string(*other) + ")" : std::string()) + ".";
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    const std::filesystem::path pidFile = folder_ / PidName;
    const int out = ::open(pidFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    // Every user's desktop program reads it, whatever umask the service runs under (the unit's
    // takes the bits for others away).
    if (out < 0 || ::fchmod(out, 0644) != 0 || !WriteAll(out, pid)) {
        whyNot = "Cannot write " + pidFile.string() + ": " + std::strerror(errno);
        if (out >= 0) ::close(out);
        return false;
    }
    ::close(out);
    return true;
}

std::optional<pid_t> RunningService(const std::filesystem::path& folder) {
    std::ifstream in(folder / PidName);
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return std::nullopt;
    // Signal 0 only asks whether the process exists; EPERM means it does, under another user.
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return std::nullopt;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name != "tarnixd") return std::nullopt;
    return static_cast<pid_t>(pid);
}

std::optional<ProgramKind> RunningServiceKind(const std::filesystem::path& folder) {
    const std::optional<pid_t> pid = RunningService(folder);
    if (!pid) return std::nullopt;
    std::ifstream in("/proc/" + std::to_string(*pid) + "/cmdline", std::ios::binary);
    for (std::string argument; std::getline(in, argument, '\0');) {
        if (argument == "--master") return ProgramKind::Master;
        if (argument == "--slave") return ProgramKind::Slave;
    }
    return std::nullopt;
}

} // namespace tarnix
