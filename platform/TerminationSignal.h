#pragma once

#include <functional>

namespace tarnix {

// Calls `handler` from the event loop of the calling thread whenever the process gets `signal`,
// also while a modal box runs its own loop. Each signal is handed to one handler; a later call
// for the same signal replaces it.
void CallOnSignal(int signal, std::function<void()> handler);

// SIGTERM, SIGINT and SIGHUP (logout, shutdown, kill), for a program with windows.
void CallOnTerminationSignal(std::function<void()> handler);

} // namespace tarnix
