#include "common/link/PeerKey.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/program/ProgramNames.h"

namespace tarnix {
namespace {

constexpr std::size_t KeyDigits = 64;
// Room for the digits, a CR LF and one byte more, which tells a longer file apart.
constexpr std::size_t ReadLimit = KeyDigits + 3;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

KeyFileContents Fault(const std::filesystem::path& file, const std::string& what) {
    return {std::nullopt, "The key file " + file.string() + " " + what};
}

} // namespace

std::optional<PeerKey> KeyFromText(std::string text) {
    if (text.ends_with("\n")) text.pop_back();
    if (text.ends_with("\r")) text.pop_back();
    if (text.size() != KeyDigits) return std::nullopt;
    PeerKey key;
    for (std::size_t i = 0; i < key.bytes.size(); ++i) {
        const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        key.bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return key;
}

KeyFileContents ReadKeyFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        return Fault(file, std::string("cannot be read: ") + std::strerror(errno) + ".");
    }
    struct stat status {};
    std::string text(ReadLimit, '\0');
    ssize_t length = -1;
    const bool examined = ::fstat(fd, &status) == 0;
    if (examined && S_ISREG(status.st_mode)) length = ::read(fd, text.data(), text.size());
    ::close(fd);
    if (!examined || !S_ISREG(status.st_mode)) return Fault(file, "is not a plain file.");
    if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0)
        return Fault(file, "may be read by others than its owner: make it readable by its owner only "
                           "(chmod 600).");
    if (length < 0) return Fault(file, std::string("cannot be read: ") + std::strerror(errno) + ".");
    text.resize(static_cast<std::size_t>(length));
    std::optional<PeerKey> key = KeyFromText(std::move(text));
    if (!key) return Fault(file, "does not hold one line of 64 hexadecimal digits.");
    return {key, std::nullopt};
}

std::filesystem::path SlaveKeyFile() {
    return std::filesystem::path("Data") / (ExecutableNameOf(ProgramKind::Slave) + ".key");
}

std::filesystem::path MasterKeyFile(int k) {
    const std::string number = k == 0 ? "" : std::to_string(k);
    return std::filesystem::path("Data") / (ExecutableNameOf(ProgramKind::Master) + number + ".key");
}

std::optional<FatalError> LinkKeys::Read(ProgramKind kind) {
    keys_ = {};
    if (kind == ProgramKind::Slave) {
        KeyFileContents slave = ReadKeyFile(SlaveKeyFile());
        if (slave.fault) return KeyFileBox(*slave.fault);
        keys_[0] = slave.key;
        return std::nullopt;
    }
    std::optional<KeyFileContents> shared; // read once, and only for a computer without its own
    for (int k = 1; k <= RemoteComputerCount; ++k) {
        KeyFileContents own = ReadKeyFile(MasterKeyFile(k));
        if (own.fault) return KeyFileBox(*own.fault);
        if (!own.key) {
            if (!shared) shared = ReadKeyFile(MasterKeyFile(0));
            if (shared->fault) return KeyFileBox(*shared->fault);
            own.key = shared->key;
        }
        keys_[static_cast<std::size_t>(k)] = own.key;
    }
    return std::nullopt;
}

FatalError KeyFileBox(const std::string& fault) {
    return {" Configuration File Error", BoxIcon::Error, {fault, ProgramWillTerminate}};
}

} // namespace tarnix
