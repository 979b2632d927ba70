// Live recordings from a test source written at real-time pace.
//   live_recording cpu SECONDS KBPS [desktop]
//                                     CPU time per second of recording; with
//                                     "desktop", of Alpha mixed with what the
//                                     default output plays (a tone, by pacat)
//   live_recording stop COUNT         Stop latency, median and worst
//   live_recording drift SECONDS      file duration against audio fed
// Run inside tests/env/session.sh.
#include "platform/WaveIn.h"
#include "recorder/Capture.h"
#include "recorder/RecordControl.h"
#include "tests/support/TestSupport.h"

#include <signal.h>
#include <spawn.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// CPU seconds so far of each of the process's threads, by name.
std::map<std::string, double> ThreadCpu() {
    std::map<std::string, double> cpu;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) {
        return cpu;
    }
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    while (dirent* e = readdir(dir)) {
        std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/stat");
        std::string line;
        if (e->d_name[0] == '.' || !std::getline(in, line)) {
            continue;
        }
        const auto open = line.find('(');
        const auto close = line.rfind(')');
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) {
                utime = std::stoull(field);
            } else if (i == 15) {
                stime = std::stoull(field);
            }
        }
        cpu[line.substr(open + 1, close - open - 1)] += static_cast<double>(utime + stime) / tick;
    }
    closedir(dir);
    return cpu;
}

double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The server's sources in its order, then each input with the desktop.
constexpr int kAlpha = 1;
constexpr int kAlphaWithDesktop = 4;

RecordRequest Request(const std::string& file, unsigned kbps, int device = kAlpha) {
    DrainTestSources();
    RecordRequest r;
    r.fileName = file;
    r.bitrate = kbps;
    r.deviceId = device;
    return r;
}

bool Start(const RecordRequest& r) {
    std::string error;
    if (!StartRecording(r, error)) {
        std::fprintf(stderr, "recording did not start: %s\n", error.c_str());
        return false;
    }
    return true;
}

int Cpu(double seconds, unsigned kbps, bool desktop) {
    const std::string file = TempDir() + "/cpu.mp3";
    // The writer's own share is measured alone first and taken off.
    const double w0 = CpuSeconds();
    {
        FifoWriter idle(Env("VESTREL_FIFO_ZETA"), Sine(300, 0.5, 1), 176400, true);
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 10.0)));
    }
    const double writerPerSecond = (CpuSeconds() - w0) / std::min(seconds, 10.0);
    // The desktop's side: a tone played to the default output by another
    // process, whose CPU is not the program's.
    pid_t player = -1;
    if (desktop) {
        const std::string play = "sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth " +
                                 std::to_string(static_cast<int>(seconds) + 5) +
                                 " sine 1500 vol 0.25 | pacat --raw --rate 44100 --channels 2 "
                                 "--format s16le --latency-msec=30";
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP); // its own group, ended whole
        posix_spawnattr_setpgroup(&attr, 0);
        const char* argv[] = {"sh", "-c", play.c_str(), nullptr};
        if (posix_spawnp(&player, "sh", nullptr, &attr, const_cast<char**>(argv), environ) != 0) {
            player = -1;
        }
        posix_spawnattr_destroy(&attr);
        std::this_thread::sleep_for(1s); // the output plays before the take starts
    }
    if (!Start(Request(file, kbps, desktop ? kAlphaWithDesktop : kAlpha))) {
        return 1;
    }
    const double c0 = CpuSeconds();
    const auto threads0 = ThreadCpu();
    const auto t0 = Clock::now();
    {
        // The same sound reaches the encoder either way (a call's two voices,
        // 440 and 1500 Hz at -12 dBFS each): the encoder's work, which grows
        // with what it is given, is not counted as the mix's.
        std::vector<std::uint8_t> pcm = Sine(440, 0.25, seconds);
        if (!desktop) {
            const std::vector<std::uint8_t> other = Sine(1500, 0.25, seconds);
            for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
                const int sum = static_cast<std::int16_t>(pcm[i] | pcm[i + 1] << 8) +
                                static_cast<std::int16_t>(other[i] | other[i + 1] << 8);
                pcm[i] = static_cast<std::uint8_t>(sum & 0xff);
                pcm[i + 1] = static_cast<std::uint8_t>((sum >> 8) & 0xff);
            }
        }
        FifoWriter w(Env("VESTREL_FIFO_ALPHA"), pcm, 176400);
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
    const auto threads1 = ThreadCpu(); // before Stop ends the take's threads
    StopRecording();
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - c0 - writerPerSecond * wall;
    std::string perThread;
    for (const auto& [name, seconds] : threads1) {
        const auto before = threads0.find(name);
        const double used = seconds - (before != threads0.end() ? before->second : 0.0);
        if (used > 0) {
            char part[64];
            std::snprintf(part, sizeof part, " %s %.1f", name.c_str(), 1000 * used / wall);
            perThread += part;
        }
    }
    if (player > 0) {
        kill(-player, SIGTERM);
        waitpid(player, nullptr, 0);
    }
    std::printf("live recording %.0f s at %u kbps%s: %.2f%% of one core (%.1f ms CPU per second)\n",
                seconds, kbps, desktop ? " with the desktop's sound" : "", 100 * cpu / wall,
                1000 * cpu / wall);
    std::printf("  by thread, ms CPU per second (the test writer's included):%s\n", perThread.c_str());
    return 0;
}

int Stop(int count) {
    const std::string dir = TempDir();
    std::vector<double> ms;
    FifoWriter w(Env("VESTREL_FIFO_ALPHA"), Sine(440, 0.5, 1), 176400, true);
    for (int i = 0; i < count; ++i) {
        if (!Start(Request(dir + "/stop.mp3", 128))) {
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1200 + 37 * i));
        const auto t0 = Clock::now();
        StopRecording(); // returns with the file closed, ready for the player
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("stop latency over %d stops: median %.0f ms, worst %.0f ms (goal: worst < 300)\n",
                count, ms[ms.size() / 2], ms.back());
    return 0;
}

int Drift(double seconds) {
    const std::string file = TempDir() + "/drift.mp3";
    if (!Start(Request(file, 64))) {
        return 1;
    }
    const auto pcm = Sine(440, 0.5, seconds);
    size_t fed = 0;
    {
        FifoWriter w(Env("VESTREL_FIFO_ALPHA"), pcm, 176400);
        WaitFor([&] { return w.Written() == pcm.size(); },
                std::chrono::milliseconds(static_cast<long>(seconds * 1000 + 30000)));
        fed = w.Written();
    }
    std::this_thread::sleep_for(1s);
    StopRecording();
    const double fedSeconds = static_cast<double>(fed) / 176400;
    const double captured = static_cast<double>(g_qwCapturedBytes.load()) / 176400;
    const double decoded = static_cast<double>(DecodeMono(file).size()) / 44100;
    const double probed = Probe(file).duration;
    std::printf("drift over %.0f s fed: captured %.3f s, decoded %.3f s, ffprobe %.3f s; "
                "file/fed %+.4f%% (goal within 0.1%%)\n",
                fedSeconds, captured, decoded, probed, 100 * (decoded - fedSeconds) / fedSeconds);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (wavein::waveInGetNumDevs() < 2) {
        std::fprintf(stderr, "run inside tests/env/session.sh\n");
        return 1;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "cpu") {
        return Cpu(argc > 2 ? std::atof(argv[2]) : 60, argc > 3 ? std::atoi(argv[3]) : 256,
                   argc > 4 && std::strcmp(argv[4], "desktop") == 0);
    }
    if (mode == "stop") {
        return Stop(argc > 2 ? std::atoi(argv[2]) : 20);
    }
    if (mode == "drift") {
        return Drift(argc > 2 ? std::atof(argv[2]) : 600);
    }
    std::fprintf(stderr, "usage: live_recording cpu|stop|drift ...\n");
    return 2;
}
