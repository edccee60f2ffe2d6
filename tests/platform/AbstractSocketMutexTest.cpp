#include "platform/AbstractSocketMutex.h"
#include "Helpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tarnix {
namespace {

using test::Child;

// Names unique to this test run, so parallel runs on one machine do not meet.
std::string UniqueName(const char* what) {
    return std::string(what) + "." + std::to_string(::getpid());
}

TEST(AbstractSocketMutex, NameIsHeldUntilClosedEvenAgainstThisProcess) {
    AbstractSocketMutex mutexes;
    const std::string name = UniqueName("own");
    const std::optional<int> handle = mutexes.CreateOwned(name);
    ASSERT_TRUE(handle && *handle >= 0);
    // Inherited by a started browser or editor, the name would outlive us.
    EXPECT_TRUE(::fcntl(*handle, F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(mutexes.CreateOwned(name), std::nullopt);
    EXPECT_NE(mutexes.CreateOwned(name + "2"), std::nullopt); // names are distinct

    mutexes.CloseHandle(*handle);
    const std::optional<int> again = mutexes.CreateOwned(name);
    ASSERT_TRUE(again && *again >= 0);
    mutexes.CloseHandle(*again);
}

TEST(AbstractSocketMutex, UnownedOpenKeepsTheNameAndTooLongNamesFailWithoutClaimingToBeTaken) {
    AbstractSocketMutex mutexes;
    const std::string name = UniqueName("unowned");
    mutexes.OpenUnowned(name);
    EXPECT_EQ(mutexes.CreateOwned(name), std::nullopt);
    mutexes.OpenUnowned(name); // a taken name is no error

    const std::optional<int> tooLong = mutexes.CreateOwned(std::string(200, 'x'));
    ASSERT_TRUE(tooLong.has_value());
    EXPECT_LT(*tooLong, 0);
}

TEST(AbstractSocketMutex, AnotherProcessSeesTheNameTakenUntilItsHolderIsKilled) {
    AbstractSocketMutex mutexes;
    const std::string mine = UniqueName("held-here");
    const std::optional<int> handle = mutexes.CreateOwned(mine);
    ASSERT_TRUE(handle && *handle >= 0);
    EXPECT_EQ(test::RunSelf({"--child-hold-mutex", mine}).first, "taken\n");
    mutexes.CloseHandle(*handle);

    const std::string theirs = UniqueName("held-there");
    Child holder = test::SpawnSelf({"--child-hold-mutex", theirs});
    ASSERT_GT(holder.pid, 0);
    ASSERT_EQ(test::ReadLine(holder), "held");
    EXPECT_EQ(mutexes.CreateOwned(theirs), std::nullopt);

    // A crashed holder must not leave the name behind.
    ::kill(holder.pid, SIGKILL);
    EXPECT_EQ(test::WaitForExit(holder), 128 + SIGKILL);
    const std::optional<int> after = mutexes.CreateOwned(theirs);
    ASSERT_TRUE(after && *after >= 0);
    mutexes.CloseHandle(*after);
}

TEST(AbstractSocketMutex, NamesBelongToTheNetworkNamespace) {
    AbstractSocketMutex mutexes;
    const std::string name = UniqueName("namespace");
    const std::optional<int> handle = mutexes.CreateOwned(name);
    ASSERT_TRUE(handle && *handle >= 0);
    // Each simulated computer of the end-to-end tests runs in a namespace of its own.
    Child other = test::SpawnSelf({"--child-netns", "--child-hold-mutex", name});
    ASSERT_GT(other.pid, 0);
    const std::string answer = test::ReadLine(other);
    if (answer == "held") ::kill(other.pid, SIGKILL);
    const int code = test::WaitForExit(other);
    mutexes.CloseHandle(*handle);
    if (code == test::kNamespaceRefused) GTEST_SKIP() << "no fresh network namespace here: " << answer;
    EXPECT_EQ(answer, "held");
}

} // namespace
} // namespace tarnix
