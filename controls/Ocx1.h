// The embedded player: a media control with the transport controls drawn by
// the program (play/pause, stop, position with times, volume).
#pragma once

#include <wx/panel.h>
#include <wx/string.h>
#include <wx/timer.h>
#include <wx/weakref.h>

class wxMediaCtrl;
class wxMediaEvent;
class wxButton;
class wxSlider;
class wxStaticText;

class PlayerPanel : public wxPanel {
  public:
    PlayerPanel(wxWindow* parent, int id);

    // Whether it can play: true until making the media backend, at the
    // first take loaded, has failed.
    bool HasMedia() const { return m_media != nullptr || !m_mediaTried; }
    bool MediaCreated() const { return m_media != nullptr; }
    // Loads `path` and, with `autoStart`, plays it as soon as it is loaded;
    // "" stops and lets go of whatever was loaded, so no file stays open.
    void SetURL(const wxString& path, bool autoStart = true);
    const wxString& URL() const { return m_url; }
    bool IsPlaying() const;
    int Volume() const; // 0..100

  private:
    bool CreateMedia();
    void OnLoaded(wxMediaEvent& e);
    void OnPlayPause(wxCommandEvent& e);
    void OnStop(wxCommandEvent& e);
    void OnSeek(wxCommandEvent& e);
    void OnVolume(wxCommandEvent& e);
    void OnTimer(wxTimerEvent& e);
    void StartTimer();
    void UpdateControls();
    void Arrange();

    wxMediaCtrl* m_media = nullptr;
    wxButton* m_play = nullptr;
    wxButton* m_stop = nullptr;
    wxSlider* m_position = nullptr;
    wxStaticText* m_time = nullptr;
    wxSlider* m_volume = nullptr;
    static constexpr int kTickMs = 250;
    static constexpr int kQuietTicks = 8;
    wxTimer m_timer;
    int m_quietTicks = 0; // ticks in a row without playing
    wxString m_url;
    bool m_mediaTried = false;
    bool m_loaded = false;
    bool m_stopped = false;    // by Stop, until Play
    bool m_autoStart = true;   // plays the file once it is loaded
    wxFileOffset m_length = 0; // ms, the last length the backend knew
    struct Known {
        wxString url;
        time_t modified = 0;
        wxFileOffset length = 0;
    } m_known;        // the last file let go of, and its length
    wxString m_shown; // what UpdateControls last noted
};

class COcx1 {
  public:
    // Creates the player; the panel works without a media backend too.
    static wxWindow* CreateControl(wxWindow* parent, int id);

    void Attach(wxWindow* control);
    bool HasControl() const { return m_panel.get() != nullptr && m_panel->HasMedia(); }
    void put_URL(const wxString& url, bool autoStart = true);
    wxString get_URL() const { return m_panel ? m_panel->URL() : wxString(); }
    PlayerPanel* panel() const { return m_panel.get(); }

  private:
    wxWeakRef<PlayerPanel> m_panel;
};
