// The mix of the input and the desktop's sound, offline: two clocks far
// further apart than real cards (0.5 %) stay aligned with bounded FIFOs,
// the sum never wraps, and with no desktop stream the input passes as it
// was captured.
#include "platform/StreamMixer.h"
#include "tests/support/MixSimulation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

using testsupport::MixRun;
using testsupport::SimulateMix;

TEST(StreamMixer, ExaggeratedDriftStaysAlignedWithBoundedFifos) {
    for (const double ppm : {5000.0, -5000.0}) {
        SCOPED_TRACE(ppm);
        const MixRun r = SimulateMix(300, ppm, 3, 200);
        EXPECT_EQ(r.clicks, 29u); // every click on both sides found
        EXPECT_LT(r.maxMisalignmentMs, 50.0); // while the loop catches a drift 100 times the usual
        EXPECT_LT(r.lateMisalignmentMs, 3.0); // and once it has
        EXPECT_LT(r.lengthErrorMs, 0.1);      // the take follows the input's clock
        EXPECT_LT(r.maxSideFillMs, 650.0);    // neither FIFO grows: the delay and a block
        EXPECT_LT(r.maxMainFillMs, 600.0);
        EXPECT_EQ(r.resyncs, 1u); // aligned once at the start, steered after
        EXPECT_NEAR(r.ratio, 1 + ppm * 1e-6, 0.0005);
    }
}

TEST(StreamMixer, SumNeverWraps) {
    int last = -32768;
    for (int sum = -65536; sum <= 65534; sum += 2) {
        const int out = wavein::MixSamples(sum / 2, sum / 2);
        EXPECT_GE(out, last) << sum; // rising with the sum: never folded back
        EXPECT_EQ(out < 0, sum < 0) << sum;
        if (sum >= -24576 && sum <= 24576) {
            ASSERT_EQ(out, sum); // below the knee both sides keep their level
        }
        last = out;
    }
}

TEST(StreamMixer, WithoutDesktopTheInputPassesWhole) {
    wavein::StreamMixer mixer(44100);
    std::vector<std::int16_t> in(441 * 2), out(44100 * 2), all;
    for (int block = 0; block < 100; ++block) {
        for (std::size_t i = 0; i < in.size(); ++i) {
            in[i] = static_cast<std::int16_t>(block * 100 + static_cast<int>(i));
        }
        mixer.PushMain(in.data(), 441, block * 0.01);
        const std::size_t n = mixer.Mix(out.data(), 44100, block * 0.01);
        all.insert(all.end(), out.begin(), out.begin() + static_cast<long>(n * 2));
    }
    const std::size_t n = mixer.Flush(out.data(), 44100);
    all.insert(all.end(), out.begin(), out.begin() + static_cast<long>(n * 2));
    ASSERT_EQ(all.size(), 44100u * 2);
    for (std::size_t i = 0; i < all.size(); ++i) {
        ASSERT_EQ(all[i], static_cast<std::int16_t>(i / 882 * 100 + i % 882)) << i;
    }
}

// Headphones plugged in mid-call: the new output's sound follows the last
// one's, the end of the last one kept and the gap between them silent, the
// clicks on both sides still together.
TEST(StreamMixer, AnotherOutputJoinsWhereTheLastStopped) {
    constexpr std::size_t kBlock = 882; // 20 ms
    const std::vector<long long> clicks{44100, 88200, 127890, 132300, 176400, 220500};
    wavein::StreamMixer mixer(44100);
    std::vector<std::int16_t> block(kBlock * 2), out(44100 * 2), all;
    const auto fill = [&](long long first, int channel) {
        std::fill(block.begin(), block.end(), 0);
        for (const long long c : clicks) {
            if (c >= first && c < first + static_cast<long long>(kBlock)) {
                block[static_cast<std::size_t>(c - first) * 2 + channel] = 20000;
            }
        }
    };
    for (int b = 0; b < 300; ++b) {
        const double now = (b + 1) * 0.02;
        const long long first = b * static_cast<long long>(kBlock);
        if (b == 150) { // 3 s: the output goes, another comes 0.3 s later
            mixer.JoinSide();
        }
        if (b < 150 || b >= 165) {
            fill(first, 1);
            mixer.PushSide(block.data(), kBlock, now);
        }
        fill(first, 0);
        mixer.PushMain(block.data(), kBlock, now);
        const std::size_t n = mixer.Mix(out.data(), 44100, now);
        all.insert(all.end(), out.begin(), out.begin() + static_cast<long>(n * 2));
    }
    const std::size_t n = mixer.Flush(out.data(), 44100);
    all.insert(all.end(), out.begin(), out.begin() + static_cast<long>(n * 2));
    ASSERT_EQ(all.size(), 300u * kBlock * 2);
    for (const long long c : clicks) {
        SCOPED_TRACE(c);
        ASSERT_EQ(all[static_cast<std::size_t>(c) * 2], 20000);
        int best = 0;
        long long at = 0;
        for (long long f = c - 441; f <= c + 441; ++f) {
            const int v = std::abs(static_cast<int>(all[static_cast<std::size_t>(f) * 2 + 1]));
            if (v > best) {
                best = v;
                at = f;
            }
        }
        if (c == 132300) { // in the gap
            EXPECT_LT(best, 1000);
            continue;
        }
        EXPECT_GT(best, 10000);
        EXPECT_LE(std::abs(at - c), 44); // within 1 ms
    }
}
