#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ServiceClaim.h"

namespace tarnix {
namespace {

// Desktop programs of every user read the pid file, so the unit's umask must not hide it; root
// starting the service by hand gets the folder systemd would have made.
TEST(ServiceClaim, MakesItsFolderForRootAndLeavesThePidFileReadableToAll) {
    char pattern[] = "/tmp/claim-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path scratch = pattern;
    const std::filesystem::path folder = scratch / "run-tarnix";
    const mode_t saved = ::umask(027);
    std::string whyNot;
    {
        ServiceClaim claim(folder);
        const bool claimed = claim.Claim(whyNot);
        ::umask(saved);
        if (::geteuid() == 0) {
            ASSERT_TRUE(claimed) << whyNot;
            struct stat pid {};
            ASSERT_EQ(::stat((folder / "tarnixd.pid").c_str(), &pid), 0);
            EXPECT_EQ(pid.st_mode & 0777, 0644u);
        } else {
            EXPECT_FALSE(claimed);
            EXPECT_NE(whyNot.find("systemd makes it for the unit"), std::string::npos) << whyNot;
        }
    }
    std::filesystem::remove_all(scratch);
}

} // namespace
} // namespace tarnix
