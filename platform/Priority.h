#pragma once

namespace tarnix {

// Nice values the watchdog asks for: every thread of the process at kProcessNice and the
// calling (window) thread a little above it, so timer ticks stay punctual under load.
inline constexpr int kProcessNice = -10;
inline constexpr int kThreadNice = -12;

// Raises the priority of the process and of the calling thread; a priority that is already
// higher is kept. Failures (no privilege) are ignored: the programs work without it.
void RaiseProcessPriority();

} // namespace tarnix
