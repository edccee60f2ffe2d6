#include "platform/Administrator.h"

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <unistd.h>

namespace tarnix {
namespace {

// Group entries can be large (a group listing many members); the buffer grows until it fits,
// up to a bound, so a broken entry cannot make us allocate without end.
constexpr std::size_t MaxGroupBuffer = 1 << 20;

// Nothing when the look-up failed; an empty name when the group has no entry.
std::optional<std::string> GroupName(gid_t gid) {
    const long suggested = sysconf(_SC_GETGR_R_SIZE_MAX);
    std::size_t size = suggested > 0 ? static_cast<std::size_t>(suggested) : 4096;
    while (size <= MaxGroupBuffer) {
        std::vector<char> buffer(size);
        group entry{};
        group* found = nullptr;
        const int error = getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE) {
            size *= 2;
            continue;
        }
        if (error != 0) return std::nullopt;
        return found != nullptr && found->gr_name != nullptr ? std::string(found->gr_name) : std::string();
    }
    return std::nullopt;
}

} // namespace

bool IsAdministratorAccount(uid_t effectiveUid, const std::vector<std::string>& groupNames) {
    if (effectiveUid == 0) return true;
    return std::any_of(groupNames.begin(), groupNames.end(), [](const std::string& name) {
        return std::find(std::begin(AdministratorGroups), std::end(AdministratorGroups), name) !=
               std::end(AdministratorGroups);
    });
}

std::optional<std::vector<std::string>> ProcessGroupNames() {
    const int count = getgroups(0, nullptr);
    if (count < 0) return std::nullopt;
    std::vector<gid_t> gids(static_cast<std::size_t>(count));
    // The list may have grown since it was counted: a short buffer is a failure, never an overrun.
    if (count > 0 && getgroups(count, gids.data()) != count) return std::nullopt;
    gids.push_back(getegid());
    std::vector<std::string> names;
    for (gid_t gid : gids) {
        const std::optional<std::string> name = GroupName(gid);
        if (!name) return std::nullopt;
        if (!name->empty()) names.push_back(*name);
    }
    return names;
}

bool IsAdministrator() {
    const uid_t uid = geteuid();
    if (uid == 0) return true;
    const std::optional<std::vector<std::string>> groups = ProcessGroupNames();
    return groups && IsAdministratorAccount(uid, *groups);
}

} // namespace tarnix
