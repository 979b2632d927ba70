// The sandbox WebKit runs the web panel's page in (bubblewrap).
#pragma once

#include <string>

namespace platform {

// False only when the person turned it off with VESTREL_WEB_SANDBOX=0.
bool WebSandboxWanted();

// Why the sandbox cannot start on this machine; empty when it can. WebKit
// aborts the whole program when its bwrap or the D-Bus proxy in it fails
// to start, so the same start is tried here first, once a process. Both
// calls on the main thread.
std::string WebSandboxProblem();
// Starts that try in the background (it takes some 10 ms), while the
// toolkit starts.
void StartWebSandboxCheck();

} // namespace platform
