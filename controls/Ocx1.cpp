#include "controls/Ocx1.h"

#include "platform/Accessibility.h"
#include "platform/ShownText.h"

#include <wx/button.h>
#include <wx/filefn.h>
#include <wx/intl.h>
#include <wx/mediactrl.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include <algorithm>

namespace {

constexpr int kDefaultVolume = 50;

wxString FormatTime(wxLongLong ms) {
    const long s = static_cast<long>(ms.GetValue() / 1000);
    return wxString::Format("%ld:%02ld", s / 60, s % 60);
}

} // namespace

PlayerPanel::PlayerPanel(wxWindow* parent, int id)
    : wxPanel(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxBORDER_SIMPLE),
      m_timer(this) {
    // TRANSLATORS: the player's button; it reads Play while nothing plays.
    m_play = new wxButton(this, wxID_ANY, _("Pause"));
    // Room for either label, whichever a language makes the longer.
    m_play->SetLabel(_("Play"));
    const wxSize playSize = m_play->GetBestSize();
    m_play->SetLabel(_("Pause"));
    const wxSize pauseSize = m_play->GetBestSize();
    m_play->SetMinSize(wxSize(std::max(playSize.x, pauseSize.x), std::max(playSize.y, pauseSize.y)));
    // TRANSLATORS: the player's button that stops playback.
    m_stop = new wxButton(this, wxID_ANY, _("Stop"));
    m_position = new wxSlider(this, wxID_ANY, 0, 0, 1000);
    m_time = new wxStaticText(this, wxID_ANY, "0:00 / 0:00");
    m_volume =
        new wxSlider(this, wxID_ANY, kDefaultVolume, 0, 100, wxDefaultPosition, wxSize(70, -1));
    m_volume->SetToolTip(_("Volume"));
    // The media backend (a GStreamer pipeline, megabytes of it) is made
    // when the first take is loaded, not for a window that may never play.
    Arrange();
    // Named apart from Record/Stop beside them; the time names no slider.
    platform::SetAccessibleName(m_stop, _("Stop playback"));
    // TRANSLATORS: what a screen reader calls the player's position slider.
    platform::SetAccessibleName(m_position, _("Position"));
    platform::SetAccessibleName(m_volume, _("Volume"));
    platform::SetLabelFor(m_time, nullptr);

    m_play->Bind(wxEVT_BUTTON, &PlayerPanel::OnPlayPause, this);
    m_stop->Bind(wxEVT_BUTTON, &PlayerPanel::OnStop, this);
    m_position->Bind(wxEVT_SLIDER, &PlayerPanel::OnSeek, this);
    m_volume->Bind(wxEVT_SLIDER, &PlayerPanel::OnVolume, this);
    Bind(wxEVT_TIMER, &PlayerPanel::OnTimer, this);
    UpdateControls();
}

bool PlayerPanel::CreateMedia() {
    auto* media = new wxMediaCtrl();
    // Audio only: the media window itself needs no room.
    if (!media->Create(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(1, 1), 0,
                       wxMEDIABACKEND_GSTREAMER)) {
        delete media; // NOLINT(cppcoreguidelines-owning-memory): never got a parent
        m_media = nullptr;
        return false;
    }
    m_media = media;
    m_media->Hide();
    m_media->Bind(wxEVT_MEDIA_LOADED, &PlayerPanel::OnLoaded, this);
    m_media->Bind(wxEVT_MEDIA_PLAY, [this](wxMediaEvent&) { StartTimer(); });
    return true;
}

void PlayerPanel::Arrange() {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(m_play, 0, wxALIGN_CENTER_VERTICAL | wxALL, 2);
    row->Add(m_stop, 0, wxALIGN_CENTER_VERTICAL | wxALL, 2);
    row->Add(m_position, 1, wxALIGN_CENTER_VERTICAL | wxALL, 2);
    row->Add(m_time, 0, wxALIGN_CENTER_VERTICAL | wxALL, 4);
    row->Add(m_volume, 0, wxALIGN_CENTER_VERTICAL | wxALL, 2);
    SetSizer(row);
}

void PlayerPanel::SetURL(const wxString& path, bool autoStart) {
    if (m_media == nullptr && !m_mediaTried && !path.empty()) {
        m_mediaTried = true;
        CreateMedia();
    }
    if (m_media == nullptr) {
        m_url = path;
        return;
    }
    m_timer.Stop();
    if (path.empty()) {
        if (!m_url.empty() || m_loaded) {
            m_media->Stop();
        }
        if (m_length > 0) {
            m_known = {m_url, wxFileModificationTime(m_url), m_length};
        }
        m_url.clear();
        m_loaded = false;
        m_stopped = false;
        m_length = 0;
        UpdateControls();
        return;
    }
    if (!m_url.empty()) {
        SetURL(wxString());
    }
    m_url = path;
    m_loaded = false;
    m_stopped = false;
    m_autoStart = autoStart;
    // GStreamer tells a file's length only once it plays: the same file
    // loaded again, unchanged, without playing shows the length it had.
    m_length = !autoStart && path == m_known.url && wxFileModificationTime(path) == m_known.modified
                   ? m_known.length
                   : 0;
    m_media->Load(path);
    UpdateControls();
}

void PlayerPanel::OnLoaded(wxMediaEvent& /*e*/) {
    if (m_media == nullptr || m_url.empty()) {
        return;
    }
    m_loaded = true;
    m_stopped = false;
    m_media->SetVolume(m_volume->GetValue() / 100.0); // takes effect only once loaded
    if (m_autoStart) {
        m_media->Play();
    }
    StartTimer(); // also shows the length once the backend knows it
    UpdateControls();
}

bool PlayerPanel::IsPlaying() const {
    return m_media != nullptr && m_media->GetState() == wxMEDIASTATE_PLAYING;
}

int PlayerPanel::Volume() const {
    return m_volume->GetValue();
}

void PlayerPanel::OnPlayPause(wxCommandEvent& /*e*/) {
    if (m_media == nullptr || !m_loaded) {
        return;
    }
    if (IsPlaying() && !m_stopped) {
        m_media->Pause();
    } else {
        m_stopped = false;
        m_media->Play();
        StartTimer();
    }
    UpdateControls();
}

void PlayerPanel::OnStop(wxCommandEvent& /*e*/) {
    if (m_media != nullptr && m_loaded) {
        m_media->Stop();
        m_media->Seek(0);
        m_stopped = true;
    }
    UpdateControls();
}

void PlayerPanel::OnSeek(wxCommandEvent& /*e*/) {
    if (m_media == nullptr || !m_loaded) {
        return;
    }
    const wxFileOffset len = m_media->Length();
    if (len > 0) {
        m_media->Seek(len * m_position->GetValue() / 1000);
        StartTimer(); // the time shown follows, paused or not
    }
}

void PlayerPanel::OnVolume(wxCommandEvent& /*e*/) {
    if (m_media != nullptr && m_loaded) {
        m_media->SetVolume(m_volume->GetValue() / 100.0);
    }
}

void PlayerPanel::OnTimer(wxTimerEvent& /*e*/) {
    UpdateControls();
    // Nothing moves once playing has ended: an idle program is not woken
    // four times a second. The backend can take a moment to say it plays,
    // so the timer goes only after two seconds of not playing, and comes
    // back whenever the backend starts playing.
    if (IsPlaying() && !m_stopped) {
        m_quietTicks = 0;
    } else if (++m_quietTicks >= kQuietTicks) {
        m_timer.Stop();
    }
}

void PlayerPanel::StartTimer() {
    m_quietTicks = 0;
    m_timer.Start(kTickMs);
}

void PlayerPanel::UpdateControls() {
    const bool usable = m_media != nullptr && m_loaded;
    m_play->Enable(usable);
    m_stop->Enable(usable);
    m_position->Enable(usable);
    // The backend reports its state a moment after a call: a player that was
    // just stopped or emptied may still say it plays.
    const bool playing = usable && !m_stopped && IsPlaying();
    const wxString label = playing ? _("Pause") : _("Play");
    if (m_play->GetLabel() != label) {
        m_play->SetLabel(label);
        platform::SetAccessibleName(m_play, playing ? _("Pause playback") : _("Play take"));
    }
    wxFileOffset pos = 0;
    if (usable) {
        // Once stopped, GStreamer knows no length and keeps the last
        // position; the file is still as long as it was, and Play starts
        // it from the beginning.
        if (const wxFileOffset len = m_media->Length(); len > 0) {
            m_length = len;
        }
        pos = m_stopped ? 0 : m_media->Tell();
        if (m_length > 0) {
            pos = std::min(pos, m_length);
        }
    }
    const wxFileOffset len = usable ? m_length : 0;
    m_position->SetValue(len > 0 ? static_cast<int>(pos * 1000 / len) : 0);
    const wxString time = FormatTime(pos) + " / " + FormatTime(len);
    if (time != m_time->GetLabel()) {
        m_time->SetLabel(time);
        platform::SetAccessibleName(m_position, _("Position"), time);
    }
    Layout();
    const wxString shown = m_play->GetLabel() + "\t" + m_time->GetLabel() + "\t" +
                           wxString::Format("%d", m_position->GetValue());
    if (shown != m_shown) {
        m_shown = shown;
        NoteShownText("player", shown);
    }
}

wxWindow* COcx1::CreateControl(wxWindow* parent, int id) {
    return new PlayerPanel(parent, id);
}

void COcx1::Attach(wxWindow* control) {
    m_panel = dynamic_cast<PlayerPanel*>(control);
}

void COcx1::put_URL(const wxString& url, bool autoStart) {
    if (m_panel) {
        m_panel->SetURL(url, autoStart);
    }
}
