#include "platform/EndSignals.h"

#include <glib-unix.h>

#include <csignal>
#include <initializer_list>

namespace platform {

namespace {

void (*g_handler)() = nullptr;

gboolean OnSignal(gpointer /*data*/) {
    if (g_handler != nullptr) {
        g_handler();
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

void OnEndSignals(void (*handler)()) {
    g_handler = handler;
    struct sigaction hup {};
    const bool hupIgnored = sigaction(SIGHUP, nullptr, &hup) == 0 && hup.sa_handler == SIG_IGN;
    // GLib's own signal source: the handler writes to a pipe the main
    // context watches, so the loop wakes even when nothing else happens.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        if (signal != SIGHUP || !hupIgnored) {
            g_unix_signal_add(signal, &OnSignal, nullptr);
        }
    }
}

} // namespace platform
