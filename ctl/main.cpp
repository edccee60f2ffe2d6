// tarnixctl: how a running Tarnix service stands, and its Reset and Test buttons, from a shell.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>

#include <cstdio>
#include <optional>

#include "common/program/StatusReport.h"
#include "common/program/WatchdogBusNames.h"
#include "ctl/StatusJsonReader.h"

namespace {

using tarnix::ProgramKind;

constexpr int Done = 0;
constexpr int Failed = 1;
constexpr int UsageError = 2;
constexpr int CallTimeoutMs = 10000;
// The service may ask polkit, which may ask the person at the computer for a password: longer
// than the service waits for polkit, so the service's own answer arrives.
constexpr int PressTimeoutMs = 70000;

constexpr const char* Usage =
    "Usage: tarnixctl [--master|--slave] status [--json] | reset | test\n"
    "  status   how the watchdog stands (--json: as one JSON object)\n"
    "  reset    press Reset\n"
    "  test     press Test\n"
    "Without --master or --slave, the one that runs. Reset and Test are for root, the group tarnix\n"
    "and the person at the computer (as polkit's action io.tarnix.watchdog.control allows).\n";

void Print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
}

QString BusName(ProgramKind kind) {
    return QString::fromStdString(tarnix::WatchdogBusNameOf(kind));
}

struct Request {
    std::optional<ProgramKind> kind;
    QString command;
    bool json = false;
};

std::optional<Request> ParseArguments(const QStringList& arguments) {
    Request request;
    for (const QString& argument : arguments) {
        const bool role = argument == QLatin1String("--master") || argument == QLatin1String("--slave");
        if (role && request.kind) return std::nullopt;
        if (argument == QLatin1String("--master")) {
            request.kind = ProgramKind::Master;
        } else if (argument == QLatin1String("--slave")) {
            request.kind = ProgramKind::Slave;
        } else if (argument == QLatin1String("--json") && !request.json) {
            request.json = true;
        } else if (request.command.isEmpty() &&
                   (argument == QLatin1String("status") || argument == QLatin1String("reset") ||
                    argument == QLatin1String("test"))) {
            request.command = argument;
        } else {
            return std::nullopt;
        }
    }
    if (request.command.isEmpty()) return std::nullopt;
    if (request.json && request.command != QLatin1String("status")) return std::nullopt;
    return request;
}

bool HasOwner(const QDBusConnection& bus, ProgramKind kind) {
    const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(BusName(kind));
    return owned.isValid() && owned.value();
}

int NoService(const QString& names, bool plural) {
    Print(stderr, QStringLiteral("No Tarnix service is running (%1 %2 no owner on the system bus).\n")
                      .arg(names, plural ? QStringLiteral("have") : QStringLiteral("has")));
    return Failed;
}

int Run(const Request& request) {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        Print(stderr, QStringLiteral("Cannot reach the system bus: %1\n").arg(bus.lastError().message()));
        return Failed;
    }
    ProgramKind kind = ProgramKind::Master;
    if (request.kind) {
        kind = *request.kind;
        if (!HasOwner(bus, kind)) return NoService(BusName(kind), false);
    } else {
        const bool master = HasOwner(bus, ProgramKind::Master);
        const bool slave = HasOwner(bus, ProgramKind::Slave);
        if (master && slave) {
            Print(stderr,
                  QStringLiteral("Both a master and a slave service run: choose --master or --slave.\n"));
            return UsageError;
        }
        if (!master && !slave)
            return NoService(
                BusName(ProgramKind::Master) + QStringLiteral(" and ") + BusName(ProgramKind::Slave), true);
        kind = master ? ProgramKind::Master : ProgramKind::Slave;
    }

    const QString method = request.command == QLatin1String("status")  ? QStringLiteral("Status")
                           : request.command == QLatin1String("reset") ? QStringLiteral("Reset")
                                                                       : QStringLiteral("Test");
    const QDBusMessage call =
        QDBusMessage::createMethodCall(BusName(kind), QString::fromLatin1(tarnix::WatchdogObjectPath),
                                       QString::fromLatin1(tarnix::WatchdogInterface), method);
    const QDBusMessage reply =
        bus.call(call, QDBus::Block, method == QLatin1String("Status") ? CallTimeoutMs : PressTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString error = reply.errorName();
        if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            return NoService(BusName(kind), false);
        if (error == QLatin1String("org.freedesktop.DBus.Error.AccessDenied")) {
            Print(stderr, QStringLiteral("Access denied: %1\n").arg(reply.errorMessage()));
            return Failed;
        }
        Print(stderr, QStringLiteral("%1 failed: %2\n").arg(method, reply.errorMessage()));
        return Failed;
    }
    if (method != QLatin1String("Status")) {
        Print(stdout, QStringLiteral("%1 pressed on the %2.\n")
                          .arg(method, QString::fromStdString(tarnix::ProgramWord(kind))));
        return Done;
    }
    const QString json = reply.arguments().value(0).toString();
    const std::optional<tarnix::ProgramStatus> status = tarnix::StatusFromJson(json);
    if (!status) {
        Print(stderr, QStringLiteral("The service answered a status tarnixctl cannot read: %1\n").arg(json));
        return Failed;
    }
    Print(stdout, request.json ? json + QLatin1Char('\n')
                               : QString::fromStdString(tarnix::StatusReport(*status).Text()));
    return Done;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments == QStringList{QStringLiteral("--help")} ||
        arguments == QStringList{QStringLiteral("-h")}) {
        Print(stdout, QString::fromLatin1(Usage));
        return Done;
    }
    const std::optional<Request> request = ParseArguments(arguments);
    if (!request) {
        Print(stderr, QString::fromLatin1(Usage));
        return UsageError;
    }
    return Run(*request);
}
