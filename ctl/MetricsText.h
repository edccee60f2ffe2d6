#pragma once

#include <string>

#include "common/program/ProgramStatus.h"

namespace tarnix {

// How a running watchdog stands in the Prometheus text exposition format 0.0.4, as node_exporter's
// textfile collector and a scrape read it: the program and version, the phase as a state set, the
// silence, the countdown and the action, each remote computer's link, and the counters since the
// start. Every family has its HELP and TYPE lines.
std::string MetricsText(const ProgramStatus& status);

} // namespace tarnix
