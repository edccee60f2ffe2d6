// tarnixctl: how a running Tarnix service stands, its figures for monitoring, and its Reset and
// Test buttons, from a shell.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "common/base/AtomicFile.h"
#include "common/program/StatusReport.h"
#include "common/program/WatchdogBusNames.h"
#include "ctl/MetricsText.h"
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
    "Usage: tarnixctl [--master|--slave] status [--json] | metrics [--output FILE] | reset | test\n"
    "  status   how the watchdog stands (--json: as one JSON object)\n"
    "  metrics  the same and its counters for Prometheus (--output: replaces FILE whole, mode 644,\n"
    "           and removes it when the watchdog cannot be asked)\n"
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
    QString output; // metrics --output FILE
};

std::optional<Request> ParseArguments(const QStringList& arguments) {
    Request request;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool role = argument == QLatin1String("--master") || argument == QLatin1String("--slave");
        if (role && request.kind) return std::nullopt;
        if (argument == QLatin1String("--master")) {
            request.kind = ProgramKind::Master;
        } else if (argument == QLatin1String("--slave")) {
            request.kind = ProgramKind::Slave;
        } else if (argument == QLatin1String("--json") && !request.json) {
            request.json = true;
        } else if (argument == QLatin1String("--output") && request.output.isEmpty() &&
                   i + 1 < arguments.size() && !arguments.at(i + 1).isEmpty()) {
            request.output = arguments.at(++i);
        } else if (request.command.isEmpty() &&
                   (argument == QLatin1String("status") || argument == QLatin1String("metrics") ||
                    argument == QLatin1String("reset") || argument == QLatin1String("test"))) {
            request.command = argument;
        } else {
            return std::nullopt;
        }
    }
    if (request.command.isEmpty()) return std::nullopt;
    if (request.json && request.command != QLatin1String("status")) return std::nullopt;
    if (!request.output.isEmpty() && request.command != QLatin1String("metrics")) return std::nullopt;
    return request;
}

// Replaces the file in one step: the text goes to a new file beside it, which is renamed over it,
// so that a reader sees the old figures or the new ones, never part of a file. Not flushed to
// disk: the file is written again every few seconds, and a copy lost in a crash costs nothing.
// The reason when it failed.
std::optional<QString> WriteWhole(const QString& path, const std::string& text) {
    const QByteArray file = QFile::encodeName(path);
    // Not named *.prom, so that node_exporter never reads it half written.
    QByteArray temporary = file + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    const bool written = ::fchmod(fd, 0644) == 0 && tarnix::WriteAll(fd, text);
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.constData(), file.constData()) == 0) return std::nullopt;
    const int failure = !written ? error : errno;
    (void)::unlink(temporary.constData());
    return QString::fromLocal8Bit(std::strerror(failure));
}

// A watchdog that cannot be asked has no figures: a file left from when it could would be read
// as if it still stood so.
void RemoveStaleMetrics(const Request& request) {
    if (request.command != QLatin1String("metrics") || request.output.isEmpty()) return;
    if (::unlink(QFile::encodeName(request.output).constData()) == 0)
        Print(stderr, QStringLiteral("Removed %1: its figures were out of date.\n").arg(request.output));
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

// Calls the service's method for the command: Done, with the Status() answer where it was asked
// for, or the exit status once the failure is told.
int Ask(const Request& request, QString& answer) {
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

    const QString method = request.command == QLatin1String("reset")  ? QStringLiteral("Reset")
                           : request.command == QLatin1String("test") ? QStringLiteral("Test")
                                                                      : QStringLiteral("Status");
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
    answer = reply.arguments().value(0).toString();
    if (!tarnix::StatusFromJson(answer)) {
        Print(stderr,
              QStringLiteral("The service answered a status tarnixctl cannot read: %1\n").arg(answer));
        return Failed;
    }
    return Done;
}

int Run(const Request& request) {
    QString json;
    if (const int asked = Ask(request, json); asked != Done) {
        RemoveStaleMetrics(request);
        return asked;
    }
    if (json.isEmpty()) return Done; // a button, pressed
    const tarnix::ProgramStatus status = *tarnix::StatusFromJson(json);
    if (request.command == QLatin1String("status")) {
        Print(stdout, request.json ? json + QLatin1Char('\n')
                                   : QString::fromStdString(tarnix::StatusReport(status).Text()));
        return Done;
    }
    const std::string metrics = tarnix::MetricsText(status);
    if (request.output.isEmpty()) {
        std::fputs(metrics.c_str(), stdout);
        return Done;
    }
    if (const std::optional<QString> why = WriteWhole(request.output, metrics)) {
        Print(stderr, QStringLiteral("Cannot write %1: %2\n").arg(request.output, *why));
        return Failed;
    }
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
