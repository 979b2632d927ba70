// The main window's keyboard order: the controls Tab visits, in template
// order, and where the focus goes when controls are greyed.
#pragma once

#include <vector>

class wxWindow;

namespace ui {

// The controls Tab visits in the main window `dlg`, in template order (the
// player's own buttons and sliders in its place).
std::vector<wxWindow*> TabStops(const wxWindow* dlg);
// Tab and Shift+Tab: the next live tab stop after the focus, wrapping.
void MoveFocus(wxWindow* dlg, bool forward);
// After controls were greyed or enabled: the keyboard focus sits on a
// live control, on Record/Stop when `toRecord` and it is enabled.
void KeepFocusLive(wxWindow* dlg, bool toRecord);

} // namespace ui
