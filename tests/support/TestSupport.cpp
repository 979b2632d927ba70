#include "tests/support/TestSupport.h"

#include "recorder/Capture.h"
#include "recorder/Encoder.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace testsupport {

std::string RunOutput(const std::vector<std::string>& args, int* status) {
    int p[2];
    if (pipe(p) != 0) {
        return {};
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, p[1], 1);
    posix_spawn_file_actions_addclose(&fa, p[0]);
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(p[1]);
    std::string out;
    if (rc == 0) {
        std::array<char, 65536> buf{};
        ssize_t n = 0;
        while ((n = read(p[0], buf.data(), buf.size())) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) {
                out.append(buf.data(), static_cast<size_t>(n));
            }
        }
        int st = 0;
        waitpid(pid, &st, 0);
        if (status != nullptr) {
            *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
    } else if (status != nullptr) {
        *status = -1;
    }
    close(p[0]);
    return out;
}

namespace {
std::string Field(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}
} // namespace

ProbeInfo Probe(const std::string& file) {
    const std::string out = RunOutput({"ffprobe", "-v", "error", "-show_entries",
                                       "format=format_name,duration,bit_rate:stream=codec_name,"
                                       "sample_rate,channels,bit_rate",
                                       "-of", "default=noprint_wrappers=1", file});
    ProbeInfo p;
    p.formatName = Field(out, "format_name");
    p.codec = Field(out, "codec_name");
    p.sampleRate = std::atoi(Field(out, "sample_rate").c_str());
    p.channels = std::atoi(Field(out, "channels").c_str());
    // The stream's rate first; containers like wma report it only there.
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("bit_rate=", 0) == 0 && line != "bit_rate=N/A") {
            p.formatBitRate = std::atol(line.c_str() + 9); // the format's comes last
            if (p.bitRate == 0) {
                p.bitRate = p.formatBitRate;
            }
        }
    }
    p.duration = std::atof(Field(out, "duration").c_str());
    return p;
}

std::vector<std::int16_t> DecodeMono(const std::string& file) {
    const std::string raw = RunOutput(
        {"ffmpeg", "-v", "error", "-i", file, "-f", "s16le", "-ac", "1", "-ar", "44100", "-"});
    std::vector<std::int16_t> s(raw.size() / 2);
    if (!s.empty()) {
        std::memcpy(s.data(), raw.data(), s.size() * 2);
    }
    return s;
}

double ToneFrequency(const std::vector<std::int16_t>& s, int rate) {
    if (s.size() < static_cast<size_t>(rate / 2)) {
        return 0;
    }
    const size_t from = s.size() / 4;
    const size_t to = s.size() * 3 / 4;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if ((s[i - 1] < 0) != (s[i] < 0)) {
            ++crossings;
        }
    }
    return crossings / 2.0 / (static_cast<double>(to - from) / rate);
}

double RmsLevel(const std::vector<std::int16_t>& s) {
    if (s.empty()) {
        return 0;
    }
    const size_t from = s.size() / 4;
    const size_t to = s.size() * 3 / 4;
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(s[i]) * s[i];
    }
    return std::sqrt(sum / static_cast<double>(to - from)) / 32768.0;
}

double AudibleSeconds(const std::vector<std::int16_t>& s, int rate) {
    const size_t step = static_cast<size_t>(rate / 100);
    size_t loud = 0;
    for (size_t from = 0; from + step <= s.size(); from += step) {
        double sum = 0;
        for (size_t i = from; i < from + step; ++i) {
            sum += static_cast<double>(s[i]) * s[i];
        }
        if (std::sqrt(sum / static_cast<double>(step)) / 32768.0 > 0.05) {
            ++loud;
        }
    }
    return static_cast<double>(loud) / 100.0;
}

std::vector<std::uint8_t> Sine(double freq, double amplitude, double seconds) {
    const size_t frames = static_cast<size_t>(seconds * 44100);
    std::vector<std::uint8_t> out(frames * 4);
    for (size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(
            amplitude * 32767 * std::sin(2 * M_PI * freq * static_cast<double>(i) / 44100)));
        for (int ch = 0; ch < 2; ++ch) {
            std::memcpy(&out[i * 4 + ch * 2], &v, 2);
        }
    }
    return out;
}

FifoWriter::FifoWriter(std::string fifo, std::vector<std::uint8_t> pcm, double bytesPerSecond,
                       bool loop) {
    thread_ = std::thread([this, fifo = std::move(fifo), pcm = std::move(pcm), bytesPerSecond,
                           loop] {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        size_t pos = 0;
        size_t total = 0;
        constexpr size_t kChunk = 4410 * 4; // 100 ms
        while (!stop_) {
            if (pos >= pcm.size()) {
                if (!loop) {
                    break;
                }
                pos = 0;
            }
            if (bytesPerSecond > 0) {
                // Kept ahead of the clock: a clocked source (PipeWire) records
                // silence whenever its FIFO runs dry.
                const double due = static_cast<double>(total) / bytesPerSecond - kLeadSeconds;
                const double now =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                if (due > now) {
                    std::this_thread::sleep_for(std::chrono::duration<double>(due - now));
                    continue;
                }
            }
            const size_t n = std::min(kChunk, pcm.size() - pos);
            const ssize_t w = write(fd, pcm.data() + pos, n);
            if (w > 0) {
                pos += static_cast<size_t>(w);
                total += static_cast<size_t>(w);
                written_ = total;
            } else if (w < 0 && errno == EAGAIN) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            } else if (w < 0 && errno != EINTR) {
                break;
            }
        }
        close(fd);
    });
}

FifoWriter::~FifoWriter() {
    Stop();
}

void FifoWriter::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void EncodeThroughHandler(const std::vector<std::uint8_t>& pcm) {
    std::vector<std::uint8_t> buf(kCaptureBufferBytes);
    for (size_t pos = 0; pos < pcm.size(); pos += kCaptureBufferBytes) {
        const size_t n = std::min<size_t>(kCaptureBufferBytes, pcm.size() - pos);
        std::memcpy(buf.data(), pcm.data() + pos, n);
        wavein::WaveHeader h;
        h.lpData = buf.data();
        h.dwBufferLength = kCaptureBufferBytes;
        h.dwBytesRecorded = static_cast<std::uint32_t>(n);
        h.dwFlags = wavein::WHDR_DONE;
        OnCaptureBuffer(&h);
    }
}

std::string MakeRecording(const std::string& file, double seconds, unsigned kbps) {
    ClearCaptureFailure();
    if (OpenEncoderStream(file, kbps) != 1) {
        return {};
    }
    EncodeThroughHandler(Sine(800, 0.5, seconds));
    CloseEncoderStream();
    return file;
}

namespace {
void DrainFifo(const std::string& fifo) {
    const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        return;
    }
    std::array<char, 65536> junk{};
    while (read(fd, junk.data(), junk.size()) > 0) {
    }
    close(fd);
}
} // namespace

void DrainTestSources() {
    for (const char* var : {"VESTREL_FIFO_ZETA", "VESTREL_FIFO_ALPHA"}) {
        if (!Env(var).empty()) {
            DrainFifo(Env(var));
        }
    }
}

namespace {
int CountEntries(const char* dir) {
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (const dirent* e = readdir(d)) {
            n += e->d_name[0] != '.' ? 1 : 0;
        }
        closedir(d);
    }
    return n;
}
} // namespace

int SourceOutputCount() {
    int status = 0;
    const std::string out = RunOutput({"pactl", "list", "short", "source-outputs"}, &status);
    if (status != 0) {
        return -1;
    }
    return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
}

int ThreadCount() {
    return CountEntries("/proc/self/task");
}

int OpenFdCount() {
    return CountEntries("/proc/self/fd") - 1; // the one reading it
}

bool SetDefaultSource(const std::string& sourceName) {
    int status = 0;
    RunOutput({"pactl", "set-default-source", sourceName}, &status);
    return status == 0;
}

bool UnloadSource(const std::string& sourceName) {
    const std::string modules = RunOutput({"pactl", "list", "short", "modules"});
    const auto at = modules.find("source_name=" + sourceName + " ");
    if (at == std::string::npos) {
        return false;
    }
    const auto lineStart = modules.rfind('\n', at) + 1;
    const std::string index = modules.substr(lineStart, modules.find('\t', lineStart) - lineStart);
    int status = 0;
    RunOutput({"pactl", "unload-module", index}, &status);
    return status == 0;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

std::string TempDir() {
    std::string base = Env("TMPDIR").empty() ? "/tmp" : Env("TMPDIR");
    std::string tmpl = base + "/vestrel-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const char* d = mkdtemp(buf.data());
    return d != nullptr ? std::string(d) : base;
}

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout,
             const std::function<void()>& pump) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (pump) {
            pump();
        }
        if (cond()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cond();
}

std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

} // namespace testsupport
