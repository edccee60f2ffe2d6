#include "ctl/StatusJsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "common/program/StatusFields.h"

namespace tarnix {

namespace {

// The JSON value as the field's own kind of value, which its reading of an empty status shows.
StatusValue ValueOf(const QJsonValue& json, const StatusValue& kind) {
    if (std::holds_alternative<std::string>(kind)) return json.toString().toStdString();
    if (std::holds_alternative<std::int32_t>(kind)) return static_cast<std::int32_t>(json.toInt());
    if (IsCounter(kind)) return static_cast<std::uint64_t>(std::max<qint64>(json.toInteger(), 0));
    return json.toBool();
}

} // namespace

std::optional<ProgramStatus> StatusFromJson(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    ProgramStatus status;
    for (const StatusField& field : StatusFields()) {
        if (field.jsonName.empty()) continue;
        const QJsonValue value = object.value(QLatin1String(field.jsonName.data(), field.jsonName.size()));
        if (!field.write(status, ValueOf(value, field.read(ProgramStatus{})))) return std::nullopt;
    }
    const QJsonArray remote = object.value(QLatin1String("remoteComputers")).toArray();
    for (qsizetype i = 0; i < remote.size() && i < qsizetype(status.remote.size()); ++i) {
        const QJsonObject computer = remote.at(i).toObject();
        RemoteComputerStatus& into = status.remote[static_cast<std::size_t>(i)];
        for (const RemoteComputerField& field : RemoteComputerFields())
            field.write(into,
                        ValueOf(computer.value(QLatin1String(field.jsonName.data(), field.jsonName.size())),
                                field.read(RemoteComputerStatus{})));
    }
    return status;
}

} // namespace tarnix
