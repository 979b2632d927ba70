// The sandbox WebKit runs the web panel's page in (bubblewrap).
#pragma once

#include <string>

namespace platform {

// False only when the person turned it off with VESTREL_WEB_SANDBOX=0.
bool WebSandboxWanted();

// Why the sandbox cannot start on this machine; empty when it can. WebKit
// aborts the whole program when its bwrap or the D-Bus proxy in it fails
// to start, so the same start is tried here first (once a process).
std::string WebSandboxProblem();

} // namespace platform
