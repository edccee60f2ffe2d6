#include "common/InstanceGuard.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tarnix {
namespace {

// Names held by other processes are given; names this process creates get handles.
class FakeMutexes : public NamedMutexSystem {
public:
    std::optional<int> CreateOwned(const std::string& name) override {
        if (failing) return -1;
        if (heldElsewhere.count(name) || IsOpen(name)) return std::nullopt;
        open[nextHandle] = name;
        return nextHandle++;
    }
    void CloseHandle(int handle) override { open.erase(handle); }
    void OpenUnowned(const std::string&) override {}

    bool IsOpen(const std::string& name) const {
        for (const auto& [handle, held] : open) {
            if (held == name) return true;
        }
        return false;
    }

    std::set<std::string> heldElsewhere;
    std::map<int, std::string> open;
    bool failing = false;
    int nextHandle = 5;
};

TEST(InstanceMutex, FirstInstanceHoldsTheSharedNameAndASecondCallCreatesNothing) {
    FakeMutexes mutexes;
    InstanceMutex guard(mutexes);
    EXPECT_FALSE(guard.CheckInstanceMutex("Tarnix", false));
    EXPECT_FALSE(guard.CheckInstanceMutex("TarnixS", false));
    EXPECT_TRUE(mutexes.IsOpen("Tarnix"));
    EXPECT_FALSE(mutexes.IsOpen("TarnixS"));
}

TEST(InstanceMutex, TakenNameIsReportedAndTheNextNameIsHeldInstead) {
    FakeMutexes mutexes;
    mutexes.heldElsewhere = {"Tarnix"};
    InstanceMutex guard(mutexes);
    EXPECT_TRUE(guard.CheckInstanceMutex("Tarnix", false));
    EXPECT_FALSE(guard.HoldsHandle());
    EXPECT_FALSE(guard.CheckInstanceMutex("TarnixM", false));
    EXPECT_TRUE(mutexes.IsOpen("TarnixM"));

    // A third instance with the switch finds both names taken and holds nothing.
    mutexes.heldElsewhere.insert("TarnixM");
    mutexes.open.clear();
    InstanceMutex third(mutexes);
    EXPECT_TRUE(third.CheckInstanceMutex("Tarnix", false));
    EXPECT_TRUE(third.CheckInstanceMutex("TarnixM", false));
    EXPECT_FALSE(third.HoldsHandle());
}

TEST(InstanceMutex, ReleaseClosesTheHeldHandleAndOnlyThenCreates) {
    FakeMutexes mutexes;
    InstanceMutex guard(mutexes);
    ASSERT_FALSE(guard.CheckInstanceMutex("Tarnix", false));
    EXPECT_FALSE(guard.CheckInstanceMutex("Other", true)); // closes "Tarnix", whatever the name
    EXPECT_TRUE(mutexes.open.empty());
    // Release without a held handle is an ordinary creation.
    EXPECT_FALSE(guard.CheckInstanceMutex("Tarnix", true));
    EXPECT_TRUE(mutexes.IsOpen("Tarnix"));
}

TEST(InstanceMutex, BrokenMutexFacilityLetsTheProgramStartHoldingNothing) {
    FakeMutexes mutexes;
    mutexes.failing = true;
    InstanceMutex guard(mutexes);
    EXPECT_FALSE(guard.CheckInstanceMutex("Tarnix", false));
    EXPECT_FALSE(guard.HoldsHandle());
    mutexes.failing = false;
    EXPECT_FALSE(guard.CheckInstanceMutex("TarnixS", false)); // nothing held, so it creates
    EXPECT_TRUE(mutexes.IsOpen("TarnixS"));
}

} // namespace
} // namespace tarnix
