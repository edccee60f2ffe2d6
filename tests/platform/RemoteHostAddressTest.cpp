#include "platform/RemoteHostAddress.h"
#include "Helpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace tarnix {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kLoopback = 0x7f000001;

TEST(RemoteHostAddress, DottedAddressNeedsNoLookup) {
    RemoteHostAddress host;
    host.Set("192.168.10.20");
    EXPECT_FALSE(host.LookupRunning());
    EXPECT_EQ(host.Current(), 0xc0a80a14u);
    host.Set("");
    EXPECT_EQ(host.Current(), std::nullopt);
}

TEST(RemoteHostAddress, AnswerForAReplacedHostIsDropped) {
    if (!test::LocalhostResolves()) GTEST_SKIP() << "this system cannot resolve \"localhost\"";
    RemoteHostAddress host;
    host.Set("localhost");
    EXPECT_EQ(host.Current(), std::nullopt) << "the answer comes later, never at once";
    host.Set("127.0.0.2");
    test::RunEventsUntil([] { return false; }, 300ms); // room for the old answer to arrive
    EXPECT_EQ(host.Current(), 0x7f000002u);
}

TEST(RemoteHostAddress, SameNameKeepsItsAnswerAndAnAgedAnswerIsRenewedInTheBackground) {
    if (!test::LocalhostResolves()) GTEST_SKIP() << "this system cannot resolve \"localhost\"";
    RemoteHostAddress host(0ms);
    host.Set("localhost");
    ASSERT_TRUE(test::RunEventsUntil([&] { return !host.LookupRunning(); }));
    host.Set("localhost");
    EXPECT_FALSE(host.LookupRunning()) << "setting the same name again must not look it up again";

    EXPECT_EQ(host.Current(), kLoopback) << "the aged answer stays in use meanwhile";
    EXPECT_TRUE(host.LookupRunning());
    ASSERT_TRUE(test::RunEventsUntil([&] { return !host.LookupRunning(); }));
    EXPECT_EQ(host.Current(), kLoopback);
}

TEST(RemoteHostAddress, AFreshAnswerIsKeptWithoutALookup) {
    if (!test::LocalhostResolves()) GTEST_SKIP() << "this system cannot resolve \"localhost\"";
    RemoteHostAddress host(1h);
    host.Set("localhost");
    ASSERT_TRUE(test::RunEventsUntil([&] { return !host.LookupRunning(); }));
    EXPECT_EQ(host.Current(), kLoopback);
    EXPECT_FALSE(host.LookupRunning()) << "an answer younger than the refresh age is not renewed";
}

// A name the resolver refuses outright (no query leaves the machine) says why until another
// host is set.
TEST(RemoteHostAddress, ANameWithoutAnAnswerSaysWhy) {
    RemoteHostAddress host;
    host.Set("pc..lab");
    ASSERT_TRUE(test::RunEventsUntil([&] { return !host.LookupRunning(); }));
    EXPECT_EQ(host.Current(), std::nullopt);
    EXPECT_EQ(host.LookupFailure().rfind("the name pc..lab cannot be looked up: ", 0), 0u)
        << host.LookupFailure();
    host.Set("127.0.0.2");
    EXPECT_EQ(host.LookupFailure(), "");
}

// The name comes from a hosts file that only a child process sees (see ChildRoles.cpp).
TEST(RemoteHostAddress, EveryAddressOfANameIsTheHostsAndTheFirstIsSentTo) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.path().toStdString();
    std::ofstream(path + "/hosts") << "127.0.0.3 tarnix-peer.test\n127.0.0.4 tarnix-peer.test\n";
    std::ofstream(path + "/nsswitch.conf") << "hosts: files\n";
    const auto [output, code] = test::RunSelf({"--child-several-addresses", path});
    if (code == test::kNamespaceRefused) GTEST_SKIP() << output;
    EXPECT_EQ(code, 0) << output;
    EXPECT_EQ(output.find("FAILED"), std::string::npos) << output;
    EXPECT_NE(output.find("ok every address of the name matches"), std::string::npos) << output;
}

} // namespace
} // namespace tarnix
