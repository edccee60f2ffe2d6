#include "platform/WatchdogBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <functional>
#include <grp.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "bus/BusTestSupport.h"
#include "bus/FakePolkit.h"
#include "common/program/StatusReport.h"
#include "ctl/MetricsText.h"
#include "platform/WatchdogClient.h"
#include "support/FakeLogind.h"

namespace tarnix {
namespace {

using test::FakeProgram;

constexpr uid_t Nobody = 65534;

struct CtlRun {
    int exitStatus = -1;
    QString out;
    QString err;
};

QDBusMessage WatchdogCall(const QString& method) {
    return QDBusMessage::createMethodCall(QString::fromLatin1(WatchdogMasterBusName),
                                          QString::fromLatin1(WatchdogObjectPath),
                                          QString::fromLatin1(WatchdogInterface), method);
}

// The action the package's polkit policy declares, which the object must ask about.
QString PolicyAction() {
    QFile policy(QStringLiteral(TARNIX_POLKIT_POLICY));
    if (!policy.open(QIODevice::ReadOnly)) return {};
    return QRegularExpression(QStringLiteral("<action id=\"([^\"]+)\""))
        .match(QString::fromUtf8(policy.readAll()))
        .captured(1);
}

void WaitFor(QObject* sender, const char* finishedSignal, int timeoutMs) {
    QEventLoop loop;
    QObject::connect(sender, finishedSignal, &loop, SLOT(quit()));
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// One private bus for the whole program, its socket in a folder others may enter so that
// tarnixctl can reach it as nobody too.
class WatchdogBusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<QTemporaryDir>();
        QFile::setPermissions(folder_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                   QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                   QFileDevice::ExeGroup);
        fake_ = test::FakeLogind::Start({QStringLiteral("--bus-only"), QStringLiteral("--socket"),
                                         folder_->filePath(QStringLiteral("bus"))},
                                        whyNot_, skipped_);
    }
    static void TearDownTestSuite() {
        fake_.reset();
        folder_.reset();
    }

    void SetUp() override {
        if (!fake_) {
            if (skipped_) GTEST_SKIP() << whyNot_.toStdString();
            FAIL() << whyNot_.toStdString();
        }
        static int connections = 0;
        ++connections;
        serviceName_ = QStringLiteral("watchdog-service-%1").arg(connections);
        clientName_ = QStringLiteral("watchdog-client-%1").arg(connections);
        program.status = test::MasterWithFourPeers();
    }

    void TearDown() override {
        polkit_.reset();
        bus_.reset();
        QDBusConnection::disconnectFromBus(serviceName_);
        QDBusConnection::disconnectFromBus(clientName_);
    }

    QDBusConnection Service() const { return QDBusConnection::connectToBus(fake_->Address(), serviceName_); }
    QDBusConnection Client() const { return QDBusConnection::connectToBus(fake_->Address(), clientName_); }

    void Export(const QString& group = QString::fromLatin1(WatchdogOperatorGroup)) {
        bus_ = std::make_unique<WatchdogBus>(program, Service(), group);
        QString whyNot;
        ASSERT_TRUE(bus_->Register(whyNot)) << whyNot.toStdString();
    }

    // polkit on the private bus, allowing the policy's action or nothing.
    void StartPolkit(bool allows) {
        QString whyNot;
        polkit_ = test::FakePolkit::Start(fake_->Address(), whyNot);
        if (!polkit_) GTEST_SKIP() << whyNot.toStdString();
        if (allows) polkit_->SetAllowed({PolicyAction()});
    }

    // Calls from this thread must keep its event loop turning: the object answers on it.
    QDBusMessage CallFromClient(const QDBusMessage& message) const {
        return Client().call(message, QDBus::BlockWithGui, 10000);
    }

    // The build may sit in a folder only root can enter (a fresh clone in a private temporary
    // folder): nobody runs a copy in a folder anyone may enter.
    static QString CtlForNobody() {
        static QTemporaryDir folder;
        static const QString copy = [] {
            const QString path = folder.path() + QStringLiteral("/tarnixctl");
            const auto readAndEnter = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                      QFileDevice::ReadOther | QFileDevice::ExeOther;
            QFile::setPermissions(folder.path(), readAndEnter);
            QFile::copy(QStringLiteral(TARNIX_BIN_DIR "/tarnixctl"), path);
            QFile::setPermissions(path, readAndEnter);
            return path;
        }();
        return copy;
    }

    CtlRun RunCtl(const QStringList& arguments, bool asNobody = false, const QString& address = {}) const {
        QProcess ctl;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                           address.isEmpty() ? fake_->Address() : address);
        ctl.setProcessEnvironment(environment);
        if (asNobody) {
            ctl.setChildProcessModifier([] {
                if (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0) _exit(126);
            });
        }
        ctl.start(asNobody ? CtlForNobody() : QStringLiteral(TARNIX_BIN_DIR "/tarnixctl"), arguments);
        CtlRun run;
        if (!ctl.waitForStarted(5000)) return run;
        WaitFor(&ctl, SIGNAL(finished(int, QProcess::ExitStatus)), 20000);
        if (ctl.state() != QProcess::NotRunning) {
            ctl.kill();
            ctl.waitForFinished(2000);
            return run;
        }
        run.exitStatus = ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
        run.out = QString::fromUtf8(ctl.readAllStandardOutput());
        run.err = QString::fromUtf8(ctl.readAllStandardError());
        return run;
    }

    FakeProgram program;
    std::unique_ptr<WatchdogBus> bus_;
    std::unique_ptr<test::FakePolkit> polkit_;

    static inline std::unique_ptr<QTemporaryDir> folder_;
    static inline std::unique_ptr<test::FakeLogind> fake_;
    static inline QString whyNot_;
    static inline bool skipped_ = false;
    QString serviceName_;
    QString clientName_;
};

TEST_F(WatchdogBusTest, TarnixctlShowsTheRunningProgramsStatus) {
    for (const ProgramStatus& status : {test::MasterWithFourPeers(), test::SlaveCountingDown()}) {
        SCOPED_TRACE(ProgramWord(status.kind));
        program.status = status;
        Export();
        const CtlRun text = RunCtl({QStringLiteral("status")});
        EXPECT_EQ(text.exitStatus, 0) << text.err.toStdString();
        EXPECT_EQ(text.out.toStdString(), StatusReport(status).Text());
        const CtlRun json = RunCtl({QStringLiteral("status"), QStringLiteral("--json")});
        EXPECT_EQ(json.exitStatus, 0) << json.err.toStdString();
        EXPECT_EQ(json.out.toStdString(), StatusReport(status).Json() + "\n");
        bus_.reset();
    }
}

const QString MetricsWord = QStringLiteral("metrics");
const QString OutputWord = QStringLiteral("--output");

// What node_exporter reads: a file replaced whole, never written into, and gone with its watchdog.
TEST_F(WatchdogBusTest, TarnixctlMetricsPrintsOrReplacesItsFileWhole) {
    program.status = test::MasterCounting();
    Export();
    EXPECT_EQ(RunCtl({MetricsWord}).out.toStdString(), MetricsText(program.status));
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("tarnix.prom"));
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite) && old.write("old\n") == 4);
    old.setPermissions(QFileDevice::ReadOwner);
    const CtlRun written = RunCtl({MetricsWord, OutputWord, file});
    EXPECT_EQ(written.exitStatus, 0);
    EXPECT_EQ((written.out + written.err).toStdString(), "");
    QFile now(file);
    ASSERT_TRUE(now.open(QIODevice::ReadOnly));
    EXPECT_EQ(now.readAll().toStdString(), MetricsText(program.status));
    struct stat mode {};
    EXPECT_TRUE(stat(QFile::encodeName(file).constData(), &mode) == 0 && (mode.st_mode & 07777) == 0644);
    old.seek(0);
    EXPECT_EQ(old.readAll(), QByteArray("old\n")) << "a reader of the old file keeps it whole";
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("tarnix.prom")});
    EXPECT_EQ(RunCtl({MetricsWord, OutputWord, folder.filePath(QStringLiteral("no/x.prom"))}).exitStatus, 1);
    bus_.reset();
    EXPECT_EQ(RunCtl({MetricsWord, OutputWord, file}).exitStatus, 1);
    EXPECT_FALSE(QFile::exists(file)) << "a stopped watchdog's figures are not left to be read";
}

TEST_F(WatchdogBusTest, TarnixctlJsonNamesTheFourComputers) {
    Export();
    const CtlRun json =
        RunCtl({QStringLiteral("--master"), QStringLiteral("status"), QStringLiteral("--json")});
    ASSERT_EQ(json.exitStatus, 0) << json.err.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(object.value(QLatin1String("phase")).toString(), QStringLiteral("Run"));
    const QJsonArray computers = object.value(QLatin1String("remoteComputers")).toArray();
    ASSERT_EQ(computers.size(), 4);
    EXPECT_EQ(computers.at(1).toObject().value(QLatin1String("address")).toString(),
              QStringLiteral("127.0.0.3"));
    EXPECT_EQ(computers.at(1).toObject().value(QLatin1String("status")).toString(),
              QStringLiteral("Data Error"));
    EXPECT_FALSE(computers.at(2).toObject().value(QLatin1String("configured")).toBool());
}

enum class Polkit { Absent, Refuses, Allows };

struct CtlCase {
    const char* name;
    QStringList arguments;
    bool asNobody;
    const char* operatorGroup; // nullptr: no service runs
    int exitStatus;
    std::vector<std::string> calls;
    const char* said; // on stdout or stderr
    bool busReachable = true;
    Polkit polkit = Polkit::Absent;
};

void PrintTo(const CtlCase& c, std::ostream* out) {
    *out << c.name;
}

class TarnixctlCase : public WatchdogBusTest, public ::testing::WithParamInterface<CtlCase> {};

TEST_P(TarnixctlCase, AnswersAndPressesAsItShould) {
    const CtlCase& c = GetParam();
    if (c.asNobody && geteuid() != 0) GTEST_SKIP() << "only root can run tarnixctl as nobody";
    if (c.polkit != Polkit::Absent) StartPolkit(c.polkit == Polkit::Allows);
    if (IsSkipped()) return;
    if (c.operatorGroup != nullptr) Export(QString::fromLatin1(c.operatorGroup));
    const CtlRun run =
        RunCtl(c.arguments, c.asNobody,
               c.busReachable ? QString() : QStringLiteral("unix:path=/nonexistent/no-bus-here"));
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(program.calls, c.calls);
    EXPECT_TRUE((run.out + run.err).contains(QString::fromUtf8(c.said)))
        << "out: " << run.out.toStdString() << "\nerr: " << run.err.toStdString();
}

const QString StatusWord = QStringLiteral("status");
const QString ResetWord = QStringLiteral("reset");
const QString TestWord = QStringLiteral("test");
const QString JsonWord = QStringLiteral("--json");
const QString MasterWord = QStringLiteral("--master");
const QString SlaveWord = QStringLiteral("--slave");
const std::string ByRoot = "Reset by root (uid 0)";
const std::string ByNobody = "Reset by nobody (uid 65534)";
constexpr const char* NoOwner =
    "No Tarnix service is running (io.tarnix.Watchdog.Slave has no owner on the system bus).";
constexpr const char* NeitherOwned = "No Tarnix service is running (io.tarnix.Watchdog.Master and "
                                     "io.tarnix.Watchdog.Slave have no owner on the system bus).";

INSTANTIATE_TEST_SUITE_P(
    Cases, TarnixctlCase,
    ::testing::Values(
        // Root and the group need no polkit: none runs for them.
        CtlCase{
            "RootResets", {ResetWord}, false, "tarnix", 0, {ByRoot, "Reset"}, "Reset pressed on the master."},
        CtlCase{"RootTestsTheChosenMaster",
                {MasterWord, TestWord},
                false,
                "tarnix",
                0,
                {"Test by root (uid 0)", "Test"},
                "Test pressed"},
        CtlCase{"AGroupMemberResets", {ResetWord}, true, "nogroup", 0, {ByNobody, "Reset"}, "Reset pressed"},
        CtlCase{"PolkitLetsAnOutsiderReset",
                {ResetWord},
                true,
                "root",
                0,
                {ByNobody, "Reset"},
                "Reset pressed",
                true,
                Polkit::Allows},
        CtlCase{
            "AnOutsiderPolkitRefusesMayNotReset",
            {ResetWord},
            true,
            "root",
            1,
            {},
            "Access denied: Reset refused: nobody (uid 65534) is not allowed to press it: only the person "
            "at the computer, root and members of the group root may",
            true,
            Polkit::Refuses},
        CtlCase{"AnOutsiderMayNotResetWithoutPolkit",
                {ResetWord},
                true,
                "root",
                1,
                {},
                "Access denied: Reset refused: nobody (uid 65534) is neither root nor a member of the group "
                "root, and the authorisation service could not be asked: "},
        CtlCase{
            "AGroupThatDoesNotExistRefuses", {ResetWord}, true, "no-such-group-here", 1, {}, "Access denied"},
        CtlCase{"AnOutsiderReadsTheStatus", {StatusWord}, true, "root", 0, {}, "Phase      Run"},
        CtlCase{"NoSlaveRuns", {SlaveWord, StatusWord}, false, "tarnix", 1, {}, NoOwner},
        CtlCase{"NoServiceRuns", {ResetWord}, false, nullptr, 1, {}, NeitherOwned},
        CtlCase{"NoBusToReach", {StatusWord}, false, nullptr, 1, {}, "Cannot reach the system bus", false},
        CtlCase{"NoCommand", {}, false, "tarnix", 2, {}, "Usage: tarnixctl"},
        CtlCase{"TwoCommands", {StatusWord, ResetWord}, false, "tarnix", 2, {}, "Usage: tarnixctl"},
        CtlCase{"JsonOnlyForStatus", {ResetWord, JsonWord}, false, "tarnix", 2, {}, "Usage: tarnixctl"},
        CtlCase{
            "OutputOnlyForMetrics", {StatusWord, OutputWord, MetricsWord}, false, "tarnix", 2, {}, "Usage:"},
        CtlCase{"OutputNeedsAFile", {MetricsWord, OutputWord}, false, "tarnix", 2, {}, "Usage: tarnixctl"},
        CtlCase{"TwoRoles", {MasterWord, SlaveWord, StatusWord}, false, "tarnix", 2, {}, "Usage: tarnixctl"},
        CtlCase{"AnUnknownWord", {QStringLiteral("stat")}, false, "tarnix", 2, {}, "Usage: tarnixctl"}),
    [](const ::testing::TestParamInfo<CtlCase>& info) { return std::string(info.param.name); });

TEST_F(WatchdogBusTest, ACallWithWrongArgumentsGetsTheBussError) {
    Export();
    QDBusMessage call = WatchdogCall(QStringLiteral("Reset"));
    call << 1;
    const QDBusMessage reply = CallFromClient(call);
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_TRUE(reply.errorName().startsWith(QLatin1String("org.freedesktop.DBus.Error.")))
        << reply.errorName().toStdString();
    EXPECT_TRUE(program.calls.empty());
}

TEST_F(WatchdogBusTest, ASecondServiceForTheSameProgramIsToldTheNameIsTaken) {
    Export();
    FakeProgram other;
    other.status = test::MasterWithFourPeers();
    WatchdogBus second(other, Client());
    QString whyNot;
    EXPECT_FALSE(second.Register(whyNot));
    EXPECT_EQ(whyNot, QStringLiteral(
                          "Cannot register io.tarnix.Watchdog.Master on the bus: another program owns it"));
}

QVariant ReadProperty(const QDBusConnection& client, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QString::fromLatin1(WatchdogMasterBusName), QString::fromLatin1(WatchdogObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(WatchdogInterface) << name;
    const QDBusMessage reply = client.call(get, QDBus::BlockWithGui, 10000);
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

TEST_F(WatchdogBusTest, PropertiesAnswerTheLastStatusAndItsChangesAlone) {
    Export();
    test::PropertiesRecorder recorder;
    ASSERT_TRUE(Client().connect(
        QString::fromLatin1(WatchdogMasterBusName), QString::fromLatin1(WatchdogObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), &recorder,
        SLOT(Changed(QString, QVariantMap, QStringList))));
    EXPECT_EQ(ReadProperty(Client(), QStringLiteral("Phase")).toString(), QStringLiteral("Run"));
    const RemoteComputerList computers =
        qdbus_cast<RemoteComputerList>(ReadProperty(Client(), QStringLiteral("RemoteComputers")));
    ASSERT_EQ(computers.size(), 4);
    EXPECT_EQ(computers.at(1).address, QStringLiteral("127.0.0.3"));

    ProgramStatus status = program.status;
    status.count = 4;
    status.remote[2].link = LinkState::Nothing;
    status.datagrams.sent = 8'000'000'000; // a counter: read when wanted, never signalled
    bus_->StatusChanged(status);
    bus_->StatusChanged(status); // told again: nothing changed
    status.phase = PhaseCountdown;
    bus_->StatusChanged(status);
    // Signals arrive in order, so the told-again status would sit between the two.
    for (int i = 0; i < 50 && recorder.changes.size() < 2; ++i) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    ASSERT_EQ(recorder.changes.size(), 2u);
    EXPECT_EQ(recorder.changes[0].keys(),
              (QStringList{QStringLiteral("Count"), QStringLiteral("RemoteComputers")}));
    EXPECT_EQ(qdbus_cast<RemoteComputerList>(recorder.changes[0].value(QStringLiteral("RemoteComputers")))
                  .at(2)
                  .status,
              QStringLiteral("Not Connected"));
    EXPECT_EQ(recorder.changes[1], (QVariantMap{{QStringLiteral("Phase"), QStringLiteral("Countdown")}}));
    EXPECT_EQ(ReadProperty(Client(), QStringLiteral("Count")).toInt(), 4);
    const QVariant sent = ReadProperty(Client(), QStringLiteral("DatagramsSent"));
    EXPECT_EQ(sent.metaType(), QMetaType::fromType<qulonglong>());
    EXPECT_EQ(sent.toULongLong(), 8'000'000'000u);
}

pid_t ParentOf(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    // "pid (name) state ppid ...": the name may hold spaces, so count from its closing bracket.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? static_cast<pid_t>(fields.at(1).toInt()) : 0;
}

// The private bus daemon's own process, checked to be the one the fake this program started
// runs, so that nothing else is ever stopped.
pid_t PrivateDaemon(const QDBusConnection& client) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    ask << QStringLiteral("org.freedesktop.DBus");
    const QDBusMessage reply = client.call(ask, QDBus::BlockWithGui, 10000);
    const auto pid = static_cast<pid_t>(reply.arguments().value(0).toUInt());
    return pid > 1 && ParentOf(ParentOf(pid)) == getpid() ? pid : 0;
}

TEST_F(WatchdogBusTest, TheProgramTicksOnWhileTheBusTellsWhoCalls) {
    Export();
    const pid_t daemon = PrivateDaemon(Client());
    ASSERT_GT(daemon, 0) << "the private bus daemon was not found";
    int ticks = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    int ticksWhileAsking = -1;
    bool pressedWhileAsking = true;
    // The bus stops while the object waits for the caller's uid: a blocking look-up would
    // hold the thread, and the ticks with it, until its timeout.
    QObject::connect(bus_.get(), &WatchdogBus::CallerCheckStarted, [&] {
        kill(daemon, SIGSTOP);
        tick.start();
        QTimer::singleShot(300, [&] {
            ticksWhileAsking = ticks;
            pressedWhileAsking = !program.calls.empty();
            kill(daemon, SIGCONT);
        });
    });
    QDBusPendingCallWatcher watcher(Client().asyncCall(WatchdogCall(QStringLiteral("Reset"))));
    WaitFor(&watcher, SIGNAL(finished(QDBusPendingCallWatcher*)), 40000);
    kill(daemon, SIGCONT);
    EXPECT_GE(ticksWhileAsking, 10);
    EXPECT_FALSE(pressedWhileAsking);
    EXPECT_FALSE(watcher.isError()) << watcher.error().message().toStdString();
    EXPECT_EQ(program.calls, (std::vector<std::string>{ByRoot, "Reset"}));
}

// The caller's unique name in a CheckAuthorization call as dbusmock logs it.
QString SubjectName(const QString& question) {
    return QRegularExpression(QStringLiteral("'name'\\)?: dbus\\.String\\('(:[0-9.]+)'"))
        .match(question)
        .captured(1);
}

uint UidOf(const QDBusConnection& client, const QString& name) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"));
    ask << name;
    return client.call(ask, QDBus::BlockWithGui, 10000).arguments().value(0).toUInt();
}

// polkit may take as long as the person at the computer takes to type a password: the object
// asks about the caller's own connection, and the program ticks on until the answer.
TEST_F(WatchdogBusTest, TheProgramTicksOnWhilePolkitDecidesAboutTheCaller) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can run tarnixctl as nobody";
    StartPolkit(true);
    if (IsSkipped()) return;
    polkit_->SimulateHang(true);
    Export(QStringLiteral("root"));
    int ticks = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    int ticksWhileAsking = -1;
    bool pressedWhileAsking = true;
    QStringList questions;
    uint askedAbout = 0;
    QObject::connect(bus_.get(), &WatchdogBus::AuthorizationCheckStarted, [&] {
        tick.start();
        QTimer::singleShot(300, [&] {
            ticksWhileAsking = ticks;
            pressedWhileAsking = !program.calls.empty();
            questions = polkit_->Questions();
            // tarnixctl still waits for its answer, so its connection is still there to ask about.
            if (questions.size() == 1) askedAbout = UidOf(Client(), SubjectName(questions.at(0)));
            polkit_->ReleaseHangingCalls();
        });
    });
    const CtlRun run = RunCtl({ResetWord}, true);
    EXPECT_GE(ticksWhileAsking, 10);
    EXPECT_FALSE(pressedWhileAsking);
    ASSERT_EQ(questions.size(), 1) << questions.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(questions.at(0).contains(QStringLiteral("'system-bus-name'")));
    EXPECT_TRUE(questions.at(0).contains(QStringLiteral("\"%1\" {} 1 \"\"").arg(PolicyAction())))
        << questions.at(0).toStdString();
    EXPECT_EQ(askedAbout, Nobody);
    EXPECT_EQ(run.exitStatus, 0) << run.err.toStdString();
    EXPECT_EQ(program.calls, (std::vector<std::string>{ByNobody, "Reset"}));
}

// Runs the event loop until the condition holds; true when it did within the time.
bool Until(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// What happened goes out as a signal, the event's details with its number, program and test mark.
TEST_F(WatchdogBusTest, EventsGoOutAsSignals) {
    Export();
    test::EventRecorder recorder;
    ASSERT_TRUE(Client().connect(QString(), QString::fromLatin1(WatchdogObjectPath),
                                 QString::fromLatin1(WatchdogInterface), QStringLiteral("Event"), &recorder,
                                 SLOT(Heard(QString, QMap<QString, QString>))));
    bus_->Emit(WatchdogEvent{.sequence = 7,
                             .name = "countdown",
                             .program = ProgramKind::Slave,
                             .details = {{"action", "Power Off"}, {"time_left", "30"}}});
    bus_->Emit(
        WatchdogEvent{.sequence = 8, .name = "test-start", .program = ProgramKind::Master, .testRun = true});
    ASSERT_TRUE(Until([&] { return recorder.events.size() == 2; }));
    EXPECT_EQ(recorder.events,
              (QStringList{QStringLiteral("countdown action=Power Off program=slave sequence=7 time_left=30"),
                           QStringLiteral("test-start program=master sequence=8 test=1")}));
}

// A window attached to the service sees what the bus object tells, through a stop and a restart.
TEST_F(WatchdogBusTest, AClientFollowsTheServiceThroughChangesAStopAndARestart) {
    std::vector<ProgramStatus> seen;
    int gone = 0;
    QStringList refused;
    WatchdogClient client(Client(), ProgramKind::Master,
                          {.status = [&](const ProgramStatus& status) { seen.push_back(status); },
                           .gone = [&] { ++gone; },
                           .refused = [&](const QString& button, const QString&) { refused << button; }});
    client.Start();
    ASSERT_TRUE(Until([&] { return gone == 1; })) << "no service yet";
    client.Reset(); // nobody to press it
    ASSERT_TRUE(Until([&] { return !refused.isEmpty(); }));
    EXPECT_EQ(refused, QStringList{QStringLiteral("Reset")});

    Export();
    ASSERT_TRUE(Until([&] { return !seen.empty(); }));
    const ProgramStatus& first = seen.back();
    EXPECT_EQ(first.phase, PhaseRun);
    EXPECT_EQ(first.remote[1].address, "127.0.0.3");
    EXPECT_EQ(first.remote[1].link, LinkState::DataError);
    EXPECT_EQ(first.remote[1].letter, "R**");
    EXPECT_FALSE(first.remote[2].configured);

    program.status.phase = PhaseCountdown;
    program.status.timeLeft = 42;
    bus_->StatusChanged(program.status);
    ASSERT_TRUE(Until([&] { return seen.back().timeLeft == 42; }));
    EXPECT_EQ(seen.back().phase, PhaseCountdown);
    EXPECT_EQ(seen.back().remote[0].name, "PC1") << "a change keeps what did not change";

    client.Test();
    ASSERT_TRUE(Until([&] { return !program.calls.empty() && program.calls.back() == "Test"; }));

    bus_.reset();
    ASSERT_TRUE(Until([&] { return gone == 2; })) << "the service left the bus";
    const std::size_t before = seen.size();
    Export();
    EXPECT_TRUE(Until([&] { return seen.size() > before; })) << "and came back";
    EXPECT_TRUE(client.Attached());
}

// Whether the window offers Reset on its notices: only where the service would take it.
TEST_F(WatchdogBusTest, AClientKnowsWhetherItsUserMayPressReset) {
    struct {
        const char* what;
        uid_t uid;
        int polkit; // -1 none, 0 refuses, 1 allows
        bool may;
    } const cases[] = {
        {"root", 0, -1, true},
        {"an outsider polkit allows", Nobody, 1, true},
        {"an outsider polkit refuses", Nobody, 0, false},
        {"an outsider without polkit", Nobody, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.polkit >= 0) StartPolkit(c.polkit == 1);
        WatchdogClient client(Client(), ProgramKind::Master, {});
        std::optional<bool> may;
        client.AskMayPress(c.uid, [&](bool answer) { may = answer; });
        ASSERT_TRUE(Until([&] { return may.has_value(); }));
        EXPECT_EQ(*may, c.may);
        polkit_.reset();
    }
}

} // namespace
} // namespace tarnix
