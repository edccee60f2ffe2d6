#pragma once

#include <functional>

namespace tarnix {

// Calls `handler` from the event loop of the calling thread when the process gets SIGTERM,
// SIGINT or SIGHUP (logout, shutdown, kill), also while a modal box runs its own loop. Set up
// once per process.
void CallOnTerminationSignal(std::function<void()> handler);

} // namespace tarnix
