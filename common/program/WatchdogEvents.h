#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/config/ConfigRecord.h"

namespace tarnix {

// The names of what a watchdog tells the rest of the system, each with its details:
//   run          supervision is active
//   link-lost    a master's remote computer (peer, peer_address), or a slave's master, is lost
//   link-back    ... is heard again
//   countdown    a countdown starts (action, time_left)
//   cancelled    it was cancelled (by: a user, "button", or "master" for a slave's Reset command)
//   action       just before the power call (action)
//   test-start   a test run starts; test-end: it ends
//   dropped      the once-a-minute report of unheard keyed datagrams (peer, report)
//   log-lost     the log cannot be written (reason); log-back: it can again
struct WatchdogEvent {
    std::uint64_t sequence = 0; // grows by one per event, in the order they happened
    std::string name = {};
    ProgramKind program = ProgramKind::Master;
    bool testRun = false; // an event of a test run
    // In a fixed order; keys are lower case with "_" (hooks see TARNIX_<KEY>).
    std::vector<std::pair<std::string, std::string>> details = {};

    // The detail's value, or empty.
    std::string Detail(const std::string& key) const {
        for (const auto& [k, v] : details)
            if (k == key) return v;
        return {};
    }
};

// Where events go: the service's bus signal, the hooks. Nothing here may wait.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Emit(const WatchdogEvent& event) = 0;
    // The program read its configuration, at start or again: what depends on the files (the
    // hooks folder) is read again too.
    virtual void ConfigurationRead() {}
};

// Every part of a face that follows the events; with none, nobody hears.
class EventFanOut final : public EventSink {
public:
    void Add(EventSink& sink) { sinks_.push_back(&sink); }
    void Emit(const WatchdogEvent& event) override {
        for (EventSink* sink : sinks_)
            sink->Emit(event);
    }
    void ConfigurationRead() override {
        for (EventSink* sink : sinks_)
            sink->ConfigurationRead();
    }

private:
    std::vector<EventSink*> sinks_;
};

} // namespace tarnix
