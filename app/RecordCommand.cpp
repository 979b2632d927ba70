#include "app/RecordCommand.h"

#include "platform/InputLevel.h"
#include "platform/Paths.h"
#include "platform/Translate.h"
#include "platform/WaveIn.h"
#include "recorder/Capture.h"
#include "recorder/RecordControl.h"
#include "ui/DialogTemplate.h"
#include "ui/Resource.h"
#include "ui/StatusRow.h"

#include <glib.h>
#include <wx/string.h>
#include <wx/translation.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace app {
namespace {

// A device as the window's list shows it.
struct ListedDevice {
    int number;
    std::string description;
    std::string source;
};

// The server's sources in the window's order: its sorted list compares
// names as GTK does, by the locale's collation.
std::vector<ListedDevice> ListedDevices() {
    std::vector<ListedDevice> out;
    const unsigned count = wavein::waveInGetNumDevs();
    for (unsigned dev = 0; dev < count; ++dev) {
        ListedDevice d{static_cast<int>(dev), {}, {}};
        if (wavein::waveInGetDevName(dev, d.description) &&
            wavein::waveInGetDevSource(dev, d.source)) {
            out.push_back(std::move(d));
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const ListedDevice& a, const ListedDevice& b) {
        return g_utf8_collate(a.description.c_str(), b.description.c_str()) < 0;
    });
    return out;
}

void PrintDevices(std::FILE* to, const std::vector<ListedDevice>& devices) {
    const std::string def = wavein::waveInGetDefaultSource();
    for (const auto& d : devices) {
        std::fprintf(to, "%s %s\t%s\n", d.source == def ? "*" : " ", d.description.c_str(),
                     d.source.c_str());
    }
}

// What the engine reports, kept for the main thread's loop.
class LineObserver : public RecordObserver {
  public:
    void RecordingStarted() override { m_started = true; }
    void RecordingLevel(int peak, bool silent) override {
        int seen = m_peak.load();
        while (peak > seen && !m_peak.compare_exchange_weak(seen, peak)) {
        }
        m_silent = silent;
    }
    void RecordingEnded(const TakeEnd& end) override {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_end = end;
        m_ended = true;
    }
    void DiskAlmostFull(double minutesLeft) override {
        m_minutesLeft = minutesLeft;
        m_diskFull = true;
    }
    // The disk's warning, once: minutes left, or a negative number.
    double TakeDiskWarning() { return m_diskFull.exchange(false) ? m_minutesLeft.load() : -1; }
    int TakePeak() { return m_peak.exchange(-1); }
    bool Started() const { return m_started; }
    bool Silent() const { return m_silent; }
    bool Ended() const { return m_ended; }
    TakeEnd End() {
        std::lock_guard<std::mutex> lk(m_mutex);
        return m_end;
    }

  private:
    std::atomic<int> m_peak{-1};
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_silent{false};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_diskFull{false};
    std::atomic<double> m_minutesLeft{0};
    std::mutex m_mutex;
    TakeEnd m_end;
};

std::uint64_t FileSize(const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

double TakeSeconds() {
    return static_cast<double>(g_qwCapturedBytes.load()) / kCaptureBufferBytes;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "vestrel: %s\n", message.c_str());
    return 2;
}

} // namespace

std::optional<long> ParseDuration(const std::string& text) {
    long total = 0;
    if (text.find(':') != std::string::npos) {
        // h:mm:ss or m:ss
        std::vector<long> parts;
        std::size_t at = 0;
        for (;;) {
            const std::size_t colon = text.find(':', at);
            const std::string field = text.substr(at, colon - at);
            if (field.empty() || field.size() > 6 ||
                field.find_first_not_of("0123456789") != std::string::npos) {
                return std::nullopt;
            }
            parts.push_back(std::stol(field));
            if (colon == std::string::npos) {
                break;
            }
            at = colon + 1;
        }
        // Only h:mm:ss: "1:30" reads as a minute and a half to some and an
        // hour and a half to others.
        if (parts.size() != 3) {
            return std::nullopt;
        }
        const long h = parts[0];
        const long m = parts[1];
        const long s = parts[2];
        if (m > 59 || s > 59) {
            return std::nullopt;
        }
        total = h * 3600 + m * 60 + s;
    } else {
        // 90s, 45m, 1h30m, 2h: numbers each followed by h, m or s, in that order
        std::size_t at = 0;
        int lastUnit = -1;
        while (at < text.size()) {
            std::size_t end = at;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
                ++end;
            }
            if (end == at || end == text.size() || end - at > 6) {
                return std::nullopt;
            }
            static const char kUnits[] = "hms";
            const char* unit = std::strchr(kUnits, text[end]);
            const int index = unit != nullptr && *unit != '\0' ? int(unit - kUnits) : -1;
            if (index <= lastUnit) {
                return std::nullopt;
            }
            lastUnit = index;
            static const long kScale[] = {3600, 60, 1};
            total += std::stol(text.substr(at, end - at)) * kScale[index];
            at = end + 1;
        }
    }
    if (total <= 0) {
        return std::nullopt;
    }
    return total;
}

std::string TidyPath(const std::string& path) {
    std::string out;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(at, end - at);
        if (part == "." || (part.empty() && at > 0 && end < path.size())) {
            // "/./" and "//" name the same folder as "/"
        } else if (end < path.size()) {
            out += part + "/";
        } else {
            out += part;
        }
        at = end + 1;
    }
    if (out.size() > 1 && out.back() == '/' && path.back() != '/') {
        out.pop_back(); // "a/." is "a"
    }
    return out;
}

std::string TakeFileName(const std::string& pattern, std::time_t now) {
    std::string name = pattern;
    if (name == "~" || name.rfind("~/", 0) == 0) {
        name = platform::HomeDir() + name.substr(1);
    }
    if (name.find('%') != std::string::npos) {
        std::tm local{};
        localtime_r(&now, &local);
        std::vector<char> out(name.size() * 4 + 256);
        const std::size_t n = std::strftime(out.data(), out.size(), name.c_str(), &local);
        if (n == 0) {
            return {}; // a pattern that gives nothing names no file
        }
        name.assign(out.data(), n);
    }
    if (!name.empty() && name[0] != '/') {
        std::vector<char> cwd(4096);
        if (::getcwd(cwd.data(), cwd.size()) != nullptr) {
            name = std::string(cwd.data()) + "/" + name;
        }
    }
    name = TidyPath(name);
    // As in the window: a take is MP3, and its name says so.
    const std::string base = name.substr(name.rfind('/') + 1);
    const auto dot = base.rfind('.');
    std::string ext = dot == std::string::npos || dot == 0 ? std::string() : base.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!base.empty() && ext != ".mp3") {
        name += ".mp3";
    }
    return name;
}

std::vector<unsigned> OfferedBitrates() {
    std::vector<unsigned> rates;
    const auto& lists = ui::MainDialogTemplate().listItems;
    const auto it = lists.find(IDC_BITRATE);
    if (it != lists.end()) {
        for (const char* item : it->second) {
            rates.push_back(ParseBitrate(item));
        }
    }
    return rates;
}

int ListDevices() {
    platform::FindSessionRuntimeDir();
    const auto devices = ListedDevices();
    if (devices.empty()) {
        std::fprintf(stderr, "vestrel: %s\n",
                     platform::Tr("no input device: is the sound server running?"));
        return 1;
    }
    PrintDevices(stdout, devices);
    return 0;
}

int RecordFromCommandLine(const RecordOptions& options) {
    platform::FindSessionRuntimeDir();
    RecordRequest req;
    req.bitrate = 64;
    const std::vector<unsigned> rates = OfferedBitrates();
    if (options.bitrate) {
        std::string allowed;
        for (unsigned r : rates) {
            allowed += (allowed.empty() ? "" : ", ") + std::to_string(r);
        }
        const std::string& b = *options.bitrate;
        const bool digits =
            !b.empty() && b.size() < 6 && b.find_first_not_of("0123456789") == std::string::npos;
        const unsigned kbps = digits ? static_cast<unsigned>(std::stoul(b)) : 0;
        if (std::find(rates.begin(), rates.end(), kbps) == rates.end()) {
            // TRANSLATORS: the bit rate given, then the list of those offered ("32, 64, 128").
            return Usage(platform::Printf(platform::Tr("--bitrate %s is not offered; the bit rates "
                                                       "are %s (kbit/s)"),
                                          b.c_str(), allowed.c_str()));
        }
        req.bitrate = kbps;
    }
    std::optional<long> seconds;
    if (options.duration) {
        const std::string& d = *options.duration;
        seconds = ParseDuration(d);
        if (!seconds && std::count(d.begin(), d.end(), ':') == 1) {
            return Usage(wxString::Format(_("--for %s could mean hours or minutes; write it as "
                                            "1h30m, 90m or 1:30:00 (or 1m30s, 90s)"),
                                          wxString::FromUTF8(d))
                             .utf8_string());
        }
        if (!seconds) {
            // TRANSLATORS: %s is the duration given; the examples stay as they are.
            return Usage(platform::Printf(platform::Tr("--for %s is not a duration such as 90s, "
                                                       "45m, 1h30m or 1:30:00"),
                                          d.c_str()));
        }
    }
    req.fileName = TakeFileName(options.file, std::time(nullptr));
    if (req.fileName.empty()) {
        return Usage(platform::Tr("--record needs a file name"));
    }

    // SIGINT, SIGTERM and SIGHUP (the terminal closed) are taken by this
    // thread's wait: blocked before any other thread starts, so that every
    // thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // An ignored signal is dropped, never pending: a shell starts its
    // background commands with SIGINT ignored (and nohup with SIGHUP, which
    // then stays ignored).
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    const auto devices = ListedDevices();
    std::string deviceName;
    req.deviceId = wavein::kDefaultDevice;
    if (options.device && !devices.empty()) {
        const auto it = std::find_if(devices.begin(), devices.end(), [&](const ListedDevice& d) {
            return d.description == *options.device;
        });
        const auto bySource =
            std::find_if(devices.begin(), devices.end(),
                         [&](const ListedDevice& d) { return d.source == *options.device; });
        const auto found = it != devices.end() ? it : bySource;
        if (found == devices.end()) {
            std::fprintf(stderr, "vestrel: %s\n",
                         // TRANSLATORS: %s is the device asked for; the list of devices follows.
                         platform::Printf(platform::Tr("no device \"%s\"; the devices are:"),
                                          options.device->c_str())
                             .c_str());
            PrintDevices(stderr, devices);
            return 2;
        }
        req.deviceId = found->number;
        deviceName = found->description;
    } else {
        const std::string def = wavein::waveInGetDefaultSource();
        for (const auto& d : devices) {
            if (d.source == def) {
                deviceName = d.description;
            }
        }
    }
    if (deviceName.empty()) {
        // TRANSLATORS: stands for a device's name in "No sound from %s: is it muted?".
        deviceName = platform::Tr("the default input");
    }

    LineObserver observer;
    SetRecordObserver(&observer);
    std::string error;
    if (!StartRecording(req, error)) {
        SetRecordObserver(nullptr);
        std::fprintf(stderr, "%s\n", StartFailureText(error).c_str());
        return 1;
    }

    const bool live = !options.quiet && ::isatty(STDOUT_FILENO) == 1;
    // --for counts from the moment the device runs.
    auto started = std::chrono::steady_clock::now();
    bool running = false;
    int peak = -1;
    long shownSecond = -1;
    bool hinted = false; // the speakers' hint, once
    bool toldNoOutput = false;
    // A line on stderr, the live line cleared first and drawn again after.
    const auto sayAside = [&](const std::string& text) {
        if (live) {
            std::fputs("\r\033[K", stdout);
            std::fflush(stdout);
            shownSecond = -1;
        }
        std::fprintf(stderr, "vestrel: %s\n", text.c_str());
    };
    for (;;) {
        const timespec tick{0, 100 * 1000 * 1000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
        if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP || observer.Ended()) {
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!running) {
            running = observer.Started();
            started = now;
        }
        const double elapsed = std::chrono::duration<double>(now - started).count();
        if (seconds && elapsed >= static_cast<double>(*seconds)) {
            break;
        }
        const double minutesLeft = observer.TakeDiskWarning();
        if (minutesLeft >= 0) {
            // A warning, not a fault: said even with --quiet, as a mailed
            // cron job then tells it before the disk is full.
            sayAside(DiskAlmostFullText(minutesLeft).utf8_string());
        }
        // Said once each time the desktop's side loses its output, even
        // with --quiet: the take is then the microphone's alone.
        const bool noOutput = wavein::GetDesktopAudio() == wavein::DesktopAudio::NoOutput;
        if (noOutput && !toldNoOutput) {
            sayAside(NoDesktopOutputText());
        }
        toldNoOutput = noOutput;
        peak = std::max(peak, observer.TakePeak());
        if (live && !hinted && wavein::DesktopOnSpeakers() &&
            wavein::GetDesktopAudio() == wavein::DesktopAudio::Recording) {
            hinted = true;
            std::printf("\r\033[K%s\n", SpeakersHintText().c_str());
        }
        if (live && static_cast<long>(elapsed) != shownSecond) {
            shownSecond = static_cast<long>(elapsed);
            const std::string time = FormatTakeTime(TakeSeconds());
            const std::string size = FormatTakeSize(FileSize(req.fileName));
            std::string line =
                peak > 0
                    // TRANSLATORS: the line that --record keeps up to date: the length recorded
                    // ("0:42"), the file's size ("336 KB") and the loudest sound in the last
                    // second in dBFS ("-12").
                    ? platform::Printf(platform::Tr("Recording %s, %s, peak %.0f dB"), time.c_str(),
                                       size.c_str(),
                                       20.0 * std::log10(peak / double(wavein::kFullScale)))
                    // TRANSLATORS: as "Recording %s, %s, peak %.0f dB", when nothing came.
                    : platform::Printf(platform::Tr("Recording %s, %s, peak -inf dB"), time.c_str(),
                                       size.c_str());
            if (observer.Silent()) {
                // TRANSLATORS: the recording line, then the warning that nothing is heard.
                line = platform::Printf(platform::Tr("%s. %s"), line.c_str(),
                                        SilenceWarningText(deviceName).c_str());
            } else if (noOutput) {
                line = platform::Printf(platform::Tr("%s. %s"), line.c_str(),
                                        NoDesktopOutputText().c_str());
            }
            std::printf("\r%s\033[K", line.c_str());
            std::fflush(stdout);
            peak = -1;
        }
    }
    // The take is being finished: a second Ctrl+C (or systemd's TERM after
    // INT) must not cut that short and turn a kept take into a failure.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    StopRecording();
    SetRecordObserver(nullptr);
    if (live) {
        std::fputs("\r\033[K", stdout);
    }
    const TakeEnd end = observer.End();
    // What the file truly holds, read once it was closed.
    if (!options.quiet && !end.keptAt.empty()) {
        // TRANSLATORS: the line --record ends with: the file's full path, the take's length
        // ("3:12") and size ("1.5 MB").
        std::printf("%s\n", platform::Printf(platform::Tr("%s: %s, %s"), end.keptAt.c_str(),
                                             FormatTakeTime(end.seconds).c_str(),
                                             FormatTakeSize(end.bytes).c_str())
                                .c_str());
        if (end.failure.empty() && !EarlierFileText(end).empty()) {
            std::printf("%s\n", EarlierFileText(end).c_str());
        }
    }
    std::fflush(stdout);
    if (!end.failure.empty()) {
        std::fprintf(stderr, "%s\n", TakeEndText(end).c_str());
        return 1;
    }
    return 0;
}

} // namespace app
