// Throughput of the capture-to-file path (buffer handling, encoding,
// writing), fed from memory at full speed, against the lame command line
// on the same PCM with the same settings.
//   encode_throughput [seconds-of-audio] [kbps]
#include "recorder/Capture.h"
#include "recorder/Encoder.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Speech-like test signal: a few tones with a slow envelope and noise.
std::vector<std::uint8_t> TestSignal(double seconds) {
    const size_t frames = static_cast<size_t>(seconds * 44100);
    std::vector<std::uint8_t> out(frames * 4);
    unsigned seed = 1;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100;
        seed = seed * 1103515245 + 12345;
        const double noise = ((seed >> 16) & 0x7FFF) / 32768.0 - 0.5;
        const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 3 * t);
        const double v =
            env * (0.3 * std::sin(2 * M_PI * 220 * t) + 0.2 * std::sin(2 * M_PI * 660 * t)) +
            0.05 * noise;
        const auto s = static_cast<std::int16_t>(v * 32767);
        std::memcpy(&out[i * 4], &s, 2);
        std::memcpy(&out[i * 4 + 2], &s, 2);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 120;
    const unsigned kbps = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 128;
    const std::string dir = testsupport::TempDir();
    const auto pcm = TestSignal(seconds);
    {
        std::ofstream raw(dir + "/in.raw", std::ios::binary);
        raw.write(reinterpret_cast<const char*>(pcm.data()), static_cast<long>(pcm.size()));
    }

    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        ClearCaptureFailure();
        if (OpenEncoderStream(dir + "/ours.mp3", kbps) != 1) {
            std::fprintf(stderr, "the encoder did not open\n");
            return 1;
        }
        testsupport::EncodeThroughHandler(pcm); // copies each buffer in, as the device does
        CloseEncoderStream();
        best = std::min(best, Seconds(t0, Clock::now()));
    }

    // lame with the same settings: CBR, joint stereo, 44.1 kHz out (22.05
    // at 32 kbps and below), private/copyright bits, no reservoir, no tag.
    double lameBest = 1e9;
    const std::string rate = kbps > 32 ? "44.1" : "22.05";
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        int status = 0;
        testsupport::RunOutput({"lame",
                                "--quiet",
                                "-r",
                                "-s",
                                "44.1",
                                "--bitwidth",
                                "16",
                                "--signed",
                                "--little-endian",
                                "-m",
                                "j",
                                "--cbr",
                                "-b",
                                std::to_string(kbps),
                                "--resample",
                                rate,
                                "-p",
                                "-c",
                                "--nores",
                                "-t",
                                dir + "/in.raw",
                                dir + "/lame.mp3"},
                               &status);
        lameBest = std::min(lameBest, Seconds(t0, Clock::now()));
        if (status != 0) {
            std::fprintf(stderr, "lame failed (%d)\n", status);
            return 1;
        }
    }
    std::printf("encode throughput, %.0f s of stereo PCM at %u kbps (best of 3)\n", seconds, kbps);
    std::printf("  vestrel capture path: %.3f s  (%.1fx real time)\n", best, seconds / best);
    std::printf("  lame command line:    %.3f s  (%.1fx real time)\n", lameBest,
                seconds / lameBest);
    std::printf("  speed ratio vestrel/lame: %.3f  (goal >= 0.95)\n", lameBest / best);
    std::printf("  output bytes: vestrel %lld, lame %lld\n",
                static_cast<long long>(testsupport::FileSize(dir + "/ours.mp3")),
                static_cast<long long>(testsupport::FileSize(dir + "/lame.mp3")));
    return 0;
}
