#include "platform/LogindPower.h"
#include "support/FakeLogind.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace tarnix {
namespace {

using test::FakeLogind;

const QString UnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
const QString AccessDenied = QStringLiteral("org.freedesktop.DBus.Error.AccessDenied");

QString Verb(PowerCall call) {
    switch (call) {
    case PowerCall::PowerOff:
        return QStringLiteral("PowerOff");
    case PowerCall::Reboot:
        return QStringLiteral("Reboot");
    case PowerCall::Halt:
        return QStringLiteral("Halt");
    case PowerCall::Hibernate:
        return QStringLiteral("Hibernate");
    case PowerCall::Suspend:
        return QStringLiteral("Suspend");
    case PowerCall::EndSession:
        return QStringLiteral("EndSession");
    }
    return {};
}

PowerActionError Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const PowerActionError& error) {
        return error;
    }
    ADD_FAILURE() << "no error was raised";
    return PowerActionError(0, "", "");
}

// Every test starts from the fake's start state: all Can answers "yes", no errors, no
// inhibitors, one session "c1", and an empty call record.
class LogindPowerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString whyNot;
        bool skipped = false;
        fake = test::SystemBusFake(whyNot, skipped);
        if (skipped) GTEST_SKIP() << whyNot.toStdString();
        ASSERT_NE(fake, nullptr) << whyNot.toStdString();
        fake->Reset();
    }

    QString OwnPidCall() const { return QStringLiteral("GetSessionByPID(%1)").arg(getpid()); }

    FakeLogind* fake = nullptr;
};

TEST_F(LogindPowerTest, EachCallReachesItsMethodWithTheInhibitorCheckOnlyWithoutForce) {
    LogindPower power; // the system bus, as the programs use it
    for (const PowerCall call : {PowerCall::PowerOff, PowerCall::Reboot, PowerCall::Halt,
                                 PowerCall::Hibernate, PowerCall::Suspend}) {
        for (const bool force : {true, false}) {
            SCOPED_TRACE((Verb(call) + (force ? " forced" : " gentle")).toStdString());
            fake->ClearCalls();
            EXPECT_TRUE(power.Call(call, force).ok);
            const QStringList expected = force ? QStringList{Verb(call) + "WithFlags(0)"}
                                               : QStringList{"ListInhibitors()", Verb(call) + "WithFlags(1)"};
            EXPECT_EQ(fake->Calls(), expected);
        }
    }
}

TEST_F(LogindPowerTest, EndSessionTerminatesTheSessionOfThisProcess) {
    LogindPower power;
    std::string text;
    EXPECT_EQ(power.Can(PowerCall::EndSession, text), PrivilegeAnswer::Yes);
    EXPECT_TRUE(power.Call(PowerCall::EndSession, true).ok);
    // The privilege step asks for the session too, to know that logind is there.
    EXPECT_EQ(fake->Calls(),
              (QStringList{OwnPidCall(), OwnPidCall(), QStringLiteral("TerminateSession(c1)")}));
}

TEST_F(LogindPowerTest, EndSessionOutsideASessionFallsBackOnTheSessionTheEnvironmentNames) {
    const QByteArray saved = qgetenv("XDG_SESSION_ID");
    fake->SetError(QStringLiteral("GetSessionByPID"),
                   QStringLiteral("org.freedesktop.login1.NoSessionForPID"),
                   QStringLiteral("PID does not belong to any known session"));
    LogindPower power;

    qputenv("XDG_SESSION_ID", "7");
    fake->ClearCalls();
    EXPECT_TRUE(power.Call(PowerCall::EndSession, false).ok);
    EXPECT_EQ(fake->Calls(), (QStringList{OwnPidCall(), QStringLiteral("TerminateSession(7)")}));

    qunsetenv("XDG_SESSION_ID");
    fake->ClearCalls();
    const PowerCallResult result = power.Call(PowerCall::EndSession, false);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorName, "org.freedesktop.login1.NoSessionForPID");
    EXPECT_EQ(fake->Calls(), QStringList{OwnPidCall()});

    if (!saved.isNull()) qputenv("XDG_SESSION_ID", saved);
}

// Any error logind itself gives for the process shows that it is there: ending the own session
// goes ahead, with the session the environment names.
TEST_F(LogindPowerTest, EndSessionGoesAheadWhateverErrorLogindGivesForTheProcess) {
    const QByteArray saved = qgetenv("XDG_SESSION_ID");
    qputenv("XDG_SESSION_ID", "7");
    LogindPower power;
    ShutdownModule module(power, "TarnixS");
    for (const char* error :
         {"org.freedesktop.login1.NoSessionForPID", "org.freedesktop.DBus.Error.AccessDenied",
          "org.freedesktop.DBus.Error.Failed"}) {
        SCOPED_TRACE(error);
        fake->Reset();
        fake->SetError(QStringLiteral("GetSessionByPID"), QString::fromLatin1(error),
                       QStringLiteral("Refused by the fake"));
        std::string text;
        EXPECT_EQ(power.Can(PowerCall::EndSession, text), PrivilegeAnswer::Yes);
        fake->ClearCalls();
        EXPECT_TRUE(module.ShutdownSystem(0));
        EXPECT_EQ(fake->Calls(),
                  (QStringList{OwnPidCall(), OwnPidCall(), QStringLiteral("TerminateSession(7)")}));
    }
    if (saved.isNull())
        qunsetenv("XDG_SESSION_ID");
    else
        qputenv("XDG_SESSION_ID", saved);
}

TEST_F(LogindPowerTest, PrivilegeAnswersComeFromTheMatchingCanMethod) {
    LogindPower power;
    for (const PowerCall call : {PowerCall::PowerOff, PowerCall::Reboot, PowerCall::Halt,
                                 PowerCall::Hibernate, PowerCall::Suspend}) {
        SCOPED_TRACE(Verb(call).toStdString());
        fake->Reset();
        const QString method = QStringLiteral("Can") + Verb(call);
        fake->SetCanAnswer(method, QStringLiteral("challenge"));
        std::string text;
        EXPECT_EQ(power.Can(call, text), PrivilegeAnswer::Challenge);
        EXPECT_EQ(text, (method + " answered challenge").toStdString());
        EXPECT_EQ(fake->Calls(), QStringList{method + "()"});
    }

    const struct {
        const char* answer;
        PrivilegeAnswer expected;
    } answers[] = {
        {"yes", PrivilegeAnswer::Yes},         {"no", PrivilegeAnswer::No},
        {"na", PrivilegeAnswer::NotAvailable}, {"challenge", PrivilegeAnswer::Challenge},
        {"perhaps", PrivilegeAnswer::Failed},
    };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.answer);
        fake->SetCanAnswer(QStringLiteral("CanReboot"), QString::fromLatin1(a.answer));
        std::string text;
        EXPECT_EQ(power.Can(PowerCall::Reboot, text), a.expected);
    }
}

TEST_F(LogindPowerTest, RefusalsReachTheModuleAsItsErrors) {
    LogindPower power;
    ShutdownModule module(power, "TarnixM");

    for (const char* answer : {"challenge", "no"}) {
        SCOPED_TRACE(answer);
        fake->Reset();
        fake->SetCanAnswer(QStringLiteral("CanPowerOff"), QString::fromLatin1(answer));
        const PowerActionError error = Raised([&] { module.ShutdownSystem(12); });
        EXPECT_EQ(error.Number, 0x8004062Eu);
        EXPECT_EQ(
            error.Description,
            std::string("Can't enable shutdown: You do not have the privileges to shutdown this system. "
                        "[CanPowerOff answered ") +
                answer + "]");
        EXPECT_EQ(fake->Calls(), QStringList{"CanPowerOff()"}) << "no action may follow a refusal";
    }

    fake->Reset();
    fake->SetError(QStringLiteral("RebootWithFlags"), AccessDenied,
                   QStringLiteral("Permission denied by the fake"));
    const PowerActionError refused = Raised([&] { module.ShutdownSystem(6); });
    EXPECT_EQ(refused.Number, 0x8004062Bu);
    EXPECT_EQ(refused.Source, "TarnixM.mShutDown");
    EXPECT_EQ(refused.Description, "ShutdownSystem failed: Permission denied by the fake");
    EXPECT_EQ(fake->Calls(), (QStringList{"CanReboot()", "RebootWithFlags(0)"}))
        << "a refusal is not retried";
}

TEST_F(LogindPowerTest, SuspensionFailuresAreNotReported) {
    LogindPower power;
    ShutdownModule module(power, "TarnixS");
    fake->SetError(QStringLiteral("SuspendWithFlags"),
                   QStringLiteral("org.freedesktop.login1.SleepVerbNotSupported"),
                   QStringLiteral("Sleep verb not supported"));
    fake->SetError(QStringLiteral("HibernateWithFlags"), AccessDenied, QStringLiteral("Permission denied"));
    EXPECT_TRUE(module.StandbySystem());
    EXPECT_TRUE(module.HibernateSystem());
    EXPECT_EQ(fake->Calls(), (QStringList{"CanSuspend()", "SuspendWithFlags(0)", "CanHibernate()",
                                          "HibernateWithFlags(0)"}));
}

TEST_F(LogindPowerTest, OlderLogindGetsTheNonInteractiveCallAndForceSkipsTheInhibitorCheck) {
    LogindPower power;
    for (const PowerCall call : {PowerCall::PowerOff, PowerCall::Reboot, PowerCall::Halt,
                                 PowerCall::Hibernate, PowerCall::Suspend}) {
        SCOPED_TRACE(Verb(call).toStdString());
        fake->Reset();
        fake->SetError(Verb(call) + "WithFlags", UnknownMethod, QStringLiteral("Unknown method"));
        fake->AddInhibitor(QStringLiteral("shutdown:sleep"), QStringLiteral("block"), geteuid() + 1000);
        EXPECT_TRUE(power.Call(call, true).ok);
        EXPECT_EQ(fake->Calls(), (QStringList{Verb(call) + "WithFlags(0)", Verb(call) + "(false)"}));
    }
}

// Before any call: logind itself lets an unprivileged caller allowed to ignore inhibitors pass
// over them, whatever the flag says, and an older logind lets everyone pass.
TEST_F(LogindPowerTest, WithoutForceOtherUsersBlockInhibitorsStopTheCall) {
    const quint32 self = geteuid();
    const quint32 other = self + 1000;
    const struct {
        const char* name;
        PowerCall call;
        const char* what;
        const char* mode;
        quint32 uid;
        bool blocked;
    } cases[] = {
        {"nothing holds it", PowerCall::PowerOff, nullptr, "", 0, false},
        {"other user blocks shutdown", PowerCall::PowerOff, "shutdown", "block", other, true},
        {"other user blocks among other kinds", PowerCall::Reboot, "idle:shutdown", "block", other, true},
        {"other user only delays", PowerCall::Halt, "shutdown", "delay", other, false},
        {"own block", PowerCall::PowerOff, "shutdown", "block", self, false},
        {"sleep block leaves shutdown", PowerCall::PowerOff, "sleep", "block", other, false},
        {"sleep block stops suspend", PowerCall::Suspend, "sleep", "block", other, true},
        {"shutdown block leaves hibernate", PowerCall::Hibernate, "shutdown", "block", other, false},
    };
    LogindPower power;
    for (const bool older : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (older ? ", older logind" : ""));
            fake->Reset();
            if (older)
                fake->SetError(Verb(c.call) + "WithFlags", UnknownMethod, QStringLiteral("Unknown method"));
            if (c.what) fake->AddInhibitor(QString::fromLatin1(c.what), QString::fromLatin1(c.mode), c.uid);
            const PowerCallResult result = power.Call(c.call, false);
            EXPECT_EQ(result.ok, !c.blocked);
            QStringList expected{"ListInhibitors()"};
            if (c.blocked) {
                EXPECT_EQ(result.errorName, AccessDenied.toStdString());
                EXPECT_NE(result.errorText.find("user " + std::to_string(other)), std::string::npos)
                    << result.errorText;
            } else {
                expected << Verb(c.call) + "WithFlags(1)";
                if (older) expected << Verb(c.call) + "(false)";
            }
            EXPECT_EQ(fake->Calls(), expected);
        }
    }
}

TEST_F(LogindPowerTest, AHungLogindDoesNotHoldTheCallerBeyondTheTimeout) {
    LogindPower power(QDBusConnection::systemBus(), 200);
    fake->SetDelay(QStringLiteral("PowerOffWithFlags"), 1.0);
    QElapsedTimer clock;
    clock.start();
    const PowerCallResult result = power.Call(PowerCall::PowerOff, true);
    EXPECT_LT(clock.elapsed(), 900);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorName, "org.freedesktop.DBus.Error.NoReply");
}

// A bus of its own without logind on it; the system bus stays with the shared fake.
TEST(LogindPowerWithoutLogind, MissingServiceOrBusSaysWhichCannotBeReached) {
    QString whyNot;
    bool skipped = false;
    const std::unique_ptr<FakeLogind> bare =
        FakeLogind::Start({QStringLiteral("--bus-only")}, whyNot, skipped);
    if (skipped) GTEST_SKIP() << whyNot.toStdString();
    ASSERT_NE(bare, nullptr) << whyNot.toStdString();

    const struct {
        const char* name;
        QDBusConnection bus;
        std::string reason;
        PrivilegeAnswer answer;
        std::string said;
    } cases[] = {
        {"no logind", bare->Bus(), "The name org.freedesktop.login1 was not provided by any .service files",
         PrivilegeAnswer::ServiceMissing, "logind could not be reached on the system bus."},
        {"no bus",
         QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/tarnix-no-bus"),
                                       QStringLiteral("no-bus")),
         "", PrivilegeAnswer::BusUnreachable, "The system bus could not be reached."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogindPower power(c.bus);
        std::string text;
        EXPECT_EQ(power.Can(PowerCall::Reboot, text), c.answer);
        if (c.reason.empty()) {
            EXPECT_FALSE(text.empty());
        } else {
            EXPECT_EQ(text, c.reason);
        }
        ShutdownModule module(power, "TarnixM");
        const PowerActionError error = Raised([&] { module.ShutdownSystem(6); });
        EXPECT_EQ(error.Number, 0x8004062Cu);
        EXPECT_EQ(error.Description, "Can't enable shutdown: " + c.said + " [" + text + "]");
        // Ending the own session needs logind just the same.
        EXPECT_EQ(Raised([&] { module.ShutdownSystem(0); }).Number, 0x8004062Cu);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

// As the programs make it: no connection handed in, so the power layer takes the system bus
// itself. Its address leads to a socket of the test's own, where buses come and go.
class LogindPowerTakingTheSystemBus : public ::testing::Test {
protected:
    void SetUp() override {
        QString whyNot;
        bool skipped = false;
        // Also makes the cached QDBusConnection::systemBus() lead to the shared fake: a power
        // layer that used it would reach logind there, not fail or reach the buses here.
        const FakeLogind* shared = test::SystemBusFake(whyNot, skipped);
        if (skipped) GTEST_SKIP() << whyNot.toStdString();
        ASSERT_NE(shared, nullptr) << whyNot.toStdString();
        ASSERT_TRUE(folder.isValid());
        saved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).toUtf8());
    }
    void TearDown() override {
        if (!saved.isNull()) qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved);
    }

    // A new bus at the socket; the one before ends first.
    void StartBus(const QStringList& options) {
        fake.reset();
        QString whyNot;
        bool skipped = false;
        fake = FakeLogind::Start(QStringList{QStringLiteral("--socket"), socket} + options, whyNot, skipped);
        ASSERT_NE(fake, nullptr) << whyNot.toStdString();
    }

    QTemporaryDir folder;
    const QString socket = folder.filePath(QStringLiteral("bus"));
    QByteArray saved;
    std::unique_ptr<FakeLogind> fake;
};

TEST_F(LogindPowerTakingTheSystemBus, ABusThatComesUpAfterTheStartIsReachedAtTheCall) {
    LogindPower power; // while nothing listens at the address
    ShutdownModule module(power, "TarnixM");

    const PowerActionError noBus = Raised([&] { module.ShutdownSystem(12); });
    EXPECT_EQ(noBus.Number, 0x8004062Cu);
    const std::string prefix = "Can't enable shutdown: The system bus could not be reached. [";
    EXPECT_EQ(noBus.Description.substr(0, prefix.size()), prefix);
    EXPECT_NE(noBus.Description.find(socket.toStdString()), std::string::npos)
        << "the D-Bus reason names the socket: " << noBus.Description;

    ASSERT_NO_FATAL_FAILURE(StartBus({}));
    EXPECT_TRUE(module.ShutdownSystem(12));
    EXPECT_EQ(fake->Calls(), (QStringList{"CanPowerOff()", "PowerOffWithFlags(0)"}));
}

TEST_F(LogindPowerTakingTheSystemBus, ABusStartedAgainBetweenTwoCallsIsReachedAnew) {
    ASSERT_NO_FATAL_FAILURE(StartBus({QStringLiteral("--bus-only")}));
    LogindPower power;
    ShutdownModule module(power, "TarnixM");

    const PowerActionError noLogind = Raised([&] { module.ShutdownSystem(12); });
    EXPECT_EQ(noLogind.Number, 0x8004062Cu);
    EXPECT_EQ(noLogind.Description,
              "Can't enable shutdown: logind could not be reached on the system bus. "
              "[The name org.freedesktop.login1 was not provided by any .service files]");

    ASSERT_NO_FATAL_FAILURE(StartBus({}));
    EXPECT_TRUE(module.ShutdownSystem(12));
    EXPECT_EQ(fake->Calls(), (QStringList{"CanPowerOff()", "PowerOffWithFlags(0)"}));
}

} // namespace
} // namespace tarnix
