#include "convert/ConvertJob.h"

#include "convert/ConvertSettings.h"

#include "platform/Paths.h"
#include "platform/Translate.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/translation.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

ConvertSettings g_convertSettings;
wxString& g_szFormat = g_convertSettings.format;
wxString& g_szBitrate = g_convertSettings.bitrate;
wxString& g_szConverterDir = g_convertSettings.converterDir;

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
        *lookedIn =
            // TRANSLATORS: where ffmpeg was looked for: a folder, then the list of folders in PATH.
            platform::Printf(platform::Tr("%s and the folders on PATH (%s)"),
                             platform::ExecutableDir().c_str(), path != nullptr ? path : "");
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
    job.format = format.utf8_string();
    job.bitrate = bitrate.utf8_string();
    job.argv = {FindConverter(converterDir, &job.lookedIn), "-i", recorded.utf8_string(), "-b:a",
                bitrate.utf8_string()};
    if (format == "wma") {
        job.argv.emplace_back("-acodec");
        job.argv.emplace_back("wmav2");
    }
    job.argv.push_back(job.target);
    return job;
}

std::vector<std::string> ArgsWithProgress(const ConvertJob& job) {
    std::vector<std::string> args = job.argv;
    if (!args.empty()) {
        // Progress as key=value blocks on standard output, ten a second,
        // and no running statistics on standard error, whose last line
        // then stays the reason of a failure.
        args.insert(args.begin() + 1, {"-nostats", "-progress", "pipe:1", "-stats_period", "0.1"});
    }
    return args;
}

platform::ProcessResult RunAndWait(const ConvertJob& job) {
    return platform::RunAndCollect(job.argv);
}

bool DescribeOutcome(const ConvertJob& job, const platform::ProcessResult& r, wxString& text) {
    if (!r.started) {
        // TRANSLATORS: the system's reason, such as "No such file or directory", then where
        // the program was looked for.
        text = wxString::Format(_("The converter ffmpeg could not be started: %s.\n\nIt was "
                                  "looked for in %s."),
                                wxString::FromUTF8(std::strerror(r.startError)),
                                wxString::FromUTF8(job.lookedIn));
        return false;
    }
    struct stat st {};
    const bool written =
        stat(job.target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    if (r.exitStatus == 0 && written) {
        // TRANSLATORS: the first line of the box shown when a conversion is done.
        text = _("Converted and Saved");
        return true;
    }
    wxString last = wxString::FromUTF8(platform::LastLine(r.errorOutput));
    if (last.empty()) {
        // TRANSLATORS: why a conversion failed: ffmpeg ended well but wrote nothing.
        last = r.exitStatus == 0 ? _("it wrote no file")
                                 // TRANSLATORS: why a conversion failed: ffmpeg said nothing.
                                 : _("it gave no reason");
    }
    // TRANSLATORS: ffmpeg's own last line (English) or a reason, its exit status, then the
    // command that was run.
    text = wxString::Format(_("The conversion failed: %s\n\nffmpeg ended with exit status "
                              "%d.\n\n%s"),
                            last, r.exitStatus, job.commandLine);
    return false;
}

namespace {

std::string CodecName(const std::string& codec) {
    static const std::map<std::string, std::string> names = {
        {"mp3", "MP3"},   {"aac", "AAC"},  {"wmav2", "WMA"},
        {"flac", "FLAC"}, {"ac3", "AC-3"}, {"pcm_s16le", "PCM"}};
    const auto it = names.find(codec);
    if (it != names.end()) {
        return it->second;
    }
    std::string upper = codec;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

// "Duration: 00:10:00.05," in ffmpeg's description of its input. Read
// without the locale: "%lf" stops at the '.' where the decimal sign is ','.
double DurationIn(const std::string& text) {
    const size_t p = text.find("Duration: ");
    if (p == std::string::npos) {
        return -1;
    }
    const char* at = text.c_str() + p + 10;
    const char* const end = text.c_str() + text.size();
    long h = 0;
    long m = 0;
    double s = 0;
    auto [afterH, e1] = std::from_chars(at, end, h);
    if (e1 != std::errc() || afterH == end || *afterH != ':') {
        return -1;
    }
    auto [afterM, e2] = std::from_chars(afterH + 1, end, m);
    if (e2 != std::errc() || afterM == end || *afterM != ':') {
        return -1;
    }
    auto [afterS, e3] = std::from_chars(afterM + 1, end, s, std::chars_format::fixed);
    if (e3 != std::errc()) {
        return -1;
    }
    return static_cast<double>(h) * 3600.0 + static_cast<double>(m) * 60.0 + s;
}

} // namespace

WrittenFile DescribeWritten(const std::string& target, const std::string& errorOutput,
                            double seconds) {
    WrittenFile w;
    struct stat st {};
    if (stat(target.c_str(), &st) == 0) {
        w.bytes = st.st_size;
    }
    w.seconds = seconds;
    // "Output #0, ipod, to '...':" then "  Stream #0:0: Audio: aac (LC), 44100 Hz, ..."
    const size_t output = errorOutput.rfind("Output #0");
    const size_t audio = output == std::string::npos ? output : errorOutput.find("Audio: ", output);
    if (audio != std::string::npos) {
        const size_t from = audio + 7;
        w.codec =
            CodecName(errorOutput.substr(from, errorOutput.find_first_of(" ,\n", from) - from));
    }
    if (w.bytes > 0 && seconds > 0) {
        w.bitRate = std::lround(static_cast<double>(w.bytes) * 8 / seconds);
    }
    return w;
}

std::string RateNote(const std::string& format, const std::string& chosen, long written) {
    if (format == "wav") {
        // TRANSLATORS: shown after a conversion to wav; "wav" is the format's name.
        return platform::Tr("wav is uncompressed: the bit rate does not apply");
    }
    if (format == "flac") {
        // TRANSLATORS: shown after a conversion to flac; "flac" is the format's name.
        return platform::Tr("flac is lossless: the bit rate does not apply");
    }
    const long asked = std::atol(chosen.c_str()); // "512k"
    if (format == "mp3" && asked > 320) {
        // TRANSLATORS: shown after a conversion to mp3 at a bit rate above 320 kbit/s.
        return platform::Tr("mp3 goes up to 320k");
    }
    const long kbps = std::lround(written / 1000.0);
    // aac spends somewhat less than asked on simple sound; far less is its ceiling.
    if (written > 0 && kbps < asked * 8 / 10) {
        // TRANSLATORS: the format's name (aac), the bit rate written and the one chosen, in
        // kbit/s ("aac gave 263k of the 512k chosen: ...").
        return platform::Printf(platform::Tr("%s gave %ldk of the %ldk chosen: its encoder goes no "
                                             "higher for this take"),
                                format.c_str(), kbps, asked);
    }
    return {};
}

ConvertRun::ConvertRun(ConvertJob job, Finished finished)
    : job_(std::move(job)), finished_(std::move(finished)) {
    worker_ = std::thread([this] { Work(); });
}

ConvertRun::~ConvertRun() {
    Cancel();
    Wait();
}

void ConvertRun::Cancel() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (cancelled_ || done_) {
        return;
    }
    cancelled_ = true;
    cancelAt_ = std::chrono::steady_clock::now();
    if (child_ != nullptr) {
        child_->Signal(SIGTERM); // ffmpeg ends its output properly, then exits
    }
}

void ConvertRun::Wait() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void ConvertRun::Work() {
    platform::ChildProcess child;
    bool started = false;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        started = child.Start(ArgsWithProgress(job_), true);
        if (started) {
            child_ = &child;
            if (cancelled_) {
                child.Signal(SIGTERM);
            }
        }
    }
    if (started) {
        ReadProgress(child);
    }
    const platform::ProcessResult r = child.Wait();
    {
        const std::lock_guard<std::mutex> hold(lock_);
        child_ = nullptr;
    }
    const ConvertOutcome outcome = Conclude(r);
    {
        const std::lock_guard<std::mutex> hold(lock_);
        done_ = true;
    }
    if (finished_) {
        finished_(outcome);
    }
}

void ConvertRun::ReadProgress(platform::ChildProcess& child) {
    std::string pending;
    std::array<char, 4096> buf{};
    bool eof = false;
    bool killed = false;
    for (;;) {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            if (cancelled_ && !killed &&
                std::chrono::steady_clock::now() - cancelAt_ >= kKillAfter) {
                child.Signal(SIGKILL); // it did not end on SIGTERM
                killed = true;
            }
        }
        if (eof) {
            // Its output closes as it exits: the exit itself is moments away.
            if (child.Ended()) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        pollfd p{child.OutputFd(), POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            // A child of its own may hold the pipe open after it is gone.
            if (child.Ended()) {
                return;
            }
            continue;
        }
        const ssize_t n = read(child.OutputFd(), buf.data(), buf.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            eof = true;
            continue;
        }
        bool cancelled = false;
        {
            const std::lock_guard<std::mutex> hold(lock_);
            cancelled = cancelled_;
        }
        if (cancelled) {
            continue; // a cancelled run ends with a report of its own: not shown
        }
        pending.append(buf.data(), static_cast<size_t>(n));
        for (size_t nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (line.rfind("out_time_us=", 0) == 0 && line.size() > 12 &&
                std::isdigit(static_cast<unsigned char>(line[12])) != 0) {
                written_ = std::atoll(line.c_str() + 12) / 1e6;
                position_ = written_;
                if (length_ < 0) {
                    // The input's length, from ffmpeg's own description of it.
                    length_ = DurationIn(child.ErrorHead(64 * 1024));
                }
            } else if (line == "progress=end" && length_ > 0) {
                position_ = length_.load();
            }
        }
    }
}

ConvertOutcome ConvertRun::Conclude(const platform::ProcessResult& r) {
    ConvertOutcome out;
    out.target = job_.target;
    out.keptNote = job_.keptNote;
    bool cancelled = false;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        cancelled = cancelled_;
    }
    if (cancelled) {
        out.kind = ConvertOutcome::Kind::Cancelled;
        unlink(job_.target.c_str()); // what it wrote so far is of no use
        out.restored = platform::PutBack(job_.kept, job_.target);
        return out;
    }
    if (DescribeOutcome(job_, r, out.text)) {
        out.kind = ConvertOutcome::Kind::Converted;
        out.file = DescribeWritten(job_.target, r.errorOutput, written_);
        out.note = RateNote(job_.format, job_.bitrate, out.file.bitRate);
        return out;
    }
    if (r.started) {
        unlink(job_.target.c_str()); // a partial target is no use to anyone
    }
    return out;
}
