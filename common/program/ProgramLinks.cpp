// The program's side of its keyed links: reading the keys, giving each link its own, and the
// log's reports of what the links dropped.

#include "common/config/ConfigQueries.h"
#include "common/program/ProgramBase.h"

namespace tarnix {

void ProgramBase::SealLink(SealedPort& port, int link) {
    if (keys_.Keyed(link)) {
        port.UseKey(sealing_, keys_.For(link));
    } else {
        port.UseNoKey();
    }
}

std::string ProgramBase::PeerName(int link) const {
    if (link == 0) return "master";
    const auto index = static_cast<std::size_t>(link);
    return config_.CName[index].empty() ? config_.IPAdd[index] : config_.CName[index];
}

void ProgramBase::WatchLink(SealedPort& port, int link) {
    const std::optional<std::string> report = port.OnTick(SupervisionTickMs(kind_));
    if (report && LogsNormal(config_)) AppendToLog(log_.FormatNote("Dropped", *report));
    if (report) Emit("dropped", {{"peer", PeerName(link)}, {"report", *report}});
    std::string& known = lookupFailures_.at(static_cast<std::size_t>(link));
    std::string failure = port.LookupFailure();
    if (!failure.empty() && known.empty() && LogsNormal(config_))
        AppendToLog(log_.FormatNote("Lookup", failure));
    known = std::move(failure);
}

} // namespace tarnix
