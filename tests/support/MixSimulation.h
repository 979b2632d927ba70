// Drives the stream mixer offline over simulated time, as two sound cards
// and a sound server would: an input at 44,100 Hz and a second stream
// drifting against it, each delivered in 10-40 ms blocks with up to 5 ms
// of jitter, each carrying a click every 10 s at the same real instant
// (the input's on the left, the other's on the right).
#pragma once

#include <cstddef>

namespace testsupport {

struct MixRun {
    double lengthErrorMs = 0;      // the take's length against the input's clock
    double maxMisalignmentMs = 0;  // worst offset between the two clicks
    double lateMisalignmentMs = 0; // worst once `settleSeconds` have passed
    double maxSideFillMs = 0;      // the most either FIFO held
    double maxMainFillMs = 0;
    unsigned resyncs = 0;
    unsigned clicks = 0;           // click pairs found
    double ratio = 1;              // the resampler's ratio at the end
};

MixRun SimulateMix(double seconds, double ppm, unsigned seed = 1, double settleSeconds = 30);

} // namespace testsupport
