// The sandbox WebKit runs the web panel's page in (bubblewrap).
#pragma once

#include <string>

namespace platform {

// False only when the person turned it off with VESTREL_WEB_SANDBOX=0.
bool WebSandboxWanted();

// Why the sandbox cannot start on this machine; empty when it can. WebKit
// aborts the whole program when its bwrap or the D-Bus proxy in it fails
// to start, so the same start is tried here first, once a process (some
// 10 ms), on the main thread: a spawn reads the environment, which the
// toolkit's start-up changes (wxWidgets sets G_FILENAME_ENCODING), and a
// try in the background then read a freed copy of it.
std::string WebSandboxProblem();

// Turns off the JavaScript JIT in WebKit's processes (they inherit the
// environment): the panel shows one information page, and without the
// JIT's executable memory the web process is smaller and harder to
// exploit. Call before any thread starts: it changes the environment.
void TurnOffWebJit();

} // namespace platform
