// Where a window first appears, asked of the window manager.
#pragma once

class wxTopLevelWindow;

namespace platform {

// Asks for the window to map at x,y as a position the user chose (X11's
// USPosition): window managers centre a dialog over its owner otherwise,
// whatever position the program gives. Call before the window is shown.
void RequestUserPosition(wxTopLevelWindow* window, int x, int y);

} // namespace platform
