#include "tests/support/MixSimulation.h"

#include "platform/StreamMixer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace testsupport {
namespace {

constexpr double kRate = 44100;
constexpr double kClickEvery = 10;
constexpr std::int16_t kClick = 20000;

// One stream's blocks: where the next one ends and when it arrives.
struct Feed {
    double rate;
    int channel = 0;
    long long pos = 0;       // frames delivered
    long long end = 0;       // frames in all
    long long blockEnd = 0;  // end of the block on its way
    double arrives = 0;
    double lastArrival = 0;

    void Next(std::mt19937& rng) {
        std::uniform_real_distribution<double> block(0.010, 0.040), jitter(0.0, 0.005);
        blockEnd = std::min(end, pos + std::max<long long>(1, std::llround(block(rng) * rate)));
        arrives = std::max(lastArrival, blockEnd / rate + jitter(rng));
        lastArrival = arrives;
    }
    // Fills the block: a click on its channel every kClickEvery seconds.
    void Fill(std::vector<std::int16_t>& pcm) const {
        const std::size_t frames = static_cast<std::size_t>(blockEnd - pos);
        pcm.assign(frames * 2, 0);
        // From the click before: a click's frame is rounded, and may fall
        // just inside this block though its exact time is before it.
        const long long firstClick = static_cast<long long>(std::floor(pos / (kClickEvery * rate)));
        for (long long k = std::max(1LL, firstClick);; ++k) {
            const long long at = std::llround(k * kClickEvery * rate);
            if (at >= blockEnd) {
                break;
            }
            if (at >= pos) {
                pcm[static_cast<std::size_t>(at - pos) * 2 + channel] = kClick;
            }
        }
    }
};

// Finds each click's peak in one channel of the mix, to a fraction of a frame.
struct PeakFinder {
    int channel = 0;
    long long k = 1;
    double window = 0.5 * kRate;
    int best = -1;
    long long bestAt = 0;
    int before = 0, at = 0, after = 0;
    bool wantAfter = false;
    int prev = 0;
    std::vector<double> found;

    void Add(long long index, const std::int16_t* frame) {
        const int v = std::abs(static_cast<int>(frame[channel]));
        if (wantAfter) {
            after = v;
            wantAfter = false;
        }
        const double centre = k * kClickEvery * kRate;
        if (index >= centre - window && index <= centre + window && v > best) {
            best = v;
            bestAt = index;
            before = prev;
            at = v;
            wantAfter = true;
        }
        prev = v;
        if (index > centre + window) {
            if (best > kClick / 4) {
                const double denom = before - 2.0 * at + after;
                const double shift = denom != 0 ? 0.5 * (before - after) / denom : 0.0;
                found.push_back(static_cast<double>(bestAt) + std::clamp(shift, -0.5, 0.5));
            } else {
                found.push_back(NAN);
            }
            ++k;
            best = -1;
        }
    }
};

} // namespace

MixRun SimulateMix(double seconds, double ppm, unsigned seed, double settleSeconds) {
    std::mt19937 rng(seed);
    wavein::StreamMixer mixer(static_cast<unsigned>(kRate));
    Feed in{kRate, 0};
    Feed desk{kRate * (1 + ppm * 1e-6), 1};
    in.end = std::llround(seconds * in.rate);
    desk.end = std::llround((seconds + 1) * desk.rate); // plays on past the take's end
    in.Next(rng);
    desk.Next(rng);
    std::vector<std::int16_t> pcm, out(static_cast<std::size_t>(kRate) * 2);
    PeakFinder left, right;
    left.channel = 0;
    right.channel = 1;
    long long written = 0;
    MixRun run;
    const auto take = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, ++written) {
            left.Add(written, &out[i * 2]);
            right.Add(written, &out[i * 2]);
        }
    };
    while (in.pos < in.end) {
        if (desk.pos < desk.end && desk.arrives < in.arrives) {
            desk.Fill(pcm);
            mixer.PushSide(pcm.data(), pcm.size() / 2, desk.arrives);
            desk.pos = desk.blockEnd;
            desk.Next(rng);
        } else {
            in.Fill(pcm);
            mixer.PushMain(pcm.data(), pcm.size() / 2, in.arrives);
            in.pos = in.blockEnd;
            take(mixer.Mix(out.data(), out.size() / 2, in.arrives));
            in.Next(rng);
        }
        run.maxSideFillMs = std::max(run.maxSideFillMs, 1000.0 * mixer.SideFill() / kRate);
        run.maxMainFillMs = std::max(run.maxMainFillMs, 1000.0 * mixer.MainFill() / kRate);
    }
    for (std::size_t n; (n = mixer.Flush(out.data(), out.size() / 2)) > 0;) {
        take(n);
    }
    run.lengthErrorMs = 1000.0 * std::fabs(static_cast<double>(written) - seconds * kRate) / kRate;
    const std::size_t pairs = std::min(left.found.size(), right.found.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        if (std::isnan(left.found[i]) || std::isnan(right.found[i])) {
            run.maxMisalignmentMs = 1e9; // a click lost is as bad as it gets
            continue;
        }
        const double ms = 1000.0 * std::fabs(right.found[i] - left.found[i]) / kRate;
        run.maxMisalignmentMs = std::max(run.maxMisalignmentMs, ms);
        if ((i + 1) * kClickEvery >= settleSeconds) {
            run.lateMisalignmentMs = std::max(run.lateMisalignmentMs, ms);
        }
        ++run.clicks;
    }
    run.resyncs = mixer.Resyncs();
    run.ratio = mixer.Ratio();
    return run;
}

} // namespace testsupport
