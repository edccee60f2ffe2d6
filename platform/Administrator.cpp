#include "platform/Administrator.h"

#include "platform/UserGroups.h"

#include <algorithm>
#include <unistd.h>

namespace tarnix {

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
