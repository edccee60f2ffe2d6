#include "common/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnix {
namespace {

bool WriteAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The new file keeps the permissions of the one it replaces; a first file gets the umask's.
void CopyPermissions(const std::filesystem::path& from, int toFd) {
    struct stat status {};
    if (::stat(from.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        (void)::fchmod(toFd, status.st_mode & 07777);
}

// Makes the rename itself durable. A folder that cannot be synced does not undo the save.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    (void)::close(fd);
}

bool WriteTemporary(const std::filesystem::path& temporary, const std::filesystem::path& file,
                    std::string_view contents) {
    // A stale file from an interrupted save is removed first; a folder in its place stays and
    // makes the save fail.
    (void)::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    CopyPermissions(file, fd);
    const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed) return true;
    (void)::unlink(temporary.c_str());
    return false;
}

} // namespace

std::filesystem::path TemporaryPathFor(const std::filesystem::path& file) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    return temporary;
}

bool ReplaceFileContents(const std::filesystem::path& file, std::string_view contents) {
    try {
        const std::filesystem::path temporary = TemporaryPathFor(file);
        if (!WriteTemporary(temporary, file, contents)) return false;
        if (::rename(temporary.c_str(), file.c_str()) != 0) {
            (void)::unlink(temporary.c_str());
            return false;
        }
        SyncFolder(file);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace tarnix
