#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnix {

// The system's user and group entries, looked up with buffers that grow until an entry fits, up
// to a bound, so that a broken entry cannot make us allocate without end.

// The group's id; nothing when it has no entry or the look-up failed.
std::optional<gid_t> GroupId(const std::string& name);
// The group's name; nothing when the look-up failed, an empty name when the group has no entry.
std::optional<std::string> GroupName(gid_t gid);
// The user's groups, its own and the supplementary ones; none when the user has no entry.
std::vector<gid_t> GroupsOfUser(uid_t uid);
// The user's login name; nothing when the user has no entry or the look-up failed.
std::optional<std::string> UserName(uid_t uid);
// True for root and for a user whose groups include the group named; false when the user or
// the group has no entry.
bool IsRootOrMember(uid_t uid, const std::string& group);

} // namespace tarnix
