#include "convert/ConvertJob.h"

#include "app/CorvaneApp.h"
#include "app/Settings.h"
#include "platform/Paths.h"
#include "platform/Trash.h"
#include "platform/WindowPlacement.h"
#include "ui/CorvaneDlg.h"
#include "ui/DialogTemplate.h"
#include "ui/EnableControls.h"
#include "ui/MessageBox.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

wxString BuildCommandLine(const wxString& converterDir, const wxString& recorded,
                          const wxString& bitrate, const wxString& format, const wxString& target) {
    wxString line = "\"" + converterDir + "ffmpeg\" -i \"" + recorded + "\" " + "-b:a " + bitrate;
    if (format == "wma") {
        line += " -acodec wmav2";
    }
    line += " \"" + target + "\"";
    return line;
}

std::string FindConverter(const wxString& converterDir, std::string* lookedIn) {
    if (!converterDir.empty()) {
        if (lookedIn != nullptr) {
            *lookedIn = converterDir.utf8_string();
        }
        return converterDir.utf8_string() + "ffmpeg";
    }
    const std::string beside = platform::ExecutableDir() + "ffmpeg";
    if (lookedIn != nullptr) {
        const char* path = std::getenv("PATH");
        *lookedIn = platform::ExecutableDir() + " and the folders on PATH (" +
                    (path != nullptr ? path : "") + ")";
    }
    if (access(beside.c_str(), X_OK) == 0) {
        return beside;
    }
    return "ffmpeg";
}

ConvertJob MakeConvertJob(const wxString& converterDir, const wxString& recorded,
                          const wxString& bitrate, const wxString& format, const wxString& target) {
    ConvertJob job;
    job.commandLine = BuildCommandLine(converterDir, recorded, bitrate, format, target);
    job.target = target.utf8_string();
    job.argv = {FindConverter(converterDir, &job.lookedIn), "-i", recorded.utf8_string(), "-b:a",
                bitrate.utf8_string()};
    if (format == "wma") {
        job.argv.emplace_back("-acodec");
        job.argv.emplace_back("wmav2");
    }
    job.argv.push_back(job.target);
    return job;
}

platform::ProcessResult RunAndWait(const ConvertJob& job) {
    return platform::RunAndCollect(job.argv);
}

bool DescribeOutcome(const ConvertJob& job, const platform::ProcessResult& r, wxString& text) {
    if (!r.started) {
        text = "The converter ffmpeg could not be started: " +
               wxString::FromUTF8(std::strerror(r.startError)) + ".\n\nIt was looked for in " +
               wxString::FromUTF8(job.lookedIn) + ".";
        return false;
    }
    struct stat st {};
    const bool written =
        stat(job.target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    if (r.exitStatus == 0 && written) {
        text = "Converted and Saved";
        return true;
    }
    wxString last = wxString::FromUTF8(platform::LastLine(r.errorOutput));
    if (last.empty()) {
        last = r.exitStatus == 0 ? "it wrote no file" : "it gave no reason";
    }
    text = "The conversion failed: " + last + "\n\nffmpeg ended with exit status " +
           wxString::Format("%d", r.exitStatus) + ".\n\n" + job.commandLine;
    return false;
}

namespace {

void ShowCompletionBox(const wxString& text, bool ok) {
    // Modeless, owned by the main dialog so that it goes with it; the main
    // dialog stays usable meanwhile.
    wxWindow* owner = theApp->GetMainDialog();
    auto* box = new wxDialog(owner, wxID_ANY, "Vestrel", wxDefaultPosition, wxDefaultSize,
                             wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "CompletionBox");
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(
                 box, wxID_ANY,
                 wxArtProvider::GetBitmap(ok ? wxART_INFORMATION : wxART_ERROR, wxART_MESSAGE_BOX)),
             0, wxALL, 10);
    row->Add(new wxStaticText(box, wxID_STATIC, text), 1, wxALL | wxALIGN_CENTER_VERTICAL, 10);
    auto* col = new wxBoxSizer(wxVERTICAL);
    col->Add(row, 1, wxEXPAND);
    auto* okButton = new wxButton(box, wxID_OK, "OK");
    okButton->SetDefault();
    col->Add(okButton, 0, wxALIGN_CENTER | wxALL, 10);
    box->SetSizerAndFit(col);
    ui::PaintBackgrounds(box, *wxWHITE_BRUSH);
    box->SetEscapeId(wxID_NONE);
    box->Bind(
        wxEVT_BUTTON, [box](wxCommandEvent&) { box->Destroy(); }, wxID_OK);
    box->Bind(wxEVT_CLOSE_WINDOW, [box](wxCloseEvent&) { box->Destroy(); });
    box->Bind(wxEVT_CHAR_HOOK, [box](wxKeyEvent& e) {
        // Return and Escape close the box and go no further.
        switch (e.GetKeyCode()) {
        case WXK_ESCAPE:
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            box->Destroy();
            return;
        default:
            e.Skip();
        }
    });
    platform::OpenOverOwner(box);
    box->Show();
    okButton->SetFocus();
}

} // namespace

int ConvertThreadProc(const ConvertJob& job) {
    SetMainCaption("Saving...");
    EnableControls(false, false);
    const platform::ProcessResult r = RunAndWait(job);
    wxString text;
    const bool ok = DescribeOutcome(job, r, text);
    if (!job.keptNote.empty()) {
        text += "\n\n" + job.keptNote;
    }
    if (!ok && r.started) {
        unlink(job.target.c_str()); // a partial target is no use to anyone
    }
    SetMainCaption("Vestrel");
    EnableControls(true, false);
    if (wxTheApp != nullptr) {
        wxTheApp->CallAfter([text, ok] { ShowCompletionBox(text, ok); });
    }
    return 0;
}

void OnConvert(CCorvaneDlg& dlg) {
    const wxString format = g_szFormat;
    const wxString defaultExt = "." + format;
    const wxString filter = format + " Files|*." + format;
    const wxString recorded = dlg.OutputFileBox()->GetValue();

    if (!platform::IsReadableFile(recorded.utf8_string())) {
        ShowMessageBox(&dlg, "Please record a file first.", "Vestrel", wxOK | wxICON_INFORMATION);
        return;
    }

    const wxString target = ChooseSaveFile(&dlg, wxEmptyString, filter, defaultExt, recorded);
    if (target.empty()) {
        return;
    }
    // The recording must never be the target: ffmpeg would be handed a
    // file that was deleted first.
    if (platform::SameFile(target.utf8_string(), recorded.utf8_string()) ||
        wxFileName(target).GetAbsolutePath() == wxFileName(recorded).GetAbsolutePath()) {
        ShowMessageBox(&dlg,
                       "The file " + target +
                           " is the recording itself. Please choose another name for the "
                           "converted file.",
                       "Vestrel", wxOK | wxICON_WARNING);
        return;
    }

    ConvertJob job = MakeConvertJob(g_szConverterDir, recorded, g_szBitrate, format, target);
    // The user agreed to replace the target; the old file is kept anyway.
    const platform::KeptFile kept = platform::KeepBeforeReplacing(job.target);
    if (!kept.ok) {
        ShowMessageBox(&dlg,
                       "The file " + target + " could not be moved out of the way: " +
                           wxString::FromUTF8(kept.error) + ".\n\nNothing was converted.",
                       "Vestrel", wxOK | wxICON_WARNING);
        return;
    }
    if (kept.trashed) {
        job.keptNote = "The file it replaced is in the Trash.";
    } else if (!kept.keptAs.empty()) {
        job.keptNote = "The file it replaced was kept as " + wxString::FromUTF8(kept.keptAs) + ".";
    }
    unlink(job.target.c_str()); // an empty file is all that can be left here
    dlg.Player().put_URL(wxString());
    // Disabled here, before the worker exists, so a quick second press
    // can't start a second conversion.
    EnableControls(false, false);
    dlg.SetTitle("Saving...");
    std::thread(ConvertThreadProc, std::move(job)).detach();
}
