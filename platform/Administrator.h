#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnix {

// The groups whose members administer the machine on the distributions we run on.
inline constexpr const char* AdministratorGroups[] = {"sudo", "wheel", "admin"};

// True for the superuser and for a member of one of the administrators' groups.
bool IsAdministratorAccount(uid_t effectiveUid, const std::vector<std::string>& groupNames);

// The names of the process's own groups (effective group and supplementary groups); nothing
// when the list cannot be read. A group without a name is left out.
std::optional<std::vector<std::string>> ProcessGroupNames();

// Whether this process may change the configuration. Any failure answers false.
bool IsAdministrator();

} // namespace tarnix
