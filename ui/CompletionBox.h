// The box that says how Convert and Save ended.
#pragma once

#include <wx/string.h>

class wxWindow;

// Shows the modeless box with `text` over `owner`; `ok` picks the icon.
// Return, Escape, OK and the close box close it; the keyboard focus then
// goes back to `opener`, and a Return still held down reaches nothing.
void ShowCompletionBox(wxWindow* owner, const wxString& text, bool ok, wxWindow* opener);
