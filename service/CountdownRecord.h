#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "common/program/WatchdogCommands.h"

namespace tarnix {

// The deadline of a running countdown, kept in the service's runtime folder while it runs. When
// the service dies or hangs in a countdown, systemd restarts it (and keeps that folder, which
// lives in /run, so never past a reboot); the new process takes the deadline up instead of
// starting over with its activation delay, so that the watchdog's own failure never postpones a
// due action. A deliberate end (a stop, a restart an administrator asks for, the program's own
// end) drops the record.
class CountdownRecord final : public StatusObserver {
public:
    explicit CountdownRecord(std::filesystem::path folder);

    // The seconds left of the countdown an earlier process left running, 0 when its deadline has
    // passed; none when there was none. The record is dropped once read.
    std::optional<int> TakeLeftOver();
    // Writes the deadline when a countdown starts and drops it when the countdown ends.
    void StatusChanged(const ProgramStatus& status) override;
    void Drop();

private:
    static std::int64_t NowMs(); // since boot, suspensions included

    std::filesystem::path file_;
    bool recorded_ = false;
};

} // namespace tarnix
