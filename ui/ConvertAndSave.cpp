#include "ui/ConvertAndSave.h"

#include "controls/Ocx1.h"
#include "convert/ConvertSettings.h"
#include "platform/Paths.h"
#include "recorder/Encoder.h"
#include "ui/CompletionBox.h"
#include "ui/EnableControls.h"
#include "ui/MessageBox.h"
#include "ui/Resource.h"
#include "ui/StatusRow.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <unistd.h>

wxString CompletionText(const ConvertOutcome& o) {
    wxString text = o.text;
    if (o.kind == ConvertOutcome::Kind::Converted) {
        text += "\n\n" + wxString::FromUTF8(o.target);
        wxString holds = wxString::FromUTF8(o.file.codec);
        const auto add = [&holds](const wxString& part) {
            holds += (holds.empty() ? "" : ", ") + part;
        };
        if (o.file.bitRate > 0) {
            // TRANSLATORS: a converted file's bit rate in the completion box.
            add(wxString::Format(_("%ld kb/s"), (o.file.bitRate + 500) / 1000));
        }
        if (o.file.seconds >= 0) {
            add(wxString::FromUTF8(FormatTakeTime(o.file.seconds)));
        }
        if (o.file.bytes >= 0) {
            add(wxString::FromUTF8(FormatTakeSize(static_cast<std::uint64_t>(o.file.bytes))));
        }
        if (!holds.empty()) {
            text += "\n" + holds;
        }
        if (!o.note.empty()) {
            text += "\n" + wxString::FromUTF8(o.note);
        }
    }
    if (!o.keptNote.empty()) {
        text += "\n\n" + o.keptNote;
    }
    return text;
}

CConvertAndSave::CConvertAndSave(wxTopLevelWindow& dlg, COcx1& player, CStatusRow* row)
    : m_dlg(dlg), m_player(player), m_row(row) {}

CConvertAndSave::~CConvertAndSave() {
    m_run.reset(); // cancels a running conversion and waits for its end
}

void CConvertAndSave::OnConvert() {
    const wxString format = g_szFormat;
    const wxString defaultExt = "." + format;
    // TRANSLATORS: the Save As dialog's file type; %s is a format's name
    // (mp3, flac).
    const wxString filter = wxString::Format(_("%s Files"), format) + "|*." + format;
    const auto* box = static_cast<wxTextCtrl*>(m_dlg.FindWindow(IDC_OUTPUT_FILE));
    const wxString recorded = box != nullptr ? box->GetValue() : wxString();

    if (!platform::IsReadableFile(recorded.utf8_string())) {
        ShowMessageBox(&m_dlg, _("Please record a file first."), "Vestrel",
                       wxOK | wxICON_INFORMATION);
        return;
    }

    // The file always ends in the format's extension: a name with a dot in
    // it, or another format's extension, would have ffmpeg guess (or fail).
    const wxString target =
        ChooseSaveFile(&m_dlg, wxEmptyString, filter, defaultExt, recorded, true);
    if (target.empty()) {
        return;
    }
    // The recording must never be the target: ffmpeg would be handed a
    // file that was deleted first.
    if (platform::SameFile(target.utf8_string(), recorded.utf8_string()) ||
        wxFileName(target).GetAbsolutePath() == wxFileName(recorded).GetAbsolutePath()) {
        // TRANSLATORS: %s is the path chosen for the converted file.
        ShowMessageBox(&m_dlg,
                       wxString::Format(_("The file %s is the recording itself. Please choose "
                                          "another name for the converted file."),
                                        target),
                       "Vestrel", wxOK | wxICON_WARNING);
        return;
    }
    // Another copy's take, being recorded: replacing it would send the take
    // to the Trash while it is still written there.
    if (IsBeingRecorded(target.utf8_string())) {
        ShowMessageBox(&m_dlg,
                       wxString::FromUTF8(BeingRecordedText(target.utf8_string())) + "\n\n" +
                           _("Nothing was converted."),
                       "Vestrel", wxOK | wxICON_WARNING);
        return;
    }

    ConvertJob job = MakeConvertJob(g_szConverterDir, recorded, g_szBitrate, format, target);
    // The user agreed to replace the target; the old file is kept anyway,
    // and put back should the conversion be cancelled.
    job.kept = platform::KeepBeforeReplacing(job.target);
    if (!job.kept.ok) {
        // TRANSLATORS: the first %s is a file's path, the second why it could
        // not be moved.
        ShowMessageBox(&m_dlg,
                       wxString::Format(_("The file %s could not be moved out of the way: %s."),
                                        target, wxString::FromUTF8(job.kept.error)) +
                           "\n\n" + _("Nothing was converted."),
                       "Vestrel", wxOK | wxICON_WARNING);
        return;
    }
    if (job.kept.trashed) {
        job.keptNote = _("The file it replaced is in the Trash.");
    } else if (!job.kept.keptAs.empty()) {
        // TRANSLATORS: %s is the path the replaced file was renamed to.
        job.keptNote = wxString::Format(_("The file it replaced was kept as %s."),
                                        wxString::FromUTF8(job.kept.keptAs));
    }
    unlink(job.target.c_str()); // an empty file is all that can be left here
    // The player lets go of the take while ffmpeg reads it, and has it
    // back once the conversion ends.
    m_playerHad = m_player.get_URL();
    m_player.put_URL(wxString());
    // Disabled here, before the worker exists, so a quick second press
    // can't start a second conversion.
    EnableControls(&m_dlg, false, false);
    // TRANSLATORS: the main window's title while a file is converted.
    m_dlg.SetTitle(_("Saving..."));
    m_run = std::make_unique<ConvertRun>(std::move(job), [this](const ConvertOutcome& outcome) {
        // On the worker: the window hears of it on the GUI thread. The
        // worker is joined before the window goes, and what is queued to
        // the window goes with it.
        m_dlg.CallAfter([this, outcome] { OnFinished(outcome); });
    });
    if (m_row != nullptr) {
        m_row->ConversionStarted(m_run.get());
    }
}

void CConvertAndSave::CancelAndWait() {
    if (!m_run) {
        return;
    }
    m_run->Cancel();
    m_run.reset(); // waits for the worker: ffmpeg is gone, the files are back
    if (m_row != nullptr) {
        m_row->ConversionEnded(_("Conversion cancelled"));
    }
}

void CConvertAndSave::OnFinished(const ConvertOutcome& outcome) {
    if (!m_run) {
        return; // cancelled as the window closed
    }
    m_run.reset();
    const bool cancelled = outcome.kind == ConvertOutcome::Kind::Cancelled;
    if (m_row != nullptr) {
        m_row->ConversionEnded(cancelled ? _("Conversion cancelled") : wxString());
    }
    m_dlg.SetTitle("Vestrel");
    EnableControls(&m_dlg, true, false);
    if (!m_playerHad.empty()) {
        // Not played at once: the completion box is being read out.
        m_player.put_URL(m_playerHad, false);
        m_playerHad.clear();
    }
    // The focus goes back to the button that started it, never to
    // Record/Stop, where one Return more would record over a take.
    wxWindow* opener = m_dlg.FindWindow(IDC_CONVERT);
    if (opener != nullptr) {
        opener->SetFocus();
    }
    if (cancelled) {
        if (!outcome.restored) {
            ShowMessageBox(&m_dlg,
                           _("The conversion was cancelled, but the file it replaced could not "
                             "be put back.") +
                               " " + outcome.keptNote,
                           "Vestrel", wxOK | wxICON_WARNING);
        }
        return;
    }
    ShowCompletionBox(&m_dlg, CompletionText(outcome),
                      outcome.kind == ConvertOutcome::Kind::Converted, opener);
}
