// Convert and Save: runs ffmpeg on the recorded file in a worker thread.
#pragma once

#include "platform/Spawn.h"

#include <wx/string.h>

#include <string>
#include <vector>

class CCorvaneDlg;

struct ConvertJob {
    wxString commandLine;          // the words as text: what messages show
    std::vector<std::string> argv; // the same words, as they are run
    std::string target;
    std::string lookedIn; // where the converter was searched, for messages
    wxString keptNote;    // where the file the target replaced went, if any
};

// "<dir>ffmpeg" -i "<recorded>" -b:a <rate>[ -acodec wmav2] "<target>"
wxString BuildCommandLine(const wxString& converterDir, const wxString& recorded,
                          const wxString& bitrate, const wxString& format, const wxString& target);
// The program to run: `converterDir` + "ffmpeg" when a folder is set;
// else ffmpeg beside the executable, else "ffmpeg" looked up on PATH.
std::string FindConverter(const wxString& converterDir, std::string* lookedIn);
ConvertJob MakeConvertJob(const wxString& converterDir, const wxString& recorded,
                          const wxString& bitrate, const wxString& format, const wxString& target);

// The Convert and Save button.
void OnConvert(CCorvaneDlg& dlg);
// The worker: caption and controls around the converter run, then the
// completion box.
int ConvertThreadProc(const ConvertJob& job);
// Runs the converter and waits for it.
platform::ProcessResult RunAndWait(const ConvertJob& job);

// What the completion box says; true when the conversion succeeded.
bool DescribeOutcome(const ConvertJob& job, const platform::ProcessResult& r, wxString& text);
