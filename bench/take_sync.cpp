// What making a take durable costs: the take is written a second at a time
// through the capture handler and the real encoder, and each second is
// synced as the recording thread does (fdatasync, the folder once).
//   take_sync [minutes] [kbps] [folder] [pace]
// pace 1 writes at real time (a 10-minute take takes 10 minutes); 0, the
// default, writes each second as soon as the last was synced.
#include "recorder/Capture.h"
#include "recorder/Encoder.h"
#include "tests/support/TestSupport.h"

#include <sys/statfs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

const char* FileSystem(const std::string& folder) {
    struct statfs fs {};
    if (statfs(folder.c_str(), &fs) != 0) {
        return "?";
    }
    switch (fs.f_type) {
    case 0xEF53:
        return "ext4";
    case 0x01021994:
        return "tmpfs";
    case 0x9123683E:
        return "btrfs";
    case 0x58465342:
        return "xfs";
    case 0x794C7630:
        return "overlayfs";
    default:
        return "other";
    }
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    const unsigned kbps = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 256;
    const std::string folder = argc > 3 ? argv[3] : testsupport::TempDir();
    const bool paced = argc > 4 && std::atoi(argv[4]) != 0;
    const int seconds = minutes * 60;
    const auto second = testsupport::Sine(440, 0.5, 1.0);

    ClearCaptureFailure();
    const std::string file = folder + "/durable.mp3";
    std::string error;
    if (OpenEncoderStream(file, kbps, &error) != 1) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::vector<double> times;
    const auto start = std::chrono::steady_clock::now();
    double encodeCpu = 0;
    for (int s = 0; s < seconds; ++s) {
        const double c0 = CpuSeconds();
        testsupport::EncodeThroughHandler(second);
        encodeCpu += CpuSeconds() - c0;
        const auto t0 = std::chrono::steady_clock::now();
        if (!SyncOutputFile(&error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (paced) {
            std::this_thread::sleep_until(start + std::chrono::seconds(s + 1));
        }
    }
    CloseEncoderStream();
    const SyncFigures f = OutputSyncFigures();
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double p99 = times[times.size() * 99 / 100];
    std::printf("take_sync: %d-minute take at %uk on %s (%s, %s): %u data syncs + 1 folder sync\n",
                minutes, kbps, FileSystem(folder), folder.c_str(), paced ? "real time" : "unpaced",
                f.syncs);
    std::printf("  wall in syncs %.1f ms (%.3f %% of the take), CPU in syncs %.1f ms (%.4f %% of a "
                "core over the take; encoding took %.0f ms)\n",
                f.wallSeconds * 1e3, 100.0 * f.wallSeconds / seconds, f.cpuSeconds * 1e3,
                100.0 * f.cpuSeconds / seconds, encodeCpu * 1e3);
    std::printf("  per sync: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n",
                median * 1e3, p99 * 1e3, f.worstSeconds * 1e3);
    std::remove(file.c_str());
    return 0;
}
