#include "platform/UserGroups.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tarnix {
namespace {

constexpr std::size_t MaxEntryBuffer = 1 << 20;

// Calls lookup(buffer) until it answers something other than ERANGE or the buffer reaches the
// bound; ERANGE then.
template <typename Lookup> int WithGrowingBuffer(int suggestedSize, Lookup lookup) {
    const long suggested = sysconf(suggestedSize);
    for (std::size_t size = suggested > 0 ? static_cast<std::size_t>(suggested) : 4096;
         size <= MaxEntryBuffer; size *= 2) {
        std::vector<char> buffer(size);
        const int error = lookup(buffer);
        if (error != ERANGE) return error;
    }
    return ERANGE;
}

} // namespace

std::optional<gid_t> GroupId(const std::string& name) {
    std::optional<gid_t> gid;
    WithGrowingBuffer(_SC_GETGR_R_SIZE_MAX, [&](std::vector<char>& buffer) {
        group entry{};
        group* found = nullptr;
        const int error = getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
        if (error == 0 && found != nullptr) gid = found->gr_gid;
        return error;
    });
    return gid;
}

std::optional<std::string> GroupName(gid_t gid) {
    std::optional<std::string> name;
    WithGrowingBuffer(_SC_GETGR_R_SIZE_MAX, [&](std::vector<char>& buffer) {
        group entry{};
        group* found = nullptr;
        const int error = getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
        if (error == 0)
            name =
                found != nullptr && found->gr_name != nullptr ? std::string(found->gr_name) : std::string();
        return error;
    });
    return name;
}

std::vector<gid_t> GroupsOfUser(uid_t uid) {
    std::vector<gid_t> groups;
    WithGrowingBuffer(_SC_GETPW_R_SIZE_MAX, [&](std::vector<char>& buffer) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error != 0 || found == nullptr) return error;
        int count = 16;
        groups.resize(static_cast<std::size_t>(count));
        while (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
            if (static_cast<std::size_t>(count) <= groups.size()) { // no progress: give up
                groups.clear();
                return 0;
            }
            groups.resize(static_cast<std::size_t>(count));
        }
        groups.resize(static_cast<std::size_t>(count));
        return 0;
    });
    return groups;
}

std::optional<std::string> UserName(uid_t uid) {
    std::optional<std::string> name;
    WithGrowingBuffer(_SC_GETPW_R_SIZE_MAX, [&](std::vector<char>& buffer) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == 0 && found != nullptr && found->pw_name != nullptr) name = std::string(found->pw_name);
        return error;
    });
    return name;
}

bool IsRootOrMember(uid_t uid, const std::string& group) {
    if (uid == 0) return true;
    const std::optional<gid_t> gid = GroupId(group);
    if (!gid) return false;
    const std::vector<gid_t> groups = GroupsOfUser(uid);
    return std::find(groups.begin(), groups.end(), *gid) != groups.end();
}

} // namespace tarnix
