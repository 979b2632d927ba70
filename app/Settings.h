// The conversion settings shared by the Options dialog and Convert and
// Save. Held in memory only: every run starts from these defaults. Read
// and written on the GUI thread.
#pragma once

#include <wx/string.h>

extern wxString g_szFormat;       // "mp3" at start
extern wxString g_szBitrate;      // "128k" at start
extern wxString g_szConverterDir; // empty: ffmpeg beside the program, then PATH
