#include "platform/DesktopNotifications.h"

#include "Helpers.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <ostream>
#include <sys/prctl.h>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tarnix {
namespace {

using namespace std::chrono_literals;

const QString Notifications = QStringLiteral("org.freedesktop.Notifications");
const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString Python = QStringLiteral("/usr/bin/python3");

// A private bus (fake_logind.py's --bus-only, where nothing is started on demand, so no real
// notification server answers), with dbusmock's notification_daemon on it where asked for.
class PrivateBus {
public:
    PrivateBus(const QString& name, bool withServer) : name_(name) {
        bus_.start(Python, {QStringLiteral(TARNIX_SOURCE_DIR "/tests/support/fake_logind.py"),
                            QStringLiteral("--bus-only")});
        while (!bus_.canReadLine() && bus_.waitForReadyRead(15000)) {
        }
        const QString line = QString::fromUtf8(bus_.readLine()).trimmed();
        if (!line.startsWith(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS="))) return;
        address_ = line.section(QLatin1Char('='), 1);
        if (!withServer) return;
        server_.setProcessEnvironment([&] {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
            return environment;
        }());
        server_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server_.start(Python, {"-m", "dbusmock", "--template", "notification_daemon"});
        server_.waitForStarted();
        test::RunEventsUntil([&] {
            return server_.state() != QProcess::Running ||
                   Connection().interface()->isServiceRegistered(Notifications).value();
        });
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(name_);
        server_.kill();
        server_.waitForFinished(5000);
        bus_.closeWriteChannel(); // the script takes its bus down once its input closes
        if (!bus_.waitForFinished(5000)) bus_.kill();
    }
    const QString& Address() const { return address_; }
    bool Serving() const { return server_.state() == QProcess::Running; }
    QDBusConnection Connection() const { return QDBusConnection::connectToBus(address_, name_); }

    // dbusmock's own interface: the calls it recorded, signals to emit.
    QDBusMessage Mock(const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            Notifications, NotificationsPath, QStringLiteral("org.freedesktop.DBus.Mock"), method);
        call.setArguments(args);
        const QDBusMessage reply = Connection().call(call, QDBus::Block, 10000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply;
    }
    // Ids count from 1 again, no call is recorded, and the server has these capabilities.
    void Reset(const QString& capabilities) {
        Mock(QStringLiteral("Reset"));
        Mock(QStringLiteral("AddMethod"), {Notifications, "GetCapabilities", "", "as",
                                           QStringLiteral("ret = '%1'.split()").arg(capabilities)});
        Mock(QStringLiteral("ClearCalls"));
    }
    std::vector<QVariantList> Calls(const QString& method) {
        std::vector<QVariantList> calls;
        const auto log =
            Mock(QStringLiteral("GetMethodCalls"), {method}).arguments().value(0).value<QDBusArgument>();
        log.beginArray();
        while (!log.atEnd()) {
            quint64 time = 0;
            calls.emplace_back();
            log.beginStructure();
            log >> time >> calls.back();
            log.endStructure();
        }
        log.endArray();
        return calls;
    }

private:
    QString name_;
    QProcess bus_;
    QProcess server_;
    QString address_;
};

Notice Countdown(int secondsLeft) {
    return {NoticeSlot::Countdown, NoticeUrgency::Critical,
            "Power Off in " + std::to_string(secondsLeft) + " s", "Communications with the master lost.",
            true};
}
const Notice TestRun{NoticeSlot::TestRun, NoticeUrgency::Normal, "test run", "", false};

class DesktopNotificationsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        bus_ = std::make_unique<PrivateBus>(QStringLiteral("notify-control"), true);
    }
    static void TearDownTestSuite() { bus_.reset(); }
    void SetUp() override {
        if (!bus_->Serving()) GTEST_SKIP() << "no private bus with dbusmock's notification_daemon here";
    }

    // The program's side, on a connection of its own.
    std::unique_ptr<DesktopNotifications> Program(const QString& capabilities) {
        // What the last program sent on its way out (its countdown's close) is in before the reset.
        if (auto* last = QDBusConnection(QStringLiteral("notify-program")).interface())
            last->isServiceRegistered(Notifications);
        QDBusConnection::disconnectFromBus(QStringLiteral("notify-program"));
        bus_->Reset(capabilities);
        return std::make_unique<DesktopNotifications>(
            QStringLiteral("Tarnix Slave"),
            QDBusConnection::connectToBus(bus_->Address(), QStringLiteral("notify-program")));
    }
    // Each Notify call as "<summary> [<actions>] <replaces_id>", once one of them starts so.
    QStringList NotifiesUntil(const QString& start) {
        QStringList lines;
        test::RunEventsUntil([&] {
            lines.clear();
            for (const QVariantList& args : bus_->Calls(QStringLiteral("Notify")))
                lines << QStringLiteral("%1 [%2] %3")
                             .arg(args.value(3).toString(), args.value(5).toStringList().join(','))
                             .arg(args.value(1).toUInt());
            return std::any_of(lines.begin(), lines.end(),
                               [&](const QString& line) { return line.startsWith(start); });
        });
        return lines;
    }
    bool Closed(uint id) {
        return test::RunEventsUntil([&] {
            const auto closes = bus_->Calls(QStringLiteral("CloseNotification"));
            return std::any_of(closes.begin(), closes.end(),
                               [&](const auto& args) { return args.value(0) == id; });
        });
    }

    static inline std::unique_ptr<PrivateBus> bus_;
};

TEST_F(DesktopNotificationsTest, UrgencyAndExpiry) {
    auto program = Program("");
    program->Show(Countdown(60));
    program->Show(TestRun);
    NotifiesUntil(QStringLiteral("test run"));
    const std::vector<QVariantList> calls = bus_->Calls(QStringLiteral("Notify"));
    ASSERT_EQ(calls.size(), 2u);
    const QVariant critical = qdbus_cast<QVariantMap>(calls[0].value(6)).value(QStringLiteral("urgency"));
    EXPECT_EQ(critical.metaType(), QMetaType::fromType<uchar>()) << "a byte, or servers ignore it";
    EXPECT_EQ(critical.toInt(), 2);
    EXPECT_EQ(qdbus_cast<QVariantMap>(calls[1].value(6)).value(QStringLiteral("urgency")).toInt(), 1);
    EXPECT_EQ(calls[0].value(7).toInt(), 0) << "the countdown stays up";
    EXPECT_EQ(calls[1].value(7).toInt(), -1);
}

TEST_F(DesktopNotificationsTest, ResetOnlyOnceTheServerSaysItHasActions) {
    const std::pair<QString, QStringList> rows[] = {
        // Shown before the answer, then again in place as soon as it says "actions".
        {"body actions",
         {"Power Off in 60 s [] 0", "test run [] 0", "Power Off in 60 s [reset,Reset] 1",
          "Power Off in 59 s [reset,Reset] 1"}},
        {"body", {"Power Off in 60 s [] 0", "test run [] 0", "Power Off in 59 s [] 1"}},
    };
    for (const auto& [capabilities, notifies] : rows) {
        SCOPED_TRACE(capabilities.toStdString());
        auto program = Program(capabilities);
        program->Show(Countdown(60));
        // Closed once its answer is in, and so the answer on the capabilities before it.
        program->Show(TestRun);
        program->Close(NoticeSlot::TestRun);
        ASSERT_TRUE(Closed(2));
        program->Show(Countdown(59));
        EXPECT_EQ(NotifiesUntil(QStringLiteral("Power Off in 59 s")), notifies);
    }
}

TEST_F(DesktopNotificationsTest, UpdatesAndClosesWaitForTheId) {
    auto program = Program("");
    program->Show(Countdown(60));
    program->Show(Countdown(59)); // before the first answer: it must still replace that notice
    NotifiesUntil(QStringLiteral("Power Off in 59 s"));
    program->Show(Countdown(58));
    program->Close(NoticeSlot::Countdown);
    EXPECT_TRUE(Closed(1));
    program->Show(Countdown(57));
    const QStringList lines = NotifiesUntil(QStringLiteral("Power Off in 57 s"));
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.mid(0, 2), QStringList({"Power Off in 60 s [] 0", "Power Off in 59 s [] 1"}));
    EXPECT_EQ(lines.back(), "Power Off in 57 s [] 0") << "a closed notice is not replaced";
}

TEST_F(DesktopNotificationsTest, ResetOnlyFromTheServerForANoticeThatOffersIt) {
    auto program = Program("actions");
    int resets = 0;
    QObject::connect(program.get(), &DesktopNotifications::ResetInvoked, [&] { ++resets; });
    program->Show(Countdown(60)); // id 1
    program->Show(TestRun);       // id 2
    NotifiesUntil(QStringLiteral("Power Off in 60 s [reset,Reset]"));
    // The program hears the signals in the order the bus passed them on: the ones to refuse first.
    QDBusMessage stranger = QDBusMessage::createSignal(NotificationsPath, Notifications, "ActionInvoked");
    stranger << uint(1) << QStringLiteral("reset");
    bus_->Connection().send(stranger);
    bus_->Connection().interface()->isServiceRegistered(Notifications); // a round trip: it is on its way
    for (const QVariantList& args : {QVariantList{uint(1), "default"}, QVariantList{uint(2), "reset"},
                                     QVariantList{uint(9), "reset"}, QVariantList{uint(1), "reset"}})
        bus_->Mock(QStringLiteral("EmitSignal"), {Notifications, "ActionInvoked", "us", args});
    EXPECT_TRUE(test::RunEventsUntil([&] { return resets > 0; }));
    EXPECT_EQ(resets, 1);
}

// Takes every call and never answers, as a hung server would.
class SilentServer : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

TEST(DesktopNotificationsWithoutServer, NothingWaits) {
    PrivateBus bus(QStringLiteral("notify-none"), false);
    if (bus.Address().isEmpty()) GTEST_SKIP() << "no private bus here";
    SilentServer silent;
    const std::tuple<const char*, QString, bool> rows[] = {
        {"no bus", QStringLiteral("unix:path=/nonexistent/tarnix-no-bus"), false},
        {"nobody owns the name", bus.Address(), false},
        {"the server never answers", bus.Address(), true}};
    for (const auto& [name, address, silentServer] : rows) {
        SCOPED_TRACE(name);
        if (silentServer) {
            ASSERT_TRUE(bus.Connection().registerVirtualObject(NotificationsPath, &silent));
            ASSERT_TRUE(bus.Connection().registerService(Notifications));
        }
        QElapsedTimer elapsed;
        elapsed.start();
        {
            DesktopNotifications program(
                QStringLiteral("Tarnix"),
                QDBusConnection::connectToBus(address, QStringLiteral("notify-program")));
            program.Show(Countdown(60));
            program.Show(Countdown(59));
            program.Close(NoticeSlot::Countdown);
            program.Show(TestRun);
            test::RunEventsUntil([] { return false; }, 200ms); // the answers, where any come
            program.Show(Countdown(58));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("notify-program"));
        EXPECT_LT(elapsed.elapsed(), 1000);
    }
}

} // namespace
} // namespace tarnix
