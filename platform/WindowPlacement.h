// Where a window first appears, asked of the window manager.
#pragma once

class wxTopLevelWindow;
class wxRect;
class wxWindow;

namespace platform {

// Asks for the window to map at x,y as a position the user chose (X11's
// USPosition): window managers centre a dialog over its owner otherwise,
// whatever position the program gives. Call before the window is shown.
//
// Platform note: on Wayland a client cannot place a top-level window. The
// compositor puts a window that is not a modal dialog where it finds room,
// which for the Options window is the screen's top-left corner, as asked.
void RequestUserPosition(wxTopLevelWindow* window, int x, int y);

// Opens a box over its owner (its parent), centred on it, on X11 and on
// Wayland. Call once the box is laid out, before it is shown.
void OpenOverOwner(wxTopLevelWindow* box);

// Whether the program runs as a native Wayland client.
bool OnWayland();

// The work area of the screen `window` is on (of the first screen before
// it is shown): the screen less panels and docks.
wxRect WorkAreaOf(const wxWindow* window);

// Moves the window so that its top-left corner is on the work area, where
// a centred window wider or taller than it would be off screen.
void KeepOnWorkArea(wxTopLevelWindow* window);

} // namespace platform
