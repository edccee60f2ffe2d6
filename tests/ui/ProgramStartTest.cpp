// The start procedure's instance names, against a mutex facility that remembers who holds what.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ui/ProgramStart.h"

namespace tarnix {
namespace {

// One computer's named mutexes; each program instance sees them through its own facility.
struct Computer {
    std::set<std::string> held;
    std::set<std::string> unowned;
};

class FakeMutexes : public NamedMutexSystem {
public:
    explicit FakeMutexes(Computer& computer) : computer_(computer) {}
    std::optional<int> CreateOwned(const std::string& name) override {
        if (computer_.held.count(name) || computer_.unowned.count(name)) return std::nullopt;
        computer_.held.insert(name);
        handles_[next_] = name;
        return next_++;
    }
    void CloseHandle(int handle) override {
        computer_.held.erase(handles_[handle]);
        handles_.erase(handle);
    }
    void OpenUnowned(const std::string& name) override { computer_.unowned.insert(name); }

private:
    Computer& computer_;
    std::map<int, std::string> handles_;
    int next_ = 1;
};

struct Instance {
    Instance(Computer& computer) : mutexes(computer), mutex(mutexes) {}
    FakeMutexes mutexes;
    InstanceMutex mutex;
};

TEST(ClaimInstance, OneProgramPerComputerUnlessTheSwitchEndsTheCommandLine) {
    Computer computer;
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
    Computer computer;
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
    Computer computer;
    Instance master(computer), slave(computer);
    ASSERT_TRUE(ClaimInstance(ProgramKind::Master, "", master.mutex));
    EXPECT_TRUE(ClaimInstance(ProgramKind::Slave, "-AllowMulti", slave.mutex));
    EXPECT_EQ(computer.held, (std::set<std::string>{"Tarnix", "TarnixS"}));
    EXPECT_TRUE(computer.unowned.empty());
}

TEST(ExecutableName, IsTheFileNameWithoutFolderAndExtension) {
    EXPECT_EQ(ExecutableName("/opt/tarnix/TarnixM"), "TarnixM");
    EXPECT_EQ(ExecutableName("./WatchdogS.bin"), "WatchdogS");
    EXPECT_EQ(ExecutableName("TarnixS"), "TarnixS");
}

TEST(CommandLineOf, JoinsTheArgumentsAfterTheProgramPath) {
    char program[] = "/opt/tarnix/TarnixM";
    char inhibit[] = "-InhibitShutdown";
    char allow[] = "-AllowMulti";
    char* argv[] = {program, inhibit, allow};
    EXPECT_EQ(CommandLineOf(3, argv), "-InhibitShutdown -AllowMulti");
    EXPECT_EQ(CommandLineOf(1, argv), "");
}

} // namespace
} // namespace tarnix
