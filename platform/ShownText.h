// Texts the program shows, also written as lines "WHAT<TAB>TEXT" to the
// file named by VESTREL_SHOWN_LOG when it is set, so that a test script can
// read what a person reads on screen.
#pragma once

#include <wx/string.h>

void NoteShownText(const char* what, const wxString& text);
