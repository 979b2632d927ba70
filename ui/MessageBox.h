#pragma once

#include <wx/string.h>

#include <string>

class wxWindow;

// A modal message box; with an empty caption it shows the program's name.
int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style);

// Hands `url` to the desktop's browser, without wxWidgets' own error box;
// false when no browser could be started.
bool OpenInBrowser(const wxString& url);
// Opens `url` in the desktop's browser, or says `failure` in a box ("The
// website https://... could not be opened: no web browser was found.").
void OpenInBrowserOrSay(wxWindow* owner, const wxString& failure, const wxString& url);

// The installed help page (beside the program in help/, else in the
// installed data folder); "" when there is none.
std::string HelpPagePath();
// F1: opens the help page in the desktop's browser; without one, says the
// help file is not installed.
void ShowHelp(wxWindow* owner);
void ShowHelpFileMissing(wxWindow* owner);

// Asked when the window is closed during a take: true to stop the take and
// quit. "Keep recording" is the default button, so that a second stray
// Escape or Return keeps the take going.
bool AskStopAndQuit(wxWindow* owner);

// GTK's own question before a file is replaced; true for Yes.
bool AskReplace(wxWindow* owner, const wxString& path);

// A Save As dialog that adds `ext` (".mp3") to a name typed without one;
// when that makes it name an existing file, it asks as the dialog does,
// and No brings the dialog back. Empty when the user cancels. It opens in
// the folder of `near` (a file's path) where that folder exists, else in the
// home folder, never in whatever folder the program was started from.
// With `extOnly` a name with another extension ("take.wav") gets `ext`
// appended too, and the same question.
wxString ChooseSaveFile(wxWindow* owner, const wxString& defaultName, const wxString& filter,
                        const wxString& ext, const wxString& near = wxString(),
                        bool extOnly = false);
