// The Record/Stop button of the main dialog, and what the window does
// with the recording engine's reports.
#include "recorder/RecordControl.h"
#include "ui/Announce.h"
#include "ui/CorvaneDlg.h"
#include "ui/EnableControls.h"
#include "ui/MessageBox.h"
#include "ui/StatusRow.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/intl.h>
#include <wx/textctrl.h>

#include <mutex>
#include <string>

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

// The engine reports on its own thread: EnableControls and CallAfter bring
// what the window does to the GUI thread.
class WindowObserver : public RecordObserver {
  public:
    explicit WindowObserver(CCorvaneDlg* dlg) : m_dlg(dlg) {}
    void RecordingStarted() override { EnableControls(m_dlg, false, true); }
    void DiskAlmostFull(double minutesLeft) override {
        m_dlg->CallAfter([dlg = m_dlg, minutesLeft] { dlg->OnDiskAlmostFull(minutesLeft); });
    }
    void RecordingEnded(const TakeEnd& end) override {
        {
            std::lock_guard<std::mutex> lk(m_mutex);
            m_keptAt = end.keptAt;
        }
        EnableControls(m_dlg, true, true);
        if (!end.failure.empty()) {
            m_dlg->CallAfter([dlg = m_dlg, end] { dlg->OnRecordingFailed(end); });
        }
    }
    // Where the last take is: its file, or where it was saved when its
    // folder went away ("" when it was lost). Told before StopRecording
    // returns.
    std::string KeptAt() const {
        std::lock_guard<std::mutex> lk(m_mutex);
        return m_keptAt;
    }

  private:
    CCorvaneDlg* m_dlg;
    mutable std::mutex m_mutex;
    std::string m_keptAt;
};

std::unique_ptr<WindowObserver> g_windowObserver;

// The button reads Record between takes and Stop during one.
bool ReadsRecord(const wxButton* button) {
    return button->GetLabel() == _("Record");
}

} // namespace

void CCorvaneDlg::WatchRecordings(bool watch) {
    if (watch) {
        g_windowObserver = std::make_unique<WindowObserver>(this);
        SetRecordObserver(g_windowObserver.get());
    } else {
        SetRecordObserver(nullptr);
        g_windowObserver.reset();
    }
}

void CCorvaneDlg::OnRecordStop() {
    if (ReadsRecord(RecordButton())) {
        m_player.put_URL(wxString());
        const RecordRequest req = ReadRequest(*this);
        std::string error;
        if (!StartRecording(req, error)) {
            ShowMessageBox(this, wxString::FromUTF8(StartFailureText(error)), "Vestrel",
                           wxOK | wxICON_ERROR);
            return;
        }
        RecordButton()->SetLabel(_("Stop"));
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
    RecordButton()->SetLabel(_("Record"));
    // The take may have been saved elsewhere when its folder went away.
    m_player.put_URL(
        wxString::FromUTF8(g_windowObserver ? g_windowObserver->KeptAt() : std::string()));
}

void CCorvaneDlg::OnDiskAlmostFull(double minutesLeft) {
    if (m_statusRow && !ReadsRecord(RecordButton())) {
        m_statusRow->DiskAlmostFull(minutesLeft);
    }
}

void CCorvaneDlg::OnRecordingFailed(const TakeEnd& end) {
    // Reported late, the failure may be about a recording that a Stop has
    // already tidied up, with a new one running since: leave that one be.
    if (IsCurrentTake(end.generation) && !ReadsRecord(RecordButton())) {
        StopRecording();
        RecordButton()->SetLabel(_("Record"));
        m_player.put_URL(wxString::FromUTF8(end.keptAt));
    }
    if (m_statusRow) {
        m_statusRow->RecordingEnded();
    }
    // TRANSLATORS: told to a screen reader and shown as a desktop
    // notification when a recording stops by itself; the reason follows.
    const wxString summary = _("The recording stopped");
    // TRANSLATORS: the notification's body: %s is why the recording stopped,
    // a sentence without its full stop.
    AnnounceToUser(this, summary, wxString::Format(_("%s."), wxString::FromUTF8(end.failure)));
    ShowMessageBox(this, wxString::FromUTF8(TakeEndText(end)), "Vestrel", wxOK | wxICON_WARNING);
}
