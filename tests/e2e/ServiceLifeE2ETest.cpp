// The service through what systemd does to it: restarted after a crash in a countdown, told to
// read its files again (SIGHUP) or to stop (SIGTERM), started on a bad file, and left by a
// system bus that goes away and comes back.

#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>

#include "RealProgram.h"

namespace tarnix::e2e {
namespace {

// A slave service whose master never answers, with its claim in a runtime folder of its own.
class SlaveService {
public:
    explicit SlaveService(testing::Settings settings = Quick()) : dir_(false, settings) {
        env_.insert("RUNTIME_DIRECTORY", runtime_.path());
        env_.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + runtime_.path() + "/no-bus");
    }
    static testing::Settings Quick() {
        testing::Settings s = testing::SlaveSettings();
        s["Port1"] = "24301";
        s["Port2"] = "24300";
        s["StartDelay"] = "1";
        return s;
    }
    std::unique_ptr<RealProgram> Start(const QStringList& arguments = {"-InhibitShutdown"}) {
        return std::make_unique<RealProgram>(dir_, arguments, QStringList{}, env_, true);
    }
    void Rewrite(const testing::Settings& settings) const {
        std::ofstream(dir_.Path("Data/TarnixS.ini"), std::ios::binary | std::ios::trunc)
            << testing::IniText(false, settings);
    }
    QProcessEnvironment& Environment() { return env_; }
    const ProgramDir& Dir() const { return dir_; }

private:
    QTemporaryDir runtime_;
    ProgramDir dir_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
};

constexpr const char* CountdownStarts = "<4>Communications with the master lost";

// Under -InhibitShutdown the loss limit and the countdown are six seconds each: a fresh start
// acts 13 seconds after it began, a resumed countdown within the seconds it had left.
TEST(ServiceLife, ACrashInACountdownResumesItAndAStopStartsOver) {
    SlaveService slave;
    auto first = slave.Start();
    ASSERT_TRUE(first->WaitForError(CountdownStarts, 20s)) << first->ErrorOutput();
    std::this_thread::sleep_for(2s);
    ::kill(static_cast<pid_t>(first->Pid()), SIGKILL);
    ASSERT_TRUE(first->WaitForEnd(5s));

    auto restarted = slave.Start();
    EXPECT_TRUE(restarted->WaitForError("countdown resumed after a restart of the service", 5s))
        << restarted->ErrorOutput();
    EXPECT_TRUE(restarted->WaitForError("Simulate Power Off", 7s)) << restarted->ErrorOutput();
    EXPECT_EQ(restarted->ErrorOutput().find("<6>Activation"), std::string::npos) << restarted->ErrorOutput();
    ASSERT_TRUE(restarted->WaitForEnd(5s));

    // A stop is the administrator's choice: the next start begins with its activation delay.
    auto stopped = slave.Start();
    ASSERT_TRUE(stopped->WaitForError(CountdownStarts, 20s)) << stopped->ErrorOutput();
    ::kill(static_cast<pid_t>(stopped->Pid()), SIGTERM);
    ASSERT_TRUE(stopped->WaitForEnd(5s));
    EXPECT_EQ(stopped->ExitCode(), 0);
    EXPECT_NE(stopped->ErrorOutput().find("<5>Tarnix Slave: SIGTERM received: supervision ends"),
              std::string::npos)
        << stopped->ErrorOutput();
    auto fresh = slave.Start();
    EXPECT_TRUE(fresh->WaitForError("<6>Activation: supervision starts in 1 second", 5s))
        << fresh->ErrorOutput();
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(fresh->ErrorOutput().find("resumed"), std::string::npos) << fresh->ErrorOutput();
}

// A reload takes good files and refuses bad ones whole; at start a bad file is exit status 6,
// which the unit does not restart, with the administrator's file named.
TEST(ServiceLife, HangUpReadsTheFilesAgainAndABadFileIsRefusedOrEndsTheStart) {
    SlaveService slave;
    auto service = slave.Start({});
    ASSERT_TRUE(service->WaitForError("if communications are lost for over 5 seconds", 10s))
        << service->ErrorOutput();

    testing::Settings bad = SlaveService::Quick();
    bad["ShutType"] = "9";
    slave.Rewrite(bad);
    ::kill(static_cast<pid_t>(service->Pid()), SIGHUP);
    EXPECT_TRUE(service->WaitForError("it must be from 1 to 6. The configuration in force is kept.", 5s))
        << service->ErrorOutput();
    EXPECT_TRUE(service->Running());

    testing::Settings longer = SlaveService::Quick();
    longer["CPUDelay"] = "7";
    slave.Rewrite(longer);
    ::kill(static_cast<pid_t>(service->Pid()), SIGHUP);
    EXPECT_TRUE(service->WaitForError("configuration and key files read again", 5s))
        << service->ErrorOutput();
    EXPECT_TRUE(service->WaitForError("if communications are lost for over 7 seconds", 10s))
        << service->ErrorOutput();
    service->Kill();

    slave.Rewrite(bad);
    auto refused = slave.Start({});
    ASSERT_TRUE(refused->WaitForEnd(10s));
    EXPECT_EQ(refused->ExitCode(), 6);
    EXPECT_NE(refused->ErrorOutput().find("it must be from 1 to 6. The program will now terminate. Correct " +
                                          slave.Dir().Path("Data/TarnixS.ini") +
                                          ", then: systemctl restart tarnix-slave."),
              std::string::npos)
        << refused->ErrorOutput();
}

// A private bus standing in for the system bus, which the test can stop and start again at the
// same address.
class StandInBus {
public:
    explicit StandInBus(const QString& socket) : socket_(socket) {}
    ~StandInBus() { Stop(); }
    bool Start() {
        process_.start("dbus-daemon", {"--session", "--nofork", "--address=unix:path=" + socket_});
        if (!process_.waitForStarted(5000)) return false;
        for (int i = 0; i < 50 && !QFile::exists(socket_); ++i)
            std::this_thread::sleep_for(100ms);
        return QFile::exists(socket_);
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(5000);
        QFile::remove(socket_);
    }

private:
    QString socket_;
    QProcess process_;
};

bool CtlAnswers(const QProcessEnvironment& env) {
    QProcess ctl;
    ctl.setProcessEnvironment(env);
    ctl.start(QString::fromStdString(std::string(TARNIX_BIN_DIR) + "/tarnixctl"), {"status"});
    return ctl.waitForFinished(10000) && ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() == 0;
}

TEST(ServiceLife, TakesItsBusNameWhenTheBusComesAndAgainAfterItRestarts) {
    QTemporaryDir scratch;
    const QString socket = scratch.path() + "/system_bus";
    StandInBus bus(socket);
    testing::Settings patient = SlaveService::Quick();
    patient["CPUDelay"] = "600";
    SlaveService slave(patient);
    slave.Environment().insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + socket);
    auto service = slave.Start({});
    ASSERT_TRUE(service->WaitForError("<4>Tarnix Slave: no status or commands on the system bus", 5s))
        << service->ErrorOutput();

    if (!bus.Start()) GTEST_SKIP() << "dbus-daemon cannot run here";
    EXPECT_TRUE(
        service->WaitForError("<5>Tarnix Slave: on the system bus again as io.tarnix.Watchdog.Slave", 10s))
        << service->ErrorOutput();
    EXPECT_TRUE(CtlAnswers(slave.Environment()));

    bus.Stop();
    EXPECT_TRUE(service->WaitForError("<4>Tarnix Slave: lost the system bus", 5s)) << service->ErrorOutput();
    ASSERT_TRUE(bus.Start());
    const std::size_t backBefore = service->ErrorOutput().find("on the system bus again");
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (service->ErrorOutput().rfind("on the system bus again") == backBefore &&
           std::chrono::steady_clock::now() < deadline)
        service->WaitForError("\n<never>", 200ms);
    EXPECT_NE(service->ErrorOutput().rfind("on the system bus again"), backBefore) << service->ErrorOutput();
    EXPECT_TRUE(CtlAnswers(slave.Environment()));
    EXPECT_TRUE(service->Running());
}

// The hooks folder of a running service: each event runs the hook, in order, with its details.
TEST(ServiceLife, HooksHearALostLinkTheCountdownAndItsCancel) {
    testing::Settings settings = SlaveService::Quick();
    settings["Port1"] = "24321";
    settings["Port2"] = "24320";
    settings["CPUDelay"] = "5";
    settings["ShutTime"] = "60";
    SlaveService service(settings);
    QTemporaryDir scratch;
    const std::string record = scratch.path().toStdString() + "/events";
    std::filesystem::create_directories(service.Dir().Path("Data/hooks.d"));
    const std::string hook = service.Dir().Path("Data/hooks.d/10-record");
    std::ofstream(hook)
        << "#!/bin/sh\necho \"$TARNIX_SEQUENCE $TARNIX_EVENT ${TARNIX_PEER:-} ${TARNIX_BY:-}\" >> " << record
        << "\n";
    std::filesystem::permissions(
        hook, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                  std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                  std::filesystem::perms::others_exec);
    const auto program = service.Start({});
    const auto recorded = [&] {
        std::ifstream in(record);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const auto waitFor = [&](const std::string& text, std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (recorded().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(100ms);
        }
        return true;
    };
    // A master for three seconds: polls from where the slave answers.
    QUdpSocket master;
    ASSERT_TRUE(master.bind(QHostAddress::LocalHost, 24321));
    for (int i = 0; i < 12; ++i) {
        master.writeDatagram(QByteArray("<TNA100>"), QHostAddress::LocalHost, 24320);
        std::this_thread::sleep_for(250ms);
    }
    ASSERT_TRUE(waitFor("1 run", 5s)) << recorded() << program->ErrorOutput();
    EXPECT_TRUE(waitFor("2 link-lost master", 10s)) << recorded();
    EXPECT_TRUE(waitFor("3 countdown", 10s)) << recorded();
    master.writeDatagram(QByteArray("<TNC000>"), QHostAddress::LocalHost, 24320);
    EXPECT_TRUE(waitFor("4 cancelled  master", 10s)) << recorded();
    EXPECT_TRUE(program->WaitForError("/hooks.d/10-record (cancelled #4) exited with 0", 10s))
        << program->ErrorOutput();
}

} // namespace
} // namespace tarnix::e2e
