#include "common/base/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnix {
bool WriteAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

namespace {

// The file a save really replaces. A link is followed to its target, so that the link, and
// whatever else points at the file, stays as the user set it up. Nothing for a loop of links.
std::optional<std::filesystem::path> ResolveLinks(std::filesystem::path file) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(file, error))) return file;
        const std::filesystem::path target = std::filesystem::read_symlink(file, error);
        if (error) return std::nullopt;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return std::nullopt;
}

// The new file keeps the permissions, owner and group of the one it replaces; a first file
// gets the umask's and the saver's. Only root may give a file away: false when the new file
// would belong to someone else than the old one. The chown comes first because it clears
// set-id bits.
bool KeepOwnerAndMode(const struct stat& old, int fd) {
    const bool given = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    (void)::fchmod(fd, old.st_mode & 07777);
    if (given) return true;
    struct stat now {};
    return ::fstat(fd, &now) == 0 && now.st_uid == old.st_uid && now.st_gid == old.st_gid;
}

// Makes the rename itself durable. A folder that cannot be synced does not undo the save.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    (void)::close(fd);
}

enum class Staged { Written, FolderNotWritable, OwnerNotKept, Failed };

// With ownerMatters, a temporary file that cannot keep the old file's owner and group is given
// up (OwnerNotKept) before anything is written to it.
Staged WriteTemporary(const std::filesystem::path& temporary, const struct stat* old, bool ownerMatters,
                      std::string_view contents) {
    // A stale file from an interrupted save is removed first; a folder in its place stays and
    // makes the save fail.
    (void)::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return errno == EACCES || errno == EPERM ? Staged::FolderNotWritable : Staged::Failed;
    if (old && !KeepOwnerAndMode(*old, fd) && ownerMatters) {
        (void)::close(fd);
        (void)::unlink(temporary.c_str());
        return Staged::OwnerNotKept;
    }
    const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed) return Staged::Written;
    (void)::unlink(temporary.c_str());
    return Staged::Failed;
}

// For a file the user may change in a folder he may not: not atomic, but flushed to disk.
bool WriteInPlace(const std::filesystem::path& file, std::string_view contents) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

} // namespace

std::filesystem::path TemporaryPathFor(const std::filesystem::path& file) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    return temporary;
}

bool ReplaceFileContents(const std::filesystem::path& file, std::string_view contents) {
    try {
        const std::optional<std::filesystem::path> target = ResolveLinks(file);
        if (!target) return false;
        struct stat old {};
        const bool exists = ::stat(target->c_str(), &old) == 0 && S_ISREG(old.st_mode);
        const std::filesystem::path temporary = TemporaryPathFor(*target);
        // Replacing someone else's file would make it the saver's: where he may write the file
        // itself, it is written in place instead and stays its owner's.
        const bool writableInPlace = exists && ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) == 0;
        switch (WriteTemporary(temporary, exists ? &old : nullptr, writableInPlace, contents)) {
        case Staged::Written:
            break;
        case Staged::FolderNotWritable:
        case Staged::OwnerNotKept:
            return exists && WriteInPlace(*target, contents);
        case Staged::Failed:
            return false;
        }
        if (::rename(temporary.c_str(), target->c_str()) != 0) {
            (void)::unlink(temporary.c_str());
            return false;
        }
        SyncFolder(*target);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace tarnix
