#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Administrator.h"

namespace tarnix {
namespace {

TEST(Administrator, SuperuserOrAMemberOfAnAdministratorsGroup) {
    struct Case {
        uid_t uid;
        std::vector<std::string> groups;
        bool administrator;
    };
    const Case cases[] = {
        {0, {}, true},
        {1000, {"users", "sudo"}, true},
        {1000, {"wheel"}, true},
        {1000, {"admin"}, true},
        {1000, {"users", "adm", "sudoers", "Sudo", "lpadmin"}, false},
        {1000, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.groups));
        EXPECT_EQ(IsAdministratorAccount(c.uid, c.groups), c.administrator);
    }
}

TEST(Administrator, ThisProcessIsJudgedByItsOwnIdentity) {
    const std::optional<std::vector<std::string>> groups = ProcessGroupNames();
    ASSERT_TRUE(groups.has_value());
    EXPECT_EQ(IsAdministrator(), IsAdministratorAccount(geteuid(), *groups));
    if (geteuid() == 0) {
        EXPECT_TRUE(IsAdministrator());
    }
}

} // namespace
} // namespace tarnix
