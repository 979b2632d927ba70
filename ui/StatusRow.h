// The row right of Help: Pause/Resume, the take's time and size (or the
// silence warning), and the level meter; and the device list kept in step
// with the sound server.
#pragma once

#include "recorder/RecordControl.h"
#include "recorder/TakeFile.h"

#include <wx/event.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class ConvertRun;
class CLevelMeter;
class wxButton;
class wxChoice;
class wxStaticText;
class wxWindow;
namespace wavein {
class DeviceWatcher;
}

// "No sound from DEVICE: is it muted?", the warning of a silent input.
std::string SilenceWarningText(const std::string& device);

// "Disk almost full: about 8 minutes left", for `minutesLeft` of the take
// (whole minutes, at least one).
wxString DiskAlmostFullText(double minutesLeft);

// What a take of an input with the desktop's sound says of that side:
// that there is no output to record (the microphone goes on alone), and,
// once, that the microphone may hear what speakers play.
std::string NoDesktopOutputText();
std::string SpeakersHintText();

// Fills `list` from the server's sources, sorted, each item with its
// device number; the item of source `keepSource` is selected (see
// SelectDeviceSource).
void FillDeviceChoice(wxChoice* list, const std::string& keepSource);
// Selects the item of server source `source`, else the server's default
// source, else the first item.
void SelectDeviceSource(wxChoice* list, const std::string& source);
// The server name of the selected item's source ("" when none).
std::string SelectedSource(wxChoice* list);

class CStatusRow : public wxEvtHandler {
  public:
    static constexpr int kTickMs = 100;
    // The engine's silence, so the window and the command line warn alike.
    static constexpr double kSilenceDb = ::kSilenceDb;
    static constexpr double kSilenceSeconds = ::kSilenceSeconds;

    // The row of the main dialog `dlg`, whose device list it keeps in step.
    explicit CStatusRow(wxWindow* dlg);
    ~CStatusRow() override;

    // Record has started the recording of `file` from `device`.
    void RecordingStarted(const wxString& device, const wxString& file);
    // The recording has ended and its file is closed.
    void RecordingEnded();
    // The disk has room for `minutesLeft` more of the take: said for a
    // while in the time's place, and announced.
    void DiskAlmostFull(double minutesLeft);

    // A conversion runs: the row shows its progress ("Converting 42% (4:12
    // of 10:00)") on the same ticks, and its button reads Cancel.
    void ConversionStarted(ConvertRun* run);
    // It has ended; `text` replaces the progress, or with "" what the row
    // said before comes back.
    void ConversionEnded(const wxString& text);

    bool IsTicking() const { return m_timer.IsRunning(); }
    wxString Text() const;

  private:
    using Clock = std::chrono::steady_clock;

    void OnTick(wxTimerEvent&);
    void OnPause(wxCommandEvent&);
    // What the row shows: a message is broken onto two lines where it is
    // too long, the take's time and size and the progress never are, the
    // silence warning keeps its question whole.
    enum class Shown { Message, TakeTime, Converting, Silence };
    enum class TakeState { Recording, Paused, Ended };
    // The take's time and size; `micOnly`: said with the desktop's side
    // having no output.
    static wxString TakeText(TakeState state, double seconds, std::uint64_t bytes,
                             bool micOnly = false);
    void ShowText(const wxString& text, Shown kind = Shown::Message);
    wxString ProgressText();
    wxString FittedWarning() const;
    // `text` as the row can hold it: on two lines where one is too short.
    wxString TwoLines(const wxString& text) const;
    std::uint64_t FileSize() const;
    void OnSourcesChanged();
    void OnServerLost();

    wxWindow* m_dlg;
    wxButton* m_pause;
    wxStaticText* m_text;
    CLevelMeter* m_meter;
    wxTimer m_timer;
    wxString m_device;
    std::string m_file; // UTF-8, as the file system takes it
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_sizeAtBytes = 0; // captured bytes when the size was read
    int m_ticksSinceSize = 0;
    static constexpr int kSizeEveryTicks = 3;
    wxString m_shownText;
    Shown m_shownKind = Shown::Message;
    // What the recording text was last built from.
    struct TimeShown {
        long seconds = -1;
        std::uint64_t size = 0;
        bool paused = false;
        bool noOutput = false;
        bool operator==(const TimeShown& o) const {
            return seconds == o.seconds && size == o.size && paused == o.paused &&
                   noOutput == o.noOutput;
        }
    };
    TimeShown m_shownTime;
    static constexpr long kNoTip = -100000;
    long m_tipTenths = kNoTip; // the meter's tooltip level, in tenths of a dB
    bool m_tipClip = false;
    Clock::time_point m_lastSound{};
    Clock::time_point m_diskWarningUntil{};
    static constexpr int kDiskWarningSeconds = 10;
    bool m_speakersHintDue = false;    // the hint is shown once a take
    Clock::time_point m_hintUntil{};
    bool m_noOutputTold = false; // a screen reader heard the output go
    bool m_recording = false;
    ConvertRun* m_run = nullptr; // while a conversion runs
    wxString m_textBefore;
    Shown m_kindBefore = Shown::Message;
    int m_progressWhole = -1; // whether the whole progress line fits, once measured
    double m_progressAt = 0;  // the furthest position shown, in seconds
    int m_textWidth = 0;      // the text's own width, beside the meter
    bool m_sourcesChanged = false;
    std::atomic<bool> m_changeQueued{false};
    std::atomic<bool> m_serverBack{false}; // said once, with the refilled list
    std::string m_sourceBeforeLoss;
    std::unique_ptr<wavein::DeviceWatcher> m_watcher;
};
