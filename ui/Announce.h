// What happens by itself while the user may be elsewhere.
#pragma once

#include <wx/string.h>

class wxWindow;

// Tells the user: a screen reader speaks `summary` (and `body`) as said by
// `from`, and when `from`'s window is not the active one, the desktop
// shows it as a notification as well.
void AnnounceToUser(wxWindow* from, const wxString& summary, const wxString& body = wxString());
