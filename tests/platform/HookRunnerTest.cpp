// Event hooks as real /bin/sh files in a temporary folder, run as real processes.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "Helpers.h"
#include "platform/HookRunner.h"

namespace tarnix {
namespace {

using namespace std::chrono_literals;

struct HookFolder : testing::Test {
    QTemporaryDir temporary;
    std::filesystem::path folder = temporary.path().toStdString();
    std::vector<std::pair<std::string, bool>> lines;
    HookReport report = [this](const std::string& line, bool failure) { lines.emplace_back(line, failure); };

    void Write(const std::string& name, const std::string& body, mode_t mode = 0755) {
        std::ofstream(folder / name) << "#!/bin/sh\n" << body << "\n";
        ::chmod((folder / name).c_str(), mode);
    }
    std::string Read(const std::string& name) {
        return (std::stringstream() << std::ifstream(folder / name).rdbuf()).str();
    }
    std::string Hook(const std::string& name) { return "Hook " + (folder / name).string(); }
};

WatchdogEvent Event(std::uint64_t sequence, std::string name = "run", bool testRun = false) {
    return {sequence, std::move(name), ProgramKind::Slave, testRun, {}};
}

TEST_F(HookFolder, AHookSeesOnlyTheEventInACleanProcess) {
    // A descriptor as a library might open it (no CLOEXEC), and the program's raised priority
    // (where the tests may raise it): neither reaches the hook.
    const int inherited = ::open("/dev/null", O_RDONLY);
    ::setpriority(PRIO_PROCESS, 0, -5);
    Write("env", "{ env | grep -v '^PWD=' | sort; nice; [ -e /proc/$$/fd/" + std::to_string(inherited) +
                     " ] && echo leaked; } > env.$TARNIX_SEQUENCE; true");
    HookRunner runner(folder, ::geteuid(), report);
    runner.ReadFolder();
    WatchdogEvent countdown = Event(7, "countdown", true);
    countdown.details = {{"action", "Power Off"}, {"time_left", "30"}};
    runner.Emit(countdown);
    runner.Emit(Event(8));
    ASSERT_TRUE(test::RunEventsUntil([&] { return lines.size() == 2; }));
    ::setpriority(PRIO_PROCESS, 0, 0);
    ::close(inherited);
    const std::string home = std::string("HOME=") + ::getpwuid(::geteuid())->pw_dir + "\n";
    const std::string base = home + "LANG=C.UTF-8\nPATH=/usr/sbin:/usr/bin:/sbin:/bin\n";
    EXPECT_EQ(Read("env.7"), base + "TARNIX_ACTION=Power Off\nTARNIX_EVENT=countdown\nTARNIX_PROGRAM=slave\n"
                                    "TARNIX_SEQUENCE=7\nTARNIX_TEST=1\nTARNIX_TIME_LEFT=30\n0\n");
    EXPECT_EQ(Read("env.8"), base + "TARNIX_EVENT=run\nTARNIX_PROGRAM=slave\nTARNIX_SEQUENCE=8\n0\n");
    EXPECT_EQ(lines[0], std::pair(Hook("env") + " (countdown #7) exited with 0", false));
}

TEST_F(HookFolder, ABurstRunsInOrderAndDropsWhatDoesNotFit) {
    Write("count", "echo $TARNIX_SEQUENCE >> seen");
    HookRunner runner(folder, ::geteuid(), report);
    runner.ReadFolder();
    for (std::uint64_t sequence = 1; sequence <= 100; ++sequence)
        runner.Emit(Event(sequence));
    ASSERT_TRUE(test::RunEventsUntil([&] { return lines.size() == 66; })); // 64 runs, 2 about the drops
    EXPECT_EQ(lines[0].first,
              Hook("count") + " has 64 events waiting: further events are dropped until it catches up");
    EXPECT_EQ(lines[65].first, Hook("count") + " caught up after 36 events were dropped (#65 to #100)");
    std::string expected;
    for (int sequence = 1; sequence <= 64; ++sequence)
        expected += std::to_string(sequence) + "\n";
    EXPECT_EQ(Read("seen"), expected);
}

TEST_F(HookFolder, TheEventLoopStaysOnTimeWhileHooksHangOrFlood) {
    Write("flood", "head -c 30000000 /dev/zero; head -c 2000000 /dev/zero | tr '\\0' x >&2\n"
                   "printf '\\nflood\\tdone\\n\\n' >&2");
    Write("sleeper", "trap '' TERM; echo 'going to sleep' >&2; sleep 600");
    Write("yielding", "sleep 600");
    HookRunner runner(folder, ::geteuid(), report, 1s, 500ms);
    runner.ReadFolder();
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    runner.Emit(Event(1));
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, largestGap = 0;
    QTimer ping;
    QObject::connect(&ping, &QTimer::timeout, [&] {
        largestGap = std::max(largestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    ping.start(100);
    test::RunEventsUntil([] { return false; }, 3s);
    EXPECT_LT(largestGap, 1200);
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "kB kept of the flood";
    EXPECT_EQ(lines, (decltype(lines){
                         {Hook("flood") + " (run #1) exited with 0: flood\\x09done", false},
                         {Hook("yielding") + " (run #1) stopped after 1 s", true},
                         {Hook("sleeper") + " (run #1) stopped after 1 s, killed 0.5 s later: going to sleep",
                          true}}));
}

TEST_F(HookFolder, OnlyFilesNobodyElseMayChangeAreRun) {
    // Mode 0: a link to a good hook. No refusal: left out without a word.
    std::vector<std::tuple<std::string, mode_t, std::string>> cases = {
        {"group", 0775, "its group may write it"},
        {"link", 0, "it is a symbolic link, which is not followed"},
        {"others", 0757, "others may write it"},
        {"plain", 0644, ""}};
    if (::geteuid() == 0) cases.emplace_back("stranger", 0755, "it belongs to user 4242");
    Write("good", "exit 0");
    decltype(lines) expected;
    for (const auto& [name, mode, refusal] : cases) {
        if (mode == 0)
            std::filesystem::create_symlink(folder / "good", folder / name);
        else
            Write(name, "exit 0", mode);
        if (!refusal.empty()) expected.push_back({Hook(name) + " not run: " + refusal, true});
    }
    ::chown((folder / "stranger").c_str(), 4242, 4242);
    HookRunner runner(folder, ::geteuid(), report);
    runner.ReadFolder();
    runner.Emit(Event(1));
    expected.push_back({Hook("good") + " (run #1) exited with 0", false});
    test::RunEventsUntil([] { return false; }, 300ms);
    EXPECT_EQ(lines, expected);

    // Made writable after the folder was read: refused once, then left out until the next read.
    lines.clear();
    ::chmod((folder / "good").c_str(), 0757);
    runner.Emit(Event(2));
    runner.Emit(Event(3));
    ASSERT_TRUE(test::RunEventsUntil([&] { return lines.size() == 1; }));
    // The folder itself: a missing one is no hooks and no line; one others may write runs nothing.
    HookRunner missing(folder / "absent", ::geteuid(), report);
    missing.ReadFolder();
    missing.Emit(Event(4));
    ::chmod((folder / "good").c_str(), 0755);
    ::chmod(folder.c_str(), 0777);
    runner.ReadFolder();
    runner.Emit(Event(4));
    test::RunEventsUntil([] { return false; }, 200ms);
    EXPECT_EQ(lines, (decltype(lines){
                         {Hook("good") + " not run: others may write it", true},
                         {"Hooks in " + folder.string() + " not run: others may write the folder", true}}));
}

} // namespace
} // namespace tarnix
