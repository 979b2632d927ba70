#include "platform/WebSandbox.h"

#include "platform/Spawn.h"
#include "platform/Translate.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// The fixed paths WebKit runs them from.
constexpr const char* kBwrap = "/usr/bin/bwrap";
constexpr const char* kDbusProxy = "/usr/bin/xdg-dbus-proxy";

std::string TrySandbox() {
    // New namespaces of every kind WebKit unshares, with the proxy it
    // starts first inside them.
    const ProcessResult r =
        RunAndCollect({kBwrap, "--unshare-all", "--die-with-parent", "--ro-bind", "/", "/", "--dev",
                       "/dev", "--proc", "/proc", kDbusProxy, "--help"});
    if (!r.started) {
        return std::string(kBwrap) + ": " + std::strerror(r.startError);
    }
    if (r.exitStatus == 0) {
        return std::string();
    }
    const std::string said = LastLine(r.errorOutput);
    if (!said.empty()) {
        return said;
    }
    // TRANSLATORS: why the web page cannot be shown safely; %s is a program's path, %d its exit
    // status.
    return Printf(Tr("%s ended with status %d"), kBwrap, r.exitStatus);
}

} // namespace

bool WebSandboxWanted() {
    const char* v = std::getenv("VESTREL_WEB_SANDBOX");
    return v == nullptr || std::strcmp(v, "0") != 0;
}

std::string WebSandboxProblem() {
    static const std::string problem = TrySandbox();
    return problem;
}

void TurnOffWebJit() {
    setenv("JSC_useJIT", "0", 1);
}

} // namespace platform
