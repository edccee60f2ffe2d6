#pragma once

#include <QDBusVariant>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <string>
#include <vector>

#include "common/program/WatchdogCommands.h"

namespace tarnix::test {

// A running program as the bus object sees it: a status to tell, and the buttons it was pressed
// (each after whom it was pressed by).
class FakeProgram : public WatchdogCommands {
public:
    ProgramStatus status;
    std::vector<std::string> calls;

    ProgramStatus Status() const override { return status; }
    void ResetClick() override { calls.push_back("Reset"); }
    void TestClick() override { calls.push_back("Test"); }
    void PressedBy(const std::string& button, const std::string& who) override {
        calls.push_back(button + " by " + who);
    }
};

inline ProgramStatus MasterWithFourPeers() {
    ProgramStatus status;
    status.kind = ProgramKind::Master;
    status.phase = PhaseRun;
    status.count = 3;
    status.action = "Power Off";
    status.remote[0] = {true, "PC1", "127.0.0.2", LinkState::Connected, "P", ""};
    status.remote[1] = {true, "", "127.0.0.3", LinkState::DataError, "R**", ""};
    status.remote[3] = {true,         "PC4", "pc4.lab",
                        std::nullopt, "",    "the name pc4.lab cannot be looked up: Host not found"};
    return status;
}

inline ProgramStatus SlaveCountingDown() {
    ProgramStatus status;
    status.kind = ProgramKind::Slave;
    status.phase = PhaseCountdown;
    status.count = 4;
    status.timeLeft = 7;
    status.action = "Reboot";
    status.testRun = true;
    status.unconfigured = true;
    status.masterLookupFailure = "the name m.lab cannot be looked up: Host not found";
    return status;
}

// A master some while after its start: counters and silences of every kind set, none alike, and
// a name that needs escaping.
inline ProgramStatus MasterCounting() {
    ProgramStatus status = MasterWithFourPeers();
    status.resetsBy = {1, 2, 3};
    status.tests = 4;
    status.countdowns = 5;
    status.actions = 7;
    status.datagrams = {8'000'000'000, 9, 10, 11, 12, 13};
    status.remote[1].silentSeconds = 15;
    status.remote[3].name = "say \"hi\"\\\nPC4";
    return status;
}

// Keeps the PropertiesChanged signals a client heard.
class PropertiesRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<QVariantMap> changes;

public slots:
    void Changed(const QString& interfaceName, const QVariantMap& changed, const QStringList& invalidated) {
        if (interfaceName == QLatin1String("io.tarnix.Watchdog1") && invalidated.isEmpty())
            changes.push_back(changed);
    }
};

// Keeps the Event signals a client heard, as "name key=value ..." in the details' order.
class EventRecorder : public QObject {
    Q_OBJECT
public:
    QStringList events;

public slots:
    void Heard(const QString& name, const QMap<QString, QString>& details) {
        QString line = name;
        for (auto it = details.cbegin(); it != details.cend(); ++it)
            line += QStringLiteral(" %1=%2").arg(it.key(), it.value());
        events << line;
    }
};

} // namespace tarnix::test
