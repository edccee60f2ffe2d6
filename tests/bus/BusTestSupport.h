#pragma once

#include <QDBusVariant>
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

} // namespace tarnix::test
