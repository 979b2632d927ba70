// Text colours of a control that follow its enabled state.
#pragma once

#include <wx/gdicmn.h>

class wxColour;
class wxDialog;
class wxWindow;

namespace platform {

// The focus ring's colour, #1A5FB4: 6.4:1 against white, so that it shows
// on the program's white dialogs under any theme.
constexpr unsigned char kFocusRingRed = 0x1A, kFocusRingGreen = 0x5F, kFocusRingBlue = 0xB4;

// Gives `window`, and every part the toolkit builds it of (a drop-down
// list's button, a button's label), the text colour `text` while enabled
// and `disabled` while greyed. wxWidgets' own foreground colour is one
// colour for every state, so greyed controls would look live. Returns
// false when the toolkit's style calls are not there. The same style draws
// the focus ring in kFocusRing's colour, 2 pixels wide.
bool SetStateTextColours(wxWindow* window, const wxColour& text, const wxColour& disabled);

// The smallest size the toolkit draws `window` in with its text whole (a
// button's label and the theme's padding beside it), without wxWidgets'
// standard button size; wxDefaultSize when it cannot tell.
wxSize SmallestWholeSize(wxWindow* window);

// Runs a message box (wxMessageDialog) modally with the desktop's icon
// `iconName` ("dialog-error") beside its text: GTK 3 draws none for the
// box's kind. Returns what ShowModal returns.
int ShowModalWithIcon(wxDialog& box, const char* iconName);

// Under a dark theme (GTK_THEME=Adwaita:dark, a "-dark" theme, the
// desktop's preference for dark) the program's windows take the same
// theme's light variant: their backgrounds are the program's own white, and
// the dark theme's light text and dark controls on them made a patchy
// window. Call once, after the toolkit started and before any window is
// made. Returns whether it did.
bool KeepLightTheme();

} // namespace platform
