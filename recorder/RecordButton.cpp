// The Record/Stop button of the main dialog.
#include "recorder/RecordControl.h"
#include "ui/CorvaneDlg.h"
#include "ui/Announce.h"
#include "ui/MessageBox.h"
#include "ui/StatusRow.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

namespace {

RecordRequest ReadRequest(CCorvaneDlg& dlg) {
    RecordRequest req;
    req.bitrate = ParseBitrate(dlg.BitrateList()->GetStringSelection());
    req.fileName = dlg.OutputFileBox()->GetValue().utf8_string();
    wxChoice* list = dlg.DeviceList();
    const int sel = list->GetSelection();
    // The list is sorted; its item keeps the device number it shows.
    req.deviceId = sel == wxNOT_FOUND ? -1
                                      : static_cast<int>(reinterpret_cast<std::intptr_t>(
                                            list->GetClientData(static_cast<unsigned>(sel))));
    return req;
}

} // namespace

void CCorvaneDlg::OnRecordStop() {
    const wxString caption = RecordButton()->GetLabel();
    if (caption == "Record") {
        m_player.put_URL(wxString());
        const RecordRequest req = ReadRequest(*this);
        std::string error;
        if (!StartRecording(req, error)) {
            ShowMessageBox(this,
                           "The recording could not be started.\n\n" + wxString::FromUTF8(error),
                           "Vestrel", wxOK | wxICON_ERROR);
            return;
        }
        RecordButton()->SetLabel("Stop");
        if (m_statusRow) {
            m_statusRow->RecordingStarted(DeviceList()->GetStringSelection(),
                                          wxString::FromUTF8(req.fileName));
        }
        return;
    }
    StopRecording();
    if (m_statusRow) {
        m_statusRow->RecordingEnded();
    }
    RecordButton()->SetLabel("Record");
    // The take may have been saved elsewhere when its folder went away.
    m_player.put_URL(wxString::FromUTF8(RecordedTakePath()));
}

void CCorvaneDlg::OnRecordingFailed(const std::string& reason) {
    const FailureReport report = TakeFailureReport();
    // Reported late, the failure may be about a recording that a Stop has
    // already tidied up, with a new one running since: leave that one be.
    if (report.current && RecordButton()->GetLabel() != "Record") {
        StopRecording();
        RecordButton()->SetLabel("Record");
        m_player.put_URL(wxString::FromUTF8(report.keptAt));
    }
    if (m_statusRow) {
        m_statusRow->RecordingEnded();
    }
    const wxString where = report.keptAt.empty() ? wxString("It could not be saved.")
                                                 : "What was recorded up to then is kept in " +
                                                       wxString::FromUTF8(report.keptAt) + ".";
    AnnounceToUser(this, "The recording stopped", wxString::FromUTF8(reason) + ".");
    ShowMessageBox(this, "The recording stopped: " + wxString::FromUTF8(reason) + ".\n\n" + where,
                   "Vestrel", wxOK | wxICON_WARNING);
}
