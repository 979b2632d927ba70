// The signals that ask a desktop program to end: SIGTERM (a logout),
// SIGHUP (its terminal closed) and SIGINT (Ctrl+C there).
#pragma once

namespace platform {

// Calls `handler` on the main loop (also inside a box's own loop) when one
// of them arrives, never in the signal handler itself. A SIGHUP ignored
// from the start (nohup) stays ignored; SIGINT is taken even so, as a
// shell starts its background commands with it ignored.
void OnEndSignals(void (*handler)());

} // namespace platform
