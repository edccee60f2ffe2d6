// Programs on several computers: each computer is a network namespace of its own, so the programs
// need no "-AllowMulti" and hold their own instance names.

#include <gtest/gtest.h>

#include "NetNamespaces.h"
#include "RealProgram.h"

namespace tarnix::e2e {
namespace {

QStringList In(const NetNamespaces& nets, const std::string& ns) {
    return {"ip", "netns", "exec", QString::fromStdString(nets.Name(ns))};
}

TEST(Computers, CuttingOneLinkLosesOnlyThatSlave) {
    NetNamespaces nets;
    if (!nets.Add("m") || !nets.Add("s1") || !nets.Add("s2") ||
        !nets.Link("m", "tm1", "192.0.2.1", "s1", "ts1", "192.0.2.2") ||
        !nets.Link("m", "tm2", "192.0.2.5", "s2", "ts2", "192.0.2.6"))
        GTEST_SKIP() << "network namespaces cannot be made here (needs root and iproute2)";

    testing::Settings m = testing::MasterSettings();
    m["CName1"] = "One";
    m["IPAdd1"] = "192.0.2.2";
    m["CName2"] = "Two";
    m["IPAdd2"] = "192.0.2.6";
    m["Port1"] = "22000";
    m["Port2"] = "22001";
    m["LogLevel"] = "3";
    m["StartDelay"] = "1";
    ProgramDir masterDir(true, m);
    std::vector<std::unique_ptr<ProgramDir>> slaveDirs;
    for (int k = 1; k <= 2; ++k) {
        testing::Settings s = testing::SlaveSettings();
        s["IPAdd"] = k == 1 ? "192.0.2.1" : "192.0.2.5";
        s["Port1"] = std::to_string(22001 + k - 1);
        s["Port2"] = "22000";
        s["LogLevel"] = "3";
        s["StartDelay"] = "1";
        slaveDirs.push_back(std::make_unique<ProgramDir>(false, s));
    }
    RealProgram master(masterDir, {"-InhibitShutdown"}, In(nets, "m"));
    RealProgram slave1(*slaveDirs[0], {"-InhibitShutdown"}, In(nets, "s1"));
    RealProgram slave2(*slaveDirs[1], {"-InhibitShutdown"}, In(nets, "s2"));

    ASSERT_TRUE(masterDir.WaitForLog("Comms: 2, 2, 0, 0", 15s));

    const std::size_t masterLines = masterDir.LogLines().size();
    const std::size_t slave2Lines = slaveDirs[1]->LogLines().size();
    ASSERT_TRUE(nets.SetLink("m", "tm1", false));
    // The master can no longer send to slave 1 but goes on polling slave 2.
    EXPECT_TRUE(masterDir.WaitForLog("Comms: No Network", 5s, masterLines));
    EXPECT_TRUE(slaveDirs[0]->WaitForLog(",  Enter    , Power Off", 20s));
    EXPECT_TRUE(slaveDirs[1]->WaitForLog("Comms: -OK-", 5s, slave2Lines));
    const auto slave2Log = slaveDirs[1]->LogLines();
    for (std::size_t i = slave2Lines; i < slave2Log.size(); ++i)
        EXPECT_EQ(slave2Log[i].find("Power Off"), std::string::npos) << slave2Log[i];
    const auto masterLog = masterDir.LogLines();
    for (std::size_t i = masterLines; i < masterLog.size(); ++i)
        EXPECT_EQ(masterLog[i].find("Power Off"), std::string::npos) << masterLog[i];
}

TEST(Computers, ASecondStartOnTheSameComputerShowsTheNoticeAndLeavesTheFirstRunning) {
    NetNamespaces nets;
    if (!nets.Add("one")) GTEST_SKIP() << "network namespaces cannot be made here (needs root and iproute2)";
    testing::Settings s = testing::MasterSettings();
    s["Port1"] = "22100";
    s["Port2"] = "22101";
    ProgramDir firstDir(true, s);
    ProgramDir secondDir(false, testing::SlaveSettings());
    RealProgram first(firstDir, {}, In(nets, "one"));
    ASSERT_TRUE(firstDir.WaitForLog(",  Start    , Initialise", 10s));
    // A slave on the same computer: the shared instance name is taken.
    RealProgram second(secondDir, {}, In(nets, "one"));
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(second.Running()) << "the notice keeps the second process until OK";
    EXPECT_TRUE(secondDir.LogLines().empty()) << "the second instance must not start or log";
    second.Kill();
    EXPECT_TRUE(first.Running());
}

} // namespace
} // namespace tarnix::e2e
