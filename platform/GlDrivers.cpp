#include "platform/GlDrivers.h"

#include "platform/DynamicLibrary.h"

#include <stdlib.h>

namespace platform {

namespace {

constexpr const char* kGdkGl = "GDK_GL";
constexpr const char* kEglVendors = "__EGL_VENDOR_LIBRARY_FILENAMES";
constexpr int kEglExtensions = 0x3055; // EGL_EXTENSIONS

bool g_gdkGlSet = false;

} // namespace

void SkipToolkitGlProbe() {
    if (getenv(kGdkGl) == nullptr) {
        g_gdkGlSet = setenv(kGdkGl, "disable", 1) == 0;
    }
}

void EndToolkitGlProbeSkip() {
    if (g_gdkGlSet) {
        unsetenv(kGdkGl);
        g_gdkGlSet = false;
    }
}

void KeepEglOutOfThisProcess() {
    // libglvnd reads its list of EGL drivers once, on the first EGL call of
    // the process: an empty list then leaves every later call without a
    // driver. The variable is gone again before the web process starts.
    using QueryString = const char* (*)(void*, int);
    auto query = LinkedSymbol<QueryString>("eglQueryString");
    if (query == nullptr || getenv(kEglVendors) != nullptr ||
        setenv(kEglVendors, "/dev/null", 1) != 0) {
        return;
    }
    query(nullptr, kEglExtensions);
    unsetenv(kEglVendors);
}

} // namespace platform
