// A master and up to four slaves in one process on simulated time, each on its own address of
// a fake network: polls and answers, silence, malformed traffic, commands.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/Rigs.h"

namespace tarnix::testing {
namespace {

std::string SlaveHost(int k) {
    return "127.0.0." + std::to_string(10 + k);
}

class Lab : public ::testing::Test {
protected:
    ProgramFolder folder;
    FakeNetwork network;
    Settings master = MasterSettings();
    std::unique_ptr<MasterRig> masterRig;
    std::vector<std::unique_ptr<SlaveRig>> slaves; // slaves[k - 1] is remote computer k
    std::vector<bool> running;
    int step = 0;

    // Starts a master with n slaves, all paired the shipped way: slave k answers to Port2 + k - 1.
    void Start(int n, const Settings& slaveOverrides = {}) {
        for (int k = 1; k <= n; ++k)
            master["IPAdd" + std::to_string(k)] = SlaveHost(k);
        folder.WriteMaster(master);
        masterRig = std::make_unique<MasterRig>(network);
        masterRig->program->Load();
        for (int k = 1; k <= n; ++k) {
            Settings s = SlaveSettings();
            s["IPAdd"] = "127.0.0.1";
            s["Port2"] = master.at("Port1");
            s["Port1"] = std::to_string(std::stoi(master.at("Port2")) + k - 1);
            s["LogName"] = "TarnixS" + std::to_string(k) + ".log";
            for (const auto& [key, value] : slaveOverrides)
                s[key] = value;
            folder.WriteSlave(s);
            slaves.push_back(std::make_unique<SlaveRig>(network, "", SlaveHost(k)));
            slaves.back()->program->Load();
            running.push_back(true);
        }
    }
    // One 500 ms step of the lab: the master ticks every step, the slaves every second step.
    void Step() {
        masterRig->Tick();
        network.Deliver();
        if (++step % 2 == 0) {
            for (std::size_t k = 0; k < slaves.size(); ++k)
                if (running[k]) slaves[k]->Tick();
            network.Deliver();
        }
    }
    void Seconds(int n) {
        for (int i = 0; i < 2 * n; ++i)
            Step();
    }
    void StopSlave(int k) {
        running[static_cast<std::size_t>(k - 1)] = false;
        slaves[static_cast<std::size_t>(k - 1)]->port.Close();
    }
    // The master is gone: only the slaves tick.
    void StopMaster() {
        for (int i = 1; i <= 4; ++i)
            masterRig->Port(i).Close();
    }
    void SlaveSeconds(int n) {
        for (int second = 0; second < n; ++second) {
            for (std::size_t k = 0; k < slaves.size(); ++k)
                if (running[k]) slaves[k]->Tick();
            network.Deliver();
        }
    }
    std::string Row(int i) const { return masterRig->window.RowText(i, RowBox::Type1); }
    const Supervision& Slave(int k) { return slaves[static_cast<std::size_t>(k - 1)]->program->Machine(); }
};

TEST_F(Lab, MasterAndSlavesSeeEachOtherConnected) {
    master["LogLevel"] = "3";
    Start(2);
    Seconds(5);
    EXPECT_EQ(Row(1), " Connected");
    EXPECT_EQ(Row(2), " Connected");
    EXPECT_EQ(masterRig->window.RowText(1, RowBox::Shut1), "P");
    EXPECT_EQ(Row(3), " ---");
    EXPECT_EQ(slaves[0]->window.counter, "Connected");
    EXPECT_EQ(Slave(2).Phase(), PhaseRun);
    EXPECT_EQ(masterRig->window.counter, "");
    const auto lines = folder.LogLines("TarnixM.log");
    EXPECT_NE(lines.back().find(", Comms: 2, 2, 0, 0"), std::string::npos) << lines.back();
    // Hours of good supervision change nothing.
    Seconds(3600);
    EXPECT_EQ(masterRig->program->Machine().Phase(), PhaseRun);
    EXPECT_EQ(Slave(1).Phase(), PhaseRun);
}

TEST_F(Lab, AStoppedSlaveIsNotConnectedWhileTheOthersKeepTheMasterRunning) {
    Start(2);
    Seconds(4);
    StopSlave(2);
    Seconds(2);
    EXPECT_EQ(Row(1), " Connected");
    EXPECT_EQ(Row(2), " Not Connected");
    EXPECT_EQ(masterRig->window.RowColour(2, RowBox::Comp), colours::StatusOrange);
    Seconds(10);
    EXPECT_EQ(masterRig->program->Machine().Phase(), PhaseRun);
    // When every slave is silent the master loses its own link.
    StopSlave(1);
    Seconds(6);
    EXPECT_EQ(masterRig->program->Machine().Phase(), PhaseCountdown);
}

TEST_F(Lab, MalformedTrafficShowsADataError) {
    Start(2);
    Seconds(4);
    // Slave 2's program is gone; something else on its computer sends garbage to its port.
    StopSlave(2);
    FakePort& stray = network.NewPort(SlaveHost(2));
    stray.SetRemoteHost("127.0.0.1");
    stray.SetRemotePort(20002);
    for (int i = 0; i < 4; ++i) {
        stray.Send("<TNA1>");
        Step();
    }
    EXPECT_EQ(Row(2), " Data Error");
    EXPECT_EQ(Row(1), " Connected");
    EXPECT_EQ(masterRig->program->Machine().Phase(), PhaseRun);
}

// Only the configured computers are listened to: a stranger can neither keep a dead link alive
// nor hold off a slave's action with commands, is never answered and leaves no trace.
TEST_F(Lab, StrangersAreNotHeard) {
    Start(2, {{"CPUDelay", "8"}, {"ShutTime", "30"}});
    Seconds(4);
    StopSlave(2);
    FakePort& stranger = network.NewPort("127.0.0.99");
    stranger.Bind(20000); // where a slave's answers would go
    int answered = 0;
    stranger.SetArrivalHandler([&](const Arrival&) { ++answered; });
    const auto strangerSends = [&](const std::string& host, std::int32_t port, const std::string& text) {
        stranger.SetRemoteHost(host);
        stranger.SetRemotePort(port);
        stranger.Send(text);
    };
    const std::size_t slaveLogLines = folder.LogLines("TarnixS1.log").size();
    for (int second = 0; second < 20; ++second) {
        strangerSends("127.0.0.1", 20002, "<TNP100>");  // a reply for the dead computer 2
        strangerSends(SlaveHost(1), 20000, "<TNC000>"); // a reset for slave 1
        strangerSends(SlaveHost(1), 20000, "<TNA100>"); // a poll for slave 1
        network.Deliver();
        if (second < 5) {
            Seconds(1);
        } else {
            StopMaster();
            SlaveSeconds(1);
        }
    }
    EXPECT_EQ(Row(2), " Not Connected");
    EXPECT_EQ(Slave(1).Phase(), PhaseCountdown) << "the stranger's resets must not hold off the action";
    EXPECT_EQ(answered, 0);
    const auto lines = folder.LogLines("TarnixS1.log");
    EXPECT_EQ(std::count_if(lines.begin() + static_cast<std::ptrdiff_t>(slaveLogLines), lines.end(),
                            [](const std::string& line) { return line.find("Reset") != std::string::npos; }),
              0);
}

// Each of the master's ports listens to its own computer only, so a wrongly paired slave is
// counted for nobody.
TEST_F(Lab, AReplyOnAnotherComputersPortIsNotCounted) {
    Start(3);
    // Slave 3 is paired wrongly: it answers on computer 2's port.
    folder.WriteSlave([&] {
        Settings s = SlaveSettings();
        s["Port2"] = master.at("Port1");
        s["Port1"] = "20002";
        s["LogName"] = "TarnixS3.log";
        return s;
    }());
    slaves[2]->port.Close();
    slaves[2] = std::make_unique<SlaveRig>(network, "", SlaveHost(3));
    slaves[2]->program->Load();
    StopSlave(2);
    Seconds(6);
    EXPECT_EQ(Row(2), " Not Connected");
    EXPECT_EQ(Row(3), " Not Connected");
}

TEST_F(Lab, ASlaveThatCountsDownIsSeenAsNotConnectedUntilTheMastersReset) {
    Start(2, {{"ShutTime", "30"}});
    Seconds(4);
    network.Cut(SlaveHost(1), 20000); // the master's polls no longer reach slave 1
    Seconds(7);
    ASSERT_EQ(Slave(1).Phase(), PhaseCountdown);
    network.Mend(SlaveHost(1), 20000);
    Seconds(1);
    EXPECT_EQ(Slave(1).Phase(), PhaseCountdown); // polls again, but the countdown runs on
    EXPECT_EQ(Row(1), " Not Connected");
    EXPECT_EQ(Row(2), " Connected");

    masterRig->rules->OnButtonClicked(Button::Reset);
    network.Deliver();
    EXPECT_EQ(Slave(1).Phase(), PhaseActivation);
    const auto events = folder.LogEvents("TarnixS1.log");
    EXPECT_NE(std::find(events.begin(), events.end(), "Reset,Power Off"), events.end());
    Seconds(6);
    EXPECT_EQ(Row(1), " Connected");
}

TEST_F(Lab, TheMastersTestReachesEverySlave) {
    Start(4);
    Seconds(4);
    masterRig->rules->OnButtonClicked(Button::TestS);
    network.Deliver();
    for (int k = 1; k <= 4; ++k) {
        EXPECT_TRUE(Slave(k).TestRun()) << k;
        EXPECT_EQ(slaves[static_cast<std::size_t>(k - 1)]->window.caption, "Tarnix Slave - Test Mode");
    }
    // Master and slaves go through their test runs together without losing the link.
    Seconds(10);
    EXPECT_TRUE(masterRig->boxes.shown.empty());
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(Row(k), " Connected") << k;
}

// Keyed pairs: the master and its slaves share a key in their key files.
class KeyedLab : public Lab {
protected:
    void WriteKeys(bool master = true, bool slave = true,
                   std::filesystem::perms mode = std::filesystem::perms::owner_read) {
        const std::string key(64, 'c');
        if (master) folder.WriteKey("TarnixM.key", key, mode);
        if (slave) folder.WriteKey("TarnixS.key", key, mode);
    }
    std::vector<std::string> Dropped(const std::string& log) const {
        std::vector<std::string> lines;
        for (const std::string& line : folder.LogLines(log))
            if (line.find(" Dropped") != std::string::npos) lines.push_back(line);
        return lines;
    }
    void RestartSlave() {
        slaves[0]->port.Close();
        slaves[0] = std::make_unique<SlaveRig>(network, "", SlaveHost(1));
        slaves[0]->program->Load();
    }
    void RestartMaster() {
        StopMaster();
        masterRig = std::make_unique<MasterRig>(network);
        masterRig->program->Load();
    }
};

// What was seen: a forged reset every few seconds kept a slave whose master had gone from
// acting. With a key, neither forged nor recorded commands are heard, and the log says so once.
TEST_F(KeyedLab, ForgedAndRecordedCommandsDoNotHoldOffTheActionOfAKeyedSlave) {
    WriteKeys();
    Start(1, {{"CPUDelay", "8"}, {"ShutTime", "30"}});
    Seconds(4);
    ASSERT_EQ(Row(1), " Connected");
    ASSERT_EQ(slaves[0]->window.counter, "Connected");
    masterRig->rules->OnButtonClicked(Button::Reset);
    masterRig->rules->OnButtonClicked(Button::TestS);
    network.Deliver();
    Seconds(2);
    const std::vector<std::string> recorded = masterRig->Port(1).sent;
    const std::size_t answered = slaves[0]->port.sent.size();
    const std::size_t lines = folder.LogLines("TarnixS1.log").size();
    StopMaster();
    for (int second = 0; second < 20; ++second) {
        slaves[0]->port.Arrive("<TNC000>", std::string("127.0.0.1"));
        for (const std::string& datagram : recorded)
            slaves[0]->port.Arrive(datagram, std::string("127.0.0.1"));
        SlaveSeconds(1);
    }
    EXPECT_EQ(Slave(1).Phase(), PhaseCountdown);
    EXPECT_EQ(slaves[0]->port.sent.size(), answered) << "nothing forged is answered";
    const auto log = folder.LogLines("TarnixS1.log");
    EXPECT_EQ(std::count_if(log.begin() + static_cast<std::ptrdiff_t>(lines), log.end(),
                            [](const std::string& line) { return line.find("Reset") != std::string::npos; }),
              0);
    const auto dropped = Dropped("TarnixS1.log");
    ASSERT_EQ(dropped.size(), 1u);
    // The first second's drops, at once.
    EXPECT_NE(dropped[0].find("127.0.0.1: 1 dropped, key mismatch; " + std::to_string(recorded.size()) +
                              " dropped, replayed"),
              std::string::npos)
        << dropped[0];
}

TEST_F(KeyedLab, KeyedPairsComeBackAfterEitherProgramRestarts) {
    WriteKeys();
    Start(1);
    Seconds(4);
    ASSERT_EQ(Row(1), " Connected");
    RestartSlave();
    Seconds(4);
    EXPECT_EQ(Row(1), " Connected");
    EXPECT_EQ(slaves[0]->window.counter, "Connected");
    RestartMaster();
    Seconds(4);
    EXPECT_EQ(Row(1), " Connected");
    EXPECT_EQ(Slave(1).Phase(), PhaseRun);
    EXPECT_TRUE(Dropped("TarnixS1.log").empty()) << "restarts are no drops worth a line";
    EXPECT_TRUE(Dropped("TarnixM.log").empty());
}

// A key on one side only: the link is lost, and the side that hears the other says why, once a
// minute however many datagrams it drops.
TEST_F(KeyedLab, AKeyOnOneSideOnlyLosesTheLinkAndTheLogSaysWhyOnceAMinute) {
    WriteKeys(true, false);
    master["CPUDelay"] = "600";
    Start(1, {{"CPUDelay", "600"}});
    Seconds(150);
    EXPECT_EQ(Row(1), " Not Connected");
    const auto dropped = Dropped("TarnixS1.log");
    ASSERT_EQ(dropped.size(), 3u);
    EXPECT_NE(dropped[0].find("127.0.0.1: 1 dropped, key mismatch"), std::string::npos) << dropped[0];
    EXPECT_NE(dropped[1].find("127.0.0.1: 120 dropped, key mismatch"), std::string::npos) << dropped[1];
    // Each report is an event too, naming the peer.
    std::vector<std::string> told;
    for (const std::string& line : slaves[0]->events.lines)
        if (line.rfind("dropped ", 0) == 0) told.push_back(line);
    ASSERT_EQ(told.size(), dropped.size());
    EXPECT_EQ(told[0].rfind("dropped peer=master report=", 0), 0u) << told[0];
}

TEST_F(KeyedLab, AKeyFileOthersMayReadEndsTheProgramAtStart) {
    using std::filesystem::perms;
    WriteKeys(false, true, perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
    folder.WriteSlave(SlaveSettings());
    SlaveRig slave(network);
    EXPECT_TRUE(Ends([&] { slave.program->Load(); }));
    ASSERT_EQ(slave.boxes.shown.size(), 1u);
    EXPECT_EQ(slave.boxes.shown[0].title, "Tarnix Slave Configuration File Error");
    EXPECT_NE(slave.boxes.shown[0].lines[0].find("Data/TarnixS.key may be read by others"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.Root() / "Log" / "TarnixS.log")) << "it ends before its log";
    EXPECT_EQ(slave.control.lastEnd, ProgramEnd::NotConfigured);
}

// Silence is counted per computer in whole seconds of ticks that heard nothing valid from it: the
// tick whose stretch held the last answer is not silent.
TEST_F(Lab, EachEndCountsTheSilenceOfItsPeers) {
    Start(2);
    Seconds(4);
    StopSlave(2);
    Seconds(5);
    const ProgramStatus master = masterRig->program->Status();
    EXPECT_EQ(master.remote[0].silentSeconds, 0);
    EXPECT_EQ(master.remote[1].silentSeconds, 4); // 9 silent ticks of 500 ms
    StopMaster();
    SlaveSeconds(3);
    EXPECT_EQ(slaves[0]->program->Status().masterSilentSeconds, 3);
}

// What each end of a running link counts of some traffic, one case after the other, through a
// reset and a reload.
class CountedLab : public KeyedLab {
protected:
    using Counts = ProgramStatus::DatagramCounts;
    struct Traffic {
        const char* what;
        std::function<void()> send;
        Counts master, slave; // counted meanwhile
    };
    FakePort& ToSlave() { return slaves[0]->port; }
    FakePort& ToMaster() { return masterRig->Port(1); }
    static std::string Since(const Counts& before, const Counts& now) {
        std::string text;
        for (auto count : {&Counts::sent, &Counts::heard, &Counts::malformed, &Counts::stranger,
                           &Counts::keyMismatch, &Counts::replayed})
            text += std::to_string(now.*count - before.*count) + " ";
        return text;
    }
    void Check(const std::vector<Traffic>& table) {
        Start(1);
        Seconds(4);
        for (const Traffic& traffic : table) {
            SCOPED_TRACE(traffic.what);
            const Counts master = masterRig->program->Status().datagrams;
            const Counts slave = slaves[0]->program->Status().datagrams;
            traffic.send(); // datagrams arrive at either end, from its peer unless said otherwise
            network.Deliver();
            EXPECT_EQ(Since(master, masterRig->program->Status().datagrams), Since({}, traffic.master));
            EXPECT_EQ(Since(slave, slaves[0]->program->Status().datagrams), Since({}, traffic.slave));
        }
    }
};

TEST_F(CountedLab, Plain) {
    Check({{"polls and answers", [&] { Seconds(1); }, {2, 2}, {2, 2}},
           {"what is not heard",
            [&] {
                ToSlave().Arrive("<TNA1>"); // answered with an error reply
                ToSlave().Arrive(std::nullopt);
                ToSlave().Arrive("<TNC000>", "127.0.0.99");
                ToMaster().Arrive("<TNA1>");
                ToMaster().Arrive(std::nullopt);
                ToMaster().Arrive("<TNP100>", "127.0.0.99");
            },
            {0, 1, 2, 1},
            {1, 0, 2, 1}},
           {"a reset and a reload",
            [&] {
                masterRig->rules->OnButtonClicked(Button::Reset);
                ToMaster().Arrive(std::nullopt);
                ASSERT_TRUE(masterRig->program->ReloadConfiguration());
            },
            {1, 1, 1},
            {1, 1}},
           {"sends that fail",
            [&] {
                ToMaster().failSends = true;
                Seconds(1);
            },
            {},
            {}}});
}

TEST_F(CountedLab, Keyed) {
    WriteKeys();
    Check({{"polls and answers", [&] { Seconds(1); }, {2, 2}, {2, 2}},
           {"unkeyed and recorded",
            [&] {
                ToSlave().Arrive("<TNC000>");
                ToMaster().Arrive("<TNP100>");
                ToSlave().Arrive(ToMaster().sent.back());
            },
            {0, 0, 0, 0, 1},
            {0, 0, 0, 0, 1, 1}}});
}

} // namespace
} // namespace tarnix::testing
