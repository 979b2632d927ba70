#pragma once

#include <wx/string.h>

class wxWindow;

// A modal message box; with an empty caption it shows the program's name.
int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style);

// F1: the program ships no help file; says so, naming the file it would be.
void ShowHelpFileMissing(wxWindow* owner);
