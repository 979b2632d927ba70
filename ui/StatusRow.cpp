#include "ui/StatusRow.h"

#include "controls/LevelMeter.h"
#include "convert/ConvertJob.h"
#include "platform/Accessibility.h"
#include "platform/DeviceWatcher.h"
#include "platform/InputLevel.h"
#include "platform/ShownText.h"
#include "platform/WaveIn.h"
#include "recorder/Capture.h"
#include "ui/Announce.h"
#include "ui/Resource.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/intl.h>
#include <wx/stattext.h>
#include <wx/translation.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// TRANSLATORS: the status row's warning while a recording hears nothing; %s
// is the input device's name. Also printed by --record.
const char* const kWarningFormat = wxTRANSLATE("No sound from %s: is it muted?");

// The warning's words before and after the device's name, in the language
// in use, so that the row can shorten the name and keep the question.
struct WarningParts {
    wxString head, tail;
};

WarningParts SilenceWarningParts() {
    const wxString format = wxGetTranslation(kWarningFormat);
    for (const wxString mark : {"%1$s", "%s"}) {
        const size_t at = format.find(mark);
        if (at != wxString::npos) {
            return {format.Left(at), format.Mid(at + mark.length())};
        }
    }
    return {format + " ", wxString()};
}

} // namespace

std::string SilenceWarningText(const std::string& device) {
    const WarningParts w = SilenceWarningParts();
    return (w.head + wxString::FromUTF8(device) + w.tail).utf8_string();
}

std::string NoDesktopOutputText() {
    // TRANSLATORS: during a take of a microphone with the desktop's sound,
    // when the desktop has no output to record: the take goes on.
    return _("Microphone only: no desktop output.").utf8_string();
}

std::string SpeakersHintText() {
    return _("The microphone may also pick up what the speakers play.").utf8_string();
}

wxString DiskAlmostFullText(double minutesLeft) {
    if (minutesLeft < 1) {
        return _("Disk almost full: less than a minute left");
    }
    const long n = static_cast<long>(std::floor(minutesLeft));
    return wxString::Format(wxPLURAL("Disk almost full: about %ld minute left",
                                     "Disk almost full: about %ld minutes left", n),
                            n);
}

void FillDeviceChoice(wxChoice* list, const std::string& keepSource) {
    list->Freeze();
    list->Clear();
    const unsigned count = wavein::waveInGetNumDevs();
    for (unsigned dev = 0; dev < count; ++dev) {
        std::string name;
        if (!wavein::waveInGetDevName(dev, name)) {
            continue;
        }
        const int pos = list->Append(wxString::FromUTF8(name));
        list->SetClientData(static_cast<unsigned>(pos),
                            reinterpret_cast<void*>(static_cast<std::intptr_t>(dev)));
    }
    // Positions settle only once every item is in the sorted list.
    SelectDeviceSource(list, keepSource);
    list->Thaw();
}

void SelectDeviceSource(wxChoice* list, const std::string& source) {
    const auto find = [list](const std::string& wanted) {
        for (unsigned pos = 0; pos < list->GetCount() && !wanted.empty(); ++pos) {
            std::string src;
            const auto dev =
                static_cast<unsigned>(reinterpret_cast<std::intptr_t>(list->GetClientData(pos)));
            if (wavein::waveInGetDevSource(dev, src) && src == wanted) {
                return static_cast<int>(pos);
            }
        }
        return static_cast<int>(wxNOT_FOUND);
    };
    int keep = find(source);
    if (keep == wxNOT_FOUND) {
        keep = find(wavein::waveInGetDefaultSource());
    }
    if (keep == wxNOT_FOUND && list->GetCount() > 0) {
        keep = 0;
    }
    list->SetSelection(keep);
}

std::string SelectedSource(wxChoice* list) {
    const int sel = list->GetSelection();
    std::string source;
    if (sel != wxNOT_FOUND) {
        const auto dev = static_cast<unsigned>(
            reinterpret_cast<std::intptr_t>(list->GetClientData(static_cast<unsigned>(sel))));
        wavein::waveInGetDevSource(dev, source);
    }
    return source;
}

CStatusRow::CStatusRow(wxWindow* dlg)
    : m_dlg(dlg), m_pause(static_cast<wxButton*>(dlg->FindWindow(IDC_PAUSE))),
      m_text(static_cast<wxStaticText*>(dlg->FindWindow(IDC_TAKE_STATUS))),
      m_meter(static_cast<CLevelMeter*>(dlg->FindWindow(IDC_LEVEL_METER))), m_timer(this) {
    m_pause->Disable();
    // Its accessible text becomes the row's whole message before a screen
    // reader has seen it.
    platform::SetShownText(m_text, m_text->GetLabelText(), m_text->GetLabelText());
    Bind(wxEVT_TIMER, &CStatusRow::OnTick, this);
    m_dlg->Bind(wxEVT_BUTTON, &CStatusRow::OnPause, this, IDC_PAUSE);
    m_meter->SetToolTip(_("Peak level of the input"));
    m_watcher = std::make_unique<wavein::DeviceWatcher>([this](wavein::DeviceWatcher::Change c) {
        using Change = wavein::DeviceWatcher::Change;
        if (c == Change::ServerLost) {
            CallAfter([this] { OnServerLost(); });
            return;
        }
        if (c == Change::ServerBack) {
            m_serverBack = true;
        }
        // Many events can come at once (a card with several sources): one
        // refresh for all of them.
        if (!m_changeQueued.exchange(true)) {
            CallAfter([this] { OnSourcesChanged(); });
        }
    });
    m_watcher->Start();
}

CStatusRow::~CStatusRow() {
    m_watcher.reset(); // no more news from the server thread
    m_timer.Stop();
    m_dlg->Unbind(wxEVT_BUTTON, &CStatusRow::OnPause, this, IDC_PAUSE);
}

wxString CStatusRow::Text() const {
    return m_shownText;
}

void CStatusRow::RecordingStarted(const wxString& device, const wxString& file) {
    // TRANSLATORS: stands for the device's name in "No sound from %s: is it
    // muted?" and "Sound from %s again".
    m_device = device.empty() ? _("the default input") : device;
    m_file = file.utf8_string();
    m_fileSize = 0;
    m_sizeAtBytes = 0;
    m_ticksSinceSize = 0;
    m_recording = true;
    wavein::SetInputPaused(false);
    wavein::TakeInputPeak(); // what came before this take is not its level
    m_pause->SetLabel(_("Pause"));
    m_meter->Reset();
    m_lastSound = Clock::now();
    m_shownTime = TimeShown{0, 0, false, false};
    m_speakersHintDue = true;
    m_hintUntil = Clock::time_point{};
    m_noOutputTold = false;
    ShowText(TakeText(TakeState::Recording, 0, 0), Shown::TakeTime);
    m_timer.Start(kTickMs);
}

void CStatusRow::RecordingEnded() {
    if (!m_recording) {
        return;
    }
    m_recording = false;
    m_timer.Stop();
    wavein::SetInputPaused(false);
    m_pause->SetLabel(_("Pause"));
    m_pause->Disable();
    m_meter->Reset();
    m_meter->SetToolTip(_("Peak level of the input"));
    m_tipTenths = kNoTip;
    m_diskWarningUntil = Clock::time_point{};
    // What the file truly holds, as the engine read it once it was closed.
    const TakeEnd end = LastTakeEnd();
    ShowText(TakeText(TakeState::Ended, end.seconds, end.bytes), Shown::TakeTime);
    if (m_sourcesChanged) {
        OnSourcesChanged(); // held back while the list was greyed
    }
}

void CStatusRow::DiskAlmostFull(double minutesLeft) {
    if (!m_recording) {
        return;
    }
    const wxString text = DiskAlmostFullText(minutesLeft);
    m_diskWarningUntil = Clock::now() + std::chrono::seconds(kDiskWarningSeconds);
    m_shownTime = TimeShown{}; // the time comes back after it
    ShowText(text);
    AnnounceToUser(m_text, text);
}

void CStatusRow::ConversionStarted(ConvertRun* run) {
    m_run = run;
    if (m_shownKind != Shown::Converting) {
        m_textBefore = m_shownText; // what the row says of the take
        m_kindBefore = m_shownKind;
    }
    m_progressWhole = -1;
    m_progressAt = 0;
    // The meter says nothing while converting: the progress takes its
    // place too, so that it stays on one line.
    if (m_meter->IsShown()) {
        m_textWidth = m_text->GetSize().x;
        const int right = m_meter->GetPosition().x + m_meter->GetSize().x;
        m_meter->Hide();
        m_text->SetSize(right - m_text->GetPosition().x, m_text->GetSize().y);
    }
    m_pause->SetLabel(_("Cancel"));
    m_pause->Enable();
    ShowText(_("Converting"), Shown::Converting);
    m_timer.Start(kTickMs);
}

void CStatusRow::ConversionEnded(const wxString& text) {
    if (m_run == nullptr) {
        return;
    }
    m_run = nullptr;
    m_timer.Stop();
    if (!m_meter->IsShown()) {
        m_text->SetSize(m_textWidth, m_text->GetSize().y);
        m_meter->Show();
    }
    m_pause->SetLabel(_("Pause"));
    m_pause->Disable();
    if (text.empty()) {
        ShowText(m_textBefore, m_kindBefore);
    } else {
        ShowText(text);
    }
}

wxString CStatusRow::ProgressText() {
    // ffmpeg's position can step back a little (16:35, 16:33): the row
    // never does.
    const double length = m_run->Length();
    const double at = std::max(m_progressAt, length > 0 ? std::min(m_run->Position(), length)
                                                        : m_run->Position());
    m_progressAt = at;
    if (length <= 0) {
        return at > 0 ? wxString::Format(_("Converting %s"), FormatTakeTime(at)) : _("Converting");
    }
    const auto whole = [length](int percent, double seconds) {
        // TRANSLATORS: the status row while a file is converted: the share
        // done, the position reached and the recording's length ("42% (4:12
        // of 10:00)").
        return wxString::Format(_("Converting %d%% (%s of %s)"), percent, FormatTakeTime(seconds),
                                FormatTakeTime(length));
    };
    if (m_progressWhole < 0) {
        // Measured once, on the widest it will be (asking the X server ten
        // times a second is not worth it); where even that is too narrow,
        // the percentage alone.
        wxClientDC dc(m_text);
        dc.SetFont(m_text->GetFont());
        const int need = dc.GetTextExtent(whole(100, length)).x;
        m_progressWhole = need <= m_text->GetSize().x ? 1 : 0;
        NoteShownText("layout", wxString::Format("status row\t%d %d %d %d\t%d %d\t%s",
                                                 m_text->GetPosition().x, m_text->GetPosition().y,
                                                 m_text->GetSize().x, m_text->GetSize().y, need,
                                                 m_text->GetCharHeight(), whole(100, length)));
    }
    const int percent = std::clamp(static_cast<int>(100 * at / length), 0, 100);
    return m_progressWhole == 1 ? whole(percent, at)
                                : wxString::Format(_("Converting %d%%"), percent);
}

void CStatusRow::OnTick(wxTimerEvent&) {
    if (m_run != nullptr) {
        // The worker keeps ffmpeg's latest position: read here, ten times a
        // second, however often ffmpeg reports it.
        ShowText(ProgressText(), Shown::Converting);
        return;
    }
    const auto now = Clock::now();
    const int peak = wavein::TakeInputPeak();
    const bool paused = wavein::InputPaused();
    m_meter->SetPeak(peak, now);

    // The tooltip is formatted only when what it says changes.
    const long tenths = std::lround(m_meter->LevelDb() * 10);
    if (tenths != m_tipTenths || m_meter->ClipLit() != m_tipClip) {
        m_tipTenths = tenths;
        m_tipClip = m_meter->ClipLit();
        // TRANSLATORS: the level meter's tooltip; %.1f is the peak in dBFS
        // (-12.5).
        wxString format = _("Peak %.1f dBFS");
        if (m_tipClip) {
            // TRANSLATORS: the level meter's tooltip when the input went
            // over the top; %.1f is the peak in dBFS.
            format = _("Peak %.1f dBFS, clipped");
        }
        const wxString tip = wxString::Format(format, tenths / 10.0);
        m_meter->SetToolTip(tip);
        NoteShownText("meter", tip);
    }

    if (paused || (peak >= 0 && PeakToDb(peak) >= kSilenceDb)) {
        m_lastSound = now;
    }
    if (now < m_diskWarningUntil) {
        return; // the disk's warning keeps the row a while
    }
    if (std::chrono::duration<double>(now - m_lastSound).count() >= kSilenceSeconds) {
        m_shownTime = TimeShown{};
        const WarningParts w = SilenceWarningParts();
        ShowText(w.head + m_device + w.tail, Shown::Silence);
        return;
    }
    // Where the desktop plays through speakers, said once for a few seconds.
    if (m_speakersHintDue && wavein::DesktopOnSpeakers() &&
        wavein::GetDesktopAudio() == wavein::DesktopAudio::Recording) {
        m_speakersHintDue = false;
        m_hintUntil = now + std::chrono::seconds(5);
    }
    if (now < m_hintUntil) {
        m_shownTime = TimeShown{};
        ShowText(wxString::FromUTF8(SpeakersHintText()));
        return;
    }
    // The file grows a second's audio at a time: its size is looked at when
    // a buffer has come, and a few times a second for the write after it.
    const std::uint64_t captured = g_qwCapturedBytes.load();
    if (captured != m_sizeAtBytes || ++m_ticksSinceSize >= kSizeEveryTicks) {
        m_sizeAtBytes = captured;
        m_ticksSinceSize = 0;
        m_fileSize = FileSize();
    }
    const double seconds = captured / double(kCaptureBufferBytes);
    // Nine ticks in ten change nothing the text says: it is not rebuilt.
    const bool noOutput = wavein::GetDesktopAudio() == wavein::DesktopAudio::NoOutput;
    const TimeShown shown{std::lround(seconds), m_fileSize, paused, noOutput};
    if (shown == m_shownTime) {
        return;
    }
    const bool outputWent = noOutput && !m_noOutputTold;
    m_noOutputTold = noOutput;
    m_shownTime = shown;
    const TakeState state = paused ? TakeState::Paused : TakeState::Recording;
    if (noOutput) {
        ShowText(TakeText(state, seconds, m_fileSize, true)); // may need two lines
        if (outputWent) {
            AnnounceToUser(m_text, wxString::FromUTF8(NoDesktopOutputText()));
        }
        return;
    }
    ShowText(TakeText(state, seconds, m_fileSize), Shown::TakeTime);
}

std::uint64_t CStatusRow::FileSize() const {
    struct stat st {};
    return ::stat(m_file.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void CStatusRow::OnPause(wxCommandEvent&) {
    if (m_run != nullptr) {
        m_run->Cancel(); // the end comes back through ConversionEnded
        return;
    }
    if (!m_recording) {
        return;
    }
    const bool pause = !wavein::InputPaused();
    wavein::SetInputPaused(pause);
    m_pause->SetLabel(pause ? _("Resume") : _("Pause"));
    wxTimerEvent tick(m_timer);
    OnTick(tick); // the text follows at once
}

wxString CStatusRow::TakeText(TakeState state, double seconds, std::uint64_t bytes,
                              bool micOnly) {
    const wxString time = wxString::FromUTF8(FormatTakeTime(seconds));
    const wxString size = wxString::FromUTF8(FormatTakeSize(bytes));
    switch (state) {
    case TakeState::Recording:
        return wxString::Format(
            micOnly
                // TRANSLATORS: as "Paused %s, %s. Microphone only: no desktop
                // output.", during the take. The row is narrow: what comes
                // first should say it.
                ? _("Recording %s, %s. Microphone only: no desktop output.")
                // TRANSLATORS: the status row during a take: its time (1:23) and
                // its file's size (336 KB).
                : _("Recording %s, %s"),
            time, size);
    case TakeState::Paused:
        return wxString::Format(
            micOnly
                // TRANSLATORS: the status row while a take of a microphone with
                // the desktop's sound is paused and the desktop has no output:
                // the take's time (1:23) and its file's size (336 KB).
                ? _("Paused %s, %s. Microphone only: no desktop output.")
                // TRANSLATORS: the status row while a take is paused: its time
                // (1:23) and its file's size (336 KB).
                : _("Paused %s, %s"),
            time, size);
    case TakeState::Ended:
        // TRANSLATORS: the status row after Stop: the take's time (3:12) and
        // its file's size (1.5 MB).
        return wxString::Format(_("Last take %s, %s"), time, size);
    }
    return wxString();
}

void CStatusRow::ShowText(const wxString& text, Shown kind) {
    if (text == m_shownText && kind == m_shownKind) {
        return;
    }
    const bool wasWarning = m_shownKind == Shown::Silence;
    m_shownText = text;
    m_shownKind = kind;
    // The silence warning's device name is shortened so that the question
    // stays whole; another message is broken onto two lines where it is
    // longer than the row; the tooltip has it all. (Measuring asks the X
    // server, so the time and size, which always fit, are not measured
    // every second.)
    const bool warning = kind == Shown::Silence;
    const bool takeTime = kind == Shown::TakeTime || kind == Shown::Converting;
    const wxString label = warning ? FittedWarning() : takeTime ? text : TwoLines(text);
    // A screen reader reads the whole sentence, on one line, whatever the
    // row has room for: as the status bar's name and as its text.
    wxString whole = text;
    whole.Replace("\n", " ");
    platform::SetShownText(m_text, label, whole);
    if (warning || label != text) {
        m_text->SetToolTip(text);
    } else if (m_text->GetToolTip() != nullptr) {
        m_text->UnsetToolTip();
    }
    wxString line = label;
    line.Replace("\n", " ");
    NoteShownText("status", line);
    // Heard wherever the user is: the microphone may be muted.
    if (warning && !wasWarning) {
        AnnounceToUser(m_text, text);
    } else if (wasWarning && m_recording && kind == Shown::TakeTime &&
               !wavein::InputPaused()) { // not Pause
        // TRANSLATORS: told to a screen reader when a silent input is heard
        // again; %s is the device's name.
        AnnounceToUser(m_text, wxString::Format(_("Sound from %s again"), m_device));
    }
}

wxString CStatusRow::TwoLines(const wxString& text) const {
    wxClientDC dc(m_text);
    dc.SetFont(m_text->GetFont());
    const int width = m_text->GetSize().x;
    const auto fits = [&](const wxString& line) { return dc.GetTextExtent(line).x <= width; };
    if (fits(text)) {
        return text;
    }
    // The longest first line that fits, at a space; the rest shortened at
    // its end only if even that does not fit.
    for (size_t at = text.rfind(' '); at != wxString::npos && at > 0;
         at = text.rfind(' ', at - 1)) {
        if (fits(text.Left(at))) {
            return text.Left(at) + "\n" +
                   wxControl::Ellipsize(text.Mid(at + 1), dc, wxELLIPSIZE_END, std::max(width, 1));
        }
    }
    return wxControl::Ellipsize(text, dc, wxELLIPSIZE_END, std::max(width, 1));
}

wxString CStatusRow::FittedWarning() const {
    wxClientDC dc(m_text);
    dc.SetFont(m_text->GetFont());
    const int width = m_text->GetSize().x;
    const WarningParts parts = SilenceWarningParts();
    const wxString& kWarningHead = parts.head;
    const wxString& kWarningTail = parts.tail;
    const wxString whole = kWarningHead + m_device + kWarningTail;
    const auto fits = [&](const wxString& line) { return dc.GetTextExtent(line).x <= width; };
    if (fits(whole)) {
        return whole;
    }
    // Two lines broken at a space before the question, the name whole, where
    // both fit. The longest first line that fits leaves the shortest second.
    const size_t nameEnd = kWarningHead.length() + m_device.length();
    for (size_t at = whole.rfind(' ', nameEnd - 1); at != wxString::npos && at > 0;
         at = whole.rfind(' ', at - 1)) {
        if (fits(whole.Left(at))) {
            if (fits(whole.Mid(at + 1))) {
                return whole.Left(at) + "\n" + whole.Mid(at + 1);
            }
            break;
        }
    }
    // Else the name is shortened in its middle, across both lines: its
    // start after "No sound from", its end before the question.
    const wxString dots = "...";
    const size_t n = m_device.length();
    size_t front = 0;
    while (front < n && fits(kWarningHead + m_device.Left(front + 1))) {
        ++front;
    }
    size_t back = 0;
    while (front + back < n && fits(dots + m_device.Right(back + 1) + kWarningTail)) {
        ++back;
    }
    if (front + back == n && fits(m_device.Mid(front) + kWarningTail)) {
        return kWarningHead + m_device.Left(front) + "\n" + m_device.Mid(front) + kWarningTail;
    }
    if (front > 0 && back > 0) {
        return kWarningHead + m_device.Left(front) + "\n" + dots +
               m_device.Right(back).Strip(wxString::leading) + kWarningTail;
    }
    // A row too narrow for that: the name shortened on one line, the
    // question on the next (the mark right after the name stays with it).
    const size_t space = kWarningTail.find(' ');
    const wxString mark = space == wxString::npos ? kWarningTail : kWarningTail.Left(space);
    const wxString question = space == wxString::npos ? wxString() : kWarningTail.Mid(space + 1);
    const int room = width - dc.GetTextExtent(kWarningHead + mark).x;
    return kWarningHead +
           wxControl::Ellipsize(m_device, dc, wxELLIPSIZE_MIDDLE, std::max(room, 1)) + mark + "\n" +
           question;
}

void CStatusRow::OnSourcesChanged() {
    m_changeQueued = false;
    if (m_recording) {
        m_sourcesChanged = true;
        return;
    }
    m_sourcesChanged = false;
    auto* list = static_cast<wxChoice*>(m_dlg->FindWindow(IDC_DEVICE_LIST));
    // After a server restart the device chosen before is kept where it
    // still exists.
    std::string keep = SelectedSource(list);
    if (keep.empty()) {
        keep = m_sourceBeforeLoss;
    }
    FillDeviceChoice(list, keep);
    if (list->GetCount() > 0) {
        m_sourceBeforeLoss.clear();
    }
    wxString items;
    for (unsigned i = 0; i < list->GetCount(); ++i) {
        items += (i > 0 ? " | " : "") +
                 wxString(static_cast<int>(i) == list->GetSelection() ? "*" : "") +
                 list->GetString(i);
    }
    NoteShownText("devices", items);
    if (m_serverBack.exchange(false)) {
        ShowText(_("The sound server is back."));
    }
}

void CStatusRow::OnServerLost() {
    // Whatever empties the list meanwhile, the choice comes back with the
    // server.
    const std::string chosen =
        SelectedSource(static_cast<wxChoice*>(m_dlg->FindWindow(IDC_DEVICE_LIST)));
    if (!chosen.empty()) {
        m_sourceBeforeLoss = chosen;
    }
}
