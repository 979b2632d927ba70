#include "platform/InputClock.h"

#include "platform/DynamicLibrary.h"
#include "platform/WindowPlacement.h"

#include <wx/window.h>

namespace platform {

namespace {

// The X display GDK opened (nullptr on Wayland).
void* XDisplay() {
    if (OnWayland()) {
        return nullptr;
    }
    using Default = void* (*)();
    using GetX = void* (*)(void*);
    auto def = LinkedSymbol<Default>("gdk_display_get_default");
    auto getX = LinkedSymbol<GetX>("gdk_x11_display_get_xdisplay");
    void* gdk = def != nullptr ? def() : nullptr;
    return gdk != nullptr && getX != nullptr ? getX(gdk) : nullptr;
}

} // namespace

std::uint32_t InputClockNow(const wxWindow* window) {
    if (!OnWayland() && window != nullptr) {
        using GetWindow = void* (*)(void*);
        using ServerTime = std::uint32_t (*)(void*);
        auto getWindow = LinkedSymbol<GetWindow>("gtk_widget_get_window");
        auto serverTime = LinkedSymbol<ServerTime>("gdk_x11_get_server_time");
        const wxWindow* top = wxGetTopLevelParent(const_cast<wxWindow*>(window));
        void* gdkWindow = getWindow != nullptr && top != nullptr && top->GetHandle() != nullptr
                              ? getWindow(top->GetHandle())
                              : nullptr;
        if (gdkWindow != nullptr && serverTime != nullptr) {
            return serverTime(gdkWindow);
        }
    }
    using EventTime = std::uint32_t (*)();
    auto eventTime = LinkedSymbol<EventTime>("gtk_get_current_event_time");
    return eventTime != nullptr ? eventTime() : 0;
}

bool ReturnHeldDown() {
    void* display = XDisplay();
    using QueryKeymap = int (*)(void*, char*);
    using KeysymToKeycode = unsigned char (*)(void*, unsigned long);
    auto query = LinkedSymbol<QueryKeymap>("XQueryKeymap");
    auto keycode = LinkedSymbol<KeysymToKeycode>("XKeysymToKeycode");
    if (display == nullptr || query == nullptr || keycode == nullptr) {
        return false;
    }
    char keys[32] = {};
    query(display, keys);
    for (const unsigned long sym : {0xff0dUL, 0xff8dUL}) { // Return, KP_Enter
        const unsigned code = keycode(display, sym);
        if (code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0) {
            return true;
        }
    }
    return false;
}

} // namespace platform
