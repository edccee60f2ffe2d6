#pragma once

#include <QObject>

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/program/WatchdogEvents.h"

class QProcess;
class QTimer;

namespace tarnix {

// A line about the hooks for the program's log and the service's journal; failure marks a hook
// that failed or was refused, which is worth a line at the Normal log level.
using HookReport = std::function<void(const std::string& line, bool failure)>;

// Runs the executable files of a folder for every event, each hook its events one at a time in
// order, without ever making the caller wait. A hook runs as the program's own user, with a
// minimal environment describing the event, in the folder, in a process group of its own.
// Use it from the thread it lives in.
class HookRunner final : public QObject, public EventSink {
public:
    // Events waiting per hook; more are dropped (and counted) until the hook catches up.
    static constexpr std::size_t kQueueLimit = 64;

    // programUser: the only owner besides root whose hook files are run. A run longer than
    // runLimit gets SIGTERM, and SIGKILL killAfter later.
    HookRunner(std::filesystem::path folder, uid_t programUser, HookReport report,
               std::chrono::milliseconds runLimit = std::chrono::seconds(30),
               std::chrono::milliseconds killAfter = std::chrono::seconds(5));
    // Kills what still runs (with its children); waiting events are dropped.
    ~HookRunner() override;

    // Lists the hooks again: at start and whenever the configuration is read again.
    void ReadFolder();
    void Emit(const WatchdogEvent& event) override;
    void ConfigurationRead() override { ReadFolder(); }

    // The hooks folder of a program whose working folder is its program folder: Data/hooks.d,
    // named as the administrator knows it (a service's Data/ is a link to /etc/tarnix).
    static std::filesystem::path ProgramHooksFolder();

private:
    struct Hook {
        std::string name;
        std::deque<WatchdogEvent> waiting;
        bool listed = true;
        std::uint64_t dropped = 0;
        std::uint64_t firstDropped = 0;
        std::uint64_t lastDropped = 0;
        // The run in progress.
        QProcess* process = nullptr;
        QTimer* stopTimer = nullptr; // SIGTERM, then SIGKILL
        WatchdogEvent running;
        std::string errorTail;
        bool stopped = false;
        bool killed = false;
    };

    std::filesystem::path PathOf(const Hook& hook) const { return folder_ / hook.name; }
    // Why the file may not run; empty when it may.
    std::string Refusal(const std::filesystem::path& file) const;
    std::string FolderRefusal() const;
    void Queue(Hook& hook, const WatchdogEvent& event);
    void SchedulePump();
    void Pump();
    void Start(Hook& hook);
    void Stop(Hook& hook);
    void Finished(Hook& hook, const std::string& outcome, bool failure);
    void Report(const std::string& line, bool failure) const;
    void ReportLater(const std::string& line);

    std::filesystem::path folder_;
    uid_t programUser_;
    HookReport report_;
    std::chrono::milliseconds runLimit_;
    std::chrono::milliseconds killAfter_;
    std::string home_;
    std::vector<std::unique_ptr<Hook>> hooks_; // by name
    bool pumpPending_ = false;
};

} // namespace tarnix
