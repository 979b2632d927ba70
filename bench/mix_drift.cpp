// The microphone and the desktop mixed over a simulated hour, the desktop's
// clock 50 ppm and then 500 ppm fast: the take's length against the
// input's clock and the worst offset between two clicks made at the same
// instant on each side. Goal: both under 10 ms. No sound server needed.
//   mix_drift [MINUTES]
#include "tests/support/MixSimulation.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 60;
    for (const double ppm : {50.0, 500.0}) {
        const testsupport::MixRun r = testsupport::SimulateMix(minutes * 60, ppm);
        std::printf("# %.0f min, desktop %+.0f ppm: %u click pairs, FIFOs at most %.0f ms (input) "
                    "and %.0f ms (desktop), %u realignments, ratio %.6f at the end\n",
                    minutes, ppm, r.clicks, r.maxMainFillMs, r.maxSideFillMs, r.resyncs, r.ratio);
        std::printf("length_error_ms=%.2f\n", r.lengthErrorMs);
        std::printf("max_misalignment_ms=%.2f\n", r.maxMisalignmentMs);
        std::fflush(stdout);
    }
    return 0;
}
