// Text colours of a control that follow its enabled state.
#pragma once

class wxColour;
class wxWindow;

namespace platform {

// Gives `window`, and every part the toolkit builds it of (a drop-down
// list's button, a button's label), the text colour `text` while enabled
// and `disabled` while greyed. wxWidgets' own foreground colour is one
// colour for every state, so greyed controls would look live. Returns
// false when the toolkit's style calls are not there.
bool SetStateTextColours(wxWindow* window, const wxColour& text, const wxColour& disabled);

} // namespace platform
