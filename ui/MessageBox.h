#pragma once

#include <wx/string.h>

class wxWindow;

// A modal message box; with an empty caption it shows the program's name.
int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style);

// F1: the program ships no help file; says so, naming the file it would be.
void ShowHelpFileMissing(wxWindow* owner);

// GTK's own question before a file is replaced; true for Yes.
bool AskReplace(wxWindow* owner, const wxString& path);

// A Save As dialog that adds `ext` (".mp3") to a name typed without one;
// when that makes it name an existing file, it asks as the dialog does,
// and No brings the dialog back. Empty when the user cancels.
wxString ChooseSaveFile(wxWindow* owner, const wxString& defaultName, const wxString& filter,
                        const wxString& ext);
