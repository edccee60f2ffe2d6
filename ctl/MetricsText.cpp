#include "ctl/MetricsText.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/config/ConfigRecord.h"
#include "common/program/StatusReport.h"

namespace tarnix {
namespace {

// A label value as the format writes it: backslash, double quote and line feed escaped.
std::string Label(std::string_view name, std::string_view value) {
    std::string text = std::string(name) + "=\"";
    for (const char c : value) {
        if (c == '\\' || c == '"') {
            text += '\\';
            text += c;
        } else if (c == '\n') {
            text += "\\n";
        } else {
            text += c;
        }
    }
    return text + '"';
}

struct Sample {
    std::string labels; // "a=\"x\",b=\"y\"", or empty
    std::uint64_t value;
};

void Family(std::string& out, std::string_view name, std::string_view type, std::string_view help,
            const std::vector<Sample>& samples) {
    out += "# HELP " + std::string(name) + " " + std::string(help) + "\n";
    out += "# TYPE " + std::string(name) + " " + std::string(type) + "\n";
    for (const Sample& sample : samples)
        out += std::string(name) + (sample.labels.empty() ? "" : "{" + sample.labels + "}") + " " +
               std::to_string(sample.value) + "\n";
}

// A remote computer as the metrics name it: a master's by its number and its name (or address),
// so that two computers of one name stay apart; a slave's master as "master".
struct Peer {
    std::string labels;
    bool up;
    std::int32_t silentSeconds;
};

std::vector<Peer> PeersOf(const ProgramStatus& s) {
    std::vector<Peer> peers;
    if (s.kind == ProgramKind::Slave) {
        if (!s.unconfigured)
            peers.push_back(
                {Label("peer", "master"), s.masterLink == LinkState::Connected, s.masterSilentSeconds});
        return peers;
    }
    for (std::size_t i = 0; i < s.remote.size(); ++i) {
        const RemoteComputerStatus& remote = s.remote[i];
        if (!remote.configured) continue;
        peers.push_back({Label("computer", std::to_string(i + 1)) + "," +
                             Label("peer", remote.name.empty() ? remote.address : remote.name),
                         remote.link == LinkState::Connected, remote.silentSeconds});
    }
    return peers;
}

std::uint64_t NotNegative(std::int32_t value) {
    return value > 0 ? static_cast<std::uint64_t>(value) : 0;
}

} // namespace

std::string MetricsText(const ProgramStatus& s) {
    std::string out;
    Family(out, "tarnix_build_info", "gauge", "The running watchdog's version and program (master or slave).",
           {{Label("version", ProgramVersion) + "," + Label("program", ProgramWord(s.kind)), 1}});
    std::vector<Sample> phases;
    for (const SupervisionPhase phase : {PhaseActivation, PhaseRun, PhaseCountdown})
        phases.push_back({Label("phase", PhaseWord(phase)), s.phase == phase ? 1u : 0u});
    Family(out, "tarnix_phase", "gauge",
           "The supervision phase: 1 for the one the watchdog is in, 0 for the others.", phases);
    Family(out, "tarnix_silent_seconds", "gauge",
           "Seconds without a valid datagram counted towards the lost-communications limit; 0 outside Run.",
           {{"", s.phase == PhaseRun ? NotNegative(s.count) : 0}});
    Family(out, "tarnix_time_left_seconds", "gauge",
           "Seconds left of the countdown before the action; its full length while none runs.",
           {{"", NotNegative(s.timeLeft)}});
    Family(out, "tarnix_action_info", "gauge", "The power action a countdown ends in.",
           {{Label("action", s.action), 1}});

    const std::vector<Peer> peers = PeersOf(s);
    if (!peers.empty()) {
        std::vector<Sample> up, silent;
        for (const Peer& peer : peers) {
            up.push_back({peer.labels, peer.up ? 1u : 0u});
            silent.push_back({peer.labels, NotNegative(peer.silentSeconds)});
        }
        Family(out, "tarnix_peer_up", "gauge",
               "Whether the link to the peer (a master's remote computer, a slave's master) was judged "
               "connected.",
               up);
        Family(out, "tarnix_peer_last_heard_seconds", "gauge",
               "Whole seconds since the peer's last valid datagram, or since its port was opened while "
               "none came.",
               silent);
    }

    const ProgramStatus::DatagramCounts& d = s.datagrams;
    Family(out, "tarnix_datagrams_sent_total", "counter",
           "Datagrams sent: a master's polls and commands, a slave's answers.", {{"", d.sent}});
    Family(out, "tarnix_datagrams_heard_total", "counter",
           "Valid datagrams heard from the remote computers (a slave's: its master).", {{"", d.heard}});
    Family(out, "tarnix_datagrams_not_heard_total", "counter",
           "Datagrams that arrived and were not heard, by why.",
           {{Label("reason", "malformed"), d.malformed},
            {Label("reason", "stranger"), d.stranger},
            {Label("reason", "key mismatch"), d.keyMismatch},
            {Label("reason", "replayed"), d.replayed}});
    Family(out, "tarnix_countdowns_total", "counter", "Countdowns started, a test run's not counted.",
           {{"", s.countdowns}});
    Family(out, "tarnix_resets_total", "counter",
           "Resets, by where they came from: the window's button, the bus, the master's command.",
           {{Label("source", "button"), s.resetsBy.button},
            {Label("source", "bus"), s.resetsBy.bus},
            {Label("source", "command"), s.resetsBy.command}});
    Family(out, "tarnix_tests_total", "counter", "Tests pressed or commanded.", {{"", s.tests}});
    Family(out, "tarnix_actions_total", "counter", "Power actions performed or simulated.",
           {{"", s.actions}});
    return out;
}

} // namespace tarnix
