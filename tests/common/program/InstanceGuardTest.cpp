#include "common/program/InstanceGuard.h"

#include <gtest/gtest.h>

#include <set>

#include "support/FakeMutexes.h"

namespace tarnix {
namespace {

using testing::FakeComputer;
using testing::FakeMutexes;

TEST(InstanceMutex, FirstInstanceHoldsTheSharedNameAndASecondCallCreatesNothing) {
    FakeMutexes mutexes;
    InstanceMutex guard(mutexes);
    EXPECT_FALSE(guard.CheckInstanceMutex("Tarnix", false));
    EXPECT_FALSE(guard.CheckInstanceMutex("TarnixS", false));
    EXPECT_TRUE(mutexes.IsOpen("Tarnix"));
    EXPECT_FALSE(mutexes.IsOpen("TarnixS"));
}

TEST(InstanceMutex, TakenNameIsReportedAndTheNextNameIsHeldInstead) {
    FakeComputer computer;
    computer.held = {"Tarnix"}; // by the first instance
    FakeMutexes mutexes(computer);
    InstanceMutex guard(mutexes);
    EXPECT_TRUE(guard.CheckInstanceMutex("Tarnix", false));
    EXPECT_FALSE(guard.HoldsHandle());
    EXPECT_FALSE(guard.CheckInstanceMutex("TarnixM", false));
    EXPECT_TRUE(mutexes.IsOpen("TarnixM"));

    // A third instance with the switch finds both names taken and holds nothing.
    FakeMutexes thirdMutexes(computer);
    InstanceMutex third(thirdMutexes);
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

// The start procedure's instance names, one FakeMutexes per program instance on one computer.
struct Instance {
    explicit Instance(FakeComputer& computer) : mutexes(computer), mutex(mutexes) {}
    FakeMutexes mutexes;
    InstanceMutex mutex;
};

TEST(ClaimInstance, OneProgramPerComputerUnlessTheSwitchEndsTheCommandLine) {
    FakeComputer computer;
    Instance first(computer), second(computer), third(computer), fourth(computer);
    EXPECT_TRUE(ClaimInstance(ProgramKind::Master, "", first.mutex));
    EXPECT_EQ(computer.held, std::set<std::string>{"Tarnix"});

    // A slave on the same computer: the shared name is taken.
    EXPECT_FALSE(ClaimInstance(ProgramKind::Slave, "", second.mutex));
    EXPECT_FALSE(ClaimInstance(ProgramKind::Master, "-AllowMulti ", second.mutex));

    // With the switch a second master holds its own name, a third holds nothing and still starts.
    EXPECT_TRUE(ClaimInstance(ProgramKind::Master, "-InhibitShutdown -AllowMulti", third.mutex));
    EXPECT_EQ(computer.held, (std::set<std::string>{"Tarnix", "TarnixM"}));
    EXPECT_TRUE(ClaimInstance(ProgramKind::Master, "-AllowMulti", fourth.mutex));
    EXPECT_FALSE(fourth.mutex.HoldsHandle());
}

TEST(ClaimInstance, TheSlaveAlsoOpensItsOwnNameUnlessTheSwitchIsGiven) {
    FakeComputer computer;
    Instance first(computer), second(computer);
    EXPECT_TRUE(ClaimInstance(ProgramKind::Slave, "", first.mutex));
    EXPECT_EQ(computer.held, std::set<std::string>{"Tarnix"});
    EXPECT_EQ(computer.unowned, std::set<std::string>{"TarnixS"});

    // A second slave with the switch finds "TarnixS" open already, so it holds nothing more.
    EXPECT_TRUE(ClaimInstance(ProgramKind::Slave, "-AllowMulti", second.mutex));
    EXPECT_EQ(computer.held, std::set<std::string>{"Tarnix"});
    EXPECT_FALSE(second.mutex.HoldsHandle());
}

TEST(ClaimInstance, ASlaveWithTheSwitchBesideAMasterHoldsItsOwnNameAndOpensNoOther) {
    FakeComputer computer;
    Instance master(computer), slave(computer);
    ASSERT_TRUE(ClaimInstance(ProgramKind::Master, "", master.mutex));
    EXPECT_TRUE(ClaimInstance(ProgramKind::Slave, "-AllowMulti", slave.mutex));
    EXPECT_EQ(computer.held, (std::set<std::string>{"Tarnix", "TarnixS"}));
    EXPECT_TRUE(computer.unowned.empty());
}

} // namespace
} // namespace tarnix
