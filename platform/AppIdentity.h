// How the desktop recognises the program's windows.
#pragma once

namespace platform {

// The window class of the program's X11 windows (WM_CLASS), which the
// desktop file names as its StartupWMClass.
constexpr const char* kWmClass = "Vestrel";

// Makes the application id of the program's windows the desktop's id
// (kAppId): on Wayland the compositor matches windows to the desktop file
// by it (xdg_toplevel.set_app_id, taken from the program name), for the
// icon in the dash and the task switcher. X11 windows keep the class
// kWmClass. Call before the toolkit starts.
void SetApplicationId();

} // namespace platform
