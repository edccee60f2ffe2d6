#include "common/program/StatusFields.h"

#include <array>
#include <type_traits>

#include "common/program/StatusReport.h"

namespace tarnix {
namespace {

using S = ProgramStatus;
using R = RemoteComputerStatus;
using V = StatusValue;

template <typename T> T As(const V& value) {
    const T* held = std::get_if<T>(&value);
    return held != nullptr ? *held : T{};
}

// The member reached from the object through the members of the path, one within the other.
template <auto First, auto... Rest> constexpr auto& Reach(auto& object) {
    if constexpr (sizeof...(Rest) == 0) {
        return object.*First;
    } else {
        return Reach<Rest...>(object.*First);
    }
}

// A counter of the status, reached through Path: on the bus and in the JSON, never in the text
// report.
template <auto... Path> V ReadCount(const S& s) {
    return V{std::uint64_t{Reach<Path...>(s)}};
}
template <auto... Path> bool WriteCount(S& s, const V& v) {
    auto& counter = Reach<Path...>(s);
    counter = static_cast<std::remove_reference_t<decltype(counter)>>(As<std::uint64_t>(v));
    return true;
}
template <auto... Path> constexpr StatusField Counter(std::string_view busName, std::string_view jsonName) {
    return {
        busName, jsonName, "", TextForm::Never, 0, std::nullopt, &ReadCount<Path...>, &WriteCount<Path...>};
}
using Sources = S::ResetSources;
using Datagrams = S::DatagramCounts;

constexpr std::array<StatusField, 27> Fields = {{
    {"Program", "program", "Program", TextForm::Always, 1, std::nullopt,
     [](const S& s) { return V{ProgramWord(s.kind)}; },
     [](S& s, const V& v) {
         const auto kind = ProgramFromWord(As<std::string>(v));
         if (kind) s.kind = *kind;
         return kind.has_value();
     }},
    {"Phase", "phase", "Phase", TextForm::Always, 2, std::nullopt,
     [](const S& s) { return V{PhaseWord(s.phase)}; },
     [](S& s, const V& v) {
         const auto phase = PhaseFromWord(As<std::string>(v));
         if (phase) s.phase = *phase;
         return phase.has_value();
     }},
    {"Count", "count", "Count", TextForm::Always, 3, std::nullopt,
     [](const S& s) { return V{std::int32_t{s.count}}; },
     [](S& s, const V& v) {
         s.count = static_cast<std::int16_t>(As<std::int32_t>(v));
         return true;
     }},
    {"TimeLeft", "timeLeft", "Time left", TextForm::Always, 5, std::nullopt,
     [](const S& s) { return V{std::int32_t{s.timeLeft}}; },
     [](S& s, const V& v) {
         s.timeLeft = static_cast<std::int16_t>(As<std::int32_t>(v));
         return true;
     }},
    {"Action", "action", "Action", TextForm::Always, 4, std::nullopt, [](const S& s) { return V{s.action}; },
     [](S& s, const V& v) {
         s.action = As<std::string>(v);
         return true;
     }},
    {"TestRun", "testRun", "Test run", TextForm::WhenSet, 6, std::nullopt,
     [](const S& s) { return V{s.testRun}; },
     [](S& s, const V& v) {
         s.testRun = As<bool>(v);
         return true;
     }},
    {"Unconfigured", "unconfigured", "Not configured", TextForm::LabelWhenSet, 7, std::nullopt,
     [](const S& s) { return V{s.unconfigured}; },
     [](S& s, const V& v) {
         s.unconfigured = As<bool>(v);
         return true;
     }},
    {"MasterLink", "masterLink", "Link", TextForm::WhenSet, 8, ProgramKind::Slave,
     [](const S& s) { return V{s.masterLink ? LinkWord(*s.masterLink) : std::string()}; },
     [](S& s, const V& v) {
         s.masterLink = LinkFromWord(As<std::string>(v));
         return true;
     }},
    // What a window attached over the bus draws besides: the summary's limit and wording, and
    // the master's own row.
    {"LostCommsLimit", "", "", TextForm::Never, 0, std::nullopt,
     [](const S& s) { return V{std::int32_t{s.lostCommsLimit}}; },
     [](S& s, const V& v) {
         s.lostCommsLimit = static_cast<std::int16_t>(As<std::int32_t>(v));
         return true;
     }},
    {"MonitorOnly", "", "", TextForm::Never, 0, std::nullopt, [](const S& s) { return V{s.monitorOnly}; },
     [](S& s, const V& v) {
         s.monitorOnly = As<bool>(v);
         return true;
     }},
    {"ComputerName", "", "", TextForm::Never, 0, ProgramKind::Master,
     [](const S& s) { return V{s.computerName}; },
     [](S& s, const V& v) {
         s.computerName = As<std::string>(v);
         return true;
     }},
    {"NetworkOK", "", "", TextForm::Never, 0, ProgramKind::Master, [](const S& s) { return V{s.networkOK}; },
     [](S& s, const V& v) {
         s.networkOK = As<bool>(v);
         return true;
     }},
    // Not on the bus, whose properties stay as its clients know them.
    {"", "lookupFailure", "Master", TextForm::WhenSet, 9, ProgramKind::Slave,
     [](const S& s) { return V{s.masterLookupFailure}; },
     [](S& s, const V& v) {
         s.masterLookupFailure = As<std::string>(v);
         return true;
     }},
    // Not on the bus either: it changes at every tick, as the remote computers' silences do.
    {"", "masterSilentSeconds", "", TextForm::Never, 0, ProgramKind::Slave,
     [](const S& s) { return V{s.masterSilentSeconds}; },
     [](S& s, const V& v) {
         s.masterSilentSeconds = As<std::int32_t>(v);
         return true;
     }},
    // What monitoring reads.
    Counter<&S::resets>("Resets", "resets"),
    Counter<&S::resetsBy, &Sources::button>("ResetsByButton", "resetsByButton"),
    Counter<&S::resetsBy, &Sources::bus>("ResetsByBus", "resetsByBus"),
    Counter<&S::resetsBy, &Sources::command>("ResetsByCommand", "resetsByCommand"),
    Counter<&S::tests>("Tests", "tests"),
    Counter<&S::countdowns>("Countdowns", "countdowns"),
    Counter<&S::actions>("Actions", "actions"),
    Counter<&S::datagrams, &Datagrams::sent>("DatagramsSent", "datagramsSent"),
    Counter<&S::datagrams, &Datagrams::heard>("DatagramsHeard", "datagramsHeard"),
    Counter<&S::datagrams, &Datagrams::malformed>("DatagramsMalformed", "datagramsMalformed"),
    Counter<&S::datagrams, &Datagrams::stranger>("DatagramsFromStrangers", "datagramsFromStrangers"),
    Counter<&S::datagrams, &Datagrams::keyMismatch>("DatagramsKeyMismatch", "datagramsKeyMismatch"),
    Counter<&S::datagrams, &Datagrams::replayed>("DatagramsReplayed", "datagramsReplayed"),
}};

constexpr std::array<RemoteComputerField, 7> RemoteFields = {{
    {"configured", true, [](const R& r) { return V{r.configured}; },
     [](R& r, const V& v) { r.configured = As<bool>(v); }},
    {"name", true, [](const R& r) { return V{r.name}; },
     [](R& r, const V& v) { r.name = As<std::string>(v); }},
    {"address", true, [](const R& r) { return V{r.address}; },
     [](R& r, const V& v) { r.address = As<std::string>(v); }},
    {"status", true, [](const R& r) { return V{r.link ? LinkWord(*r.link) : std::string()}; },
     [](R& r, const V& v) { r.link = LinkFromWord(As<std::string>(v)); }},
    {"letter", true, [](const R& r) { return V{r.letter}; },
     [](R& r, const V& v) { r.letter = As<std::string>(v); }},
    {"lookupFailure", false, [](const R& r) { return V{r.lookupFailure}; },
     [](R& r, const V& v) { r.lookupFailure = As<std::string>(v); }},
    {"silentSeconds", false, [](const R& r) { return V{r.silentSeconds}; },
     [](R& r, const V& v) { r.silentSeconds = As<std::int32_t>(v); }},
}};

} // namespace

std::span<const StatusField> StatusFields() {
    return Fields;
}

std::span<const RemoteComputerField> RemoteComputerFields() {
    return RemoteFields;
}

} // namespace tarnix
