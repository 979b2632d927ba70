// Where a window first appears, asked of the window manager.
#pragma once

class wxTopLevelWindow;
class wxRect;
class wxWindow;

namespace platform {

// Opens a box over its owner (its parent), centred on it, on X11 and on
// Wayland. Call once the box is laid out, before each time it is shown.
void OpenOverOwner(wxTopLevelWindow* box);

// Whether the program runs as a native Wayland client.
bool OnWayland();

// The work area of the screen `window` is on (of the first screen before
// it is shown): the screen less panels and docks.
wxRect WorkAreaOf(const wxWindow* window);

// Moves the window so that its top-left corner is on the work area, where
// a centred window wider or taller than it would be off screen.
void KeepOnWorkArea(wxTopLevelWindow* window);

// Answers a box that GTK runs itself (a message box, the file chooser) with
// Cancel, as its close box would; false when `box` is no such box.
bool CancelGtkDialog(wxWindow* box);

} // namespace platform
