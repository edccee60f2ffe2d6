#include "ctl/StatusJsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "common/program/StatusReport.h"

namespace tarnix {

namespace {

std::string StdString(const QJsonValue& value) {
    return value.toString().toStdString();
}

} // namespace

std::optional<ProgramStatus> StatusFromJson(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const std::optional<ProgramKind> kind =
        ProgramFromWord(StdString(object.value(QLatin1String("program"))));
    const std::optional<SupervisionPhase> phase =
        PhaseFromWord(StdString(object.value(QLatin1String("phase"))));
    if (!kind || !phase) return std::nullopt;
    ProgramStatus status;
    status.kind = *kind;
    status.phase = *phase;
    status.count = static_cast<std::int16_t>(object.value(QLatin1String("count")).toInt());
    status.timeLeft = static_cast<std::int16_t>(object.value(QLatin1String("timeLeft")).toInt());
    status.action = StdString(object.value(QLatin1String("action")));
    status.testRun = object.value(QLatin1String("testRun")).toBool();
    status.unconfigured = object.value(QLatin1String("unconfigured")).toBool();
    status.masterLookupFailure = StdString(object.value(QLatin1String("lookupFailure")));
    const QJsonArray remote = object.value(QLatin1String("remoteComputers")).toArray();
    for (qsizetype i = 0; i < remote.size() && i < qsizetype(status.remote.size()); ++i) {
        const QJsonObject computer = remote.at(i).toObject();
        RemoteComputerStatus& into = status.remote[static_cast<std::size_t>(i)];
        into.configured = computer.value(QLatin1String("configured")).toBool();
        into.name = StdString(computer.value(QLatin1String("name")));
        into.address = StdString(computer.value(QLatin1String("address")));
        into.status = StdString(computer.value(QLatin1String("status")));
        into.letter = StdString(computer.value(QLatin1String("letter")));
        into.lookupFailure = StdString(computer.value(QLatin1String("lookupFailure")));
    }
    return status;
}

} // namespace tarnix
