// The conversion settings shared by the Options dialog and Convert and
// Save. Held in memory only: every run starts from these defaults. Read
// and written on the GUI thread.
#pragma once

#include <wx/string.h>

struct ConvertSettings {
    wxString format = "mp3";
    wxString bitrate = "128k";
    wxString converterDir; // empty: ffmpeg beside the program, then PATH
};

// The one instance, and its three settings by their own names.
extern ConvertSettings g_convertSettings;
extern wxString& g_szFormat;
extern wxString& g_szBitrate;
extern wxString& g_szConverterDir;
