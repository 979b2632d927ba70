// Mixes a second 16-bit stereo stream (what the desktop plays) into the
// input's, which sets the clock. The two come from different sound cards,
// whose clocks drift apart: the second is resampled to the first by
// libspeexdsp's resampler, its ratio steered by how far the second stream's
// FIFO is ahead of or behind the first's, through a smoothed PI loop, so
// the ratio moves slowly enough never to be heard.
//
// Where a stream is comes from when its data arrives. A sound server hands
// data over in blocks, often late and unevenly (a pipe's writer, an output
// that renders 100 ms at a time): each stream's lateness, arrival time
// less its frames at the nominal rate, is taken at its least over the last
// half second, which is the clock without the delivery's jitter.
//
// The input is held back by a short delay so that the other stream's data
// for the same moment has arrived when the two are summed, even when either
// comes in bursts of a quarter second (a loaded machine, a sound server
// that renders ahead). The sum is
// clip-safe: up to -2.5 dBFS it is the plain sum (each side keeps the level
// it was fed at), above it a tanh knee bends it smoothly towards full
// scale, so speech on both sides at full level never wraps.
//
// Pure and single-threaded: no sound server. Times are in seconds on any
// steady clock; "now" is when the call is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

struct SpeexResamplerState_;

namespace wavein {

class StreamMixer {
  public:
    static constexpr int kChannels = 2;

    explicit StreamMixer(unsigned rate = 44100, double delaySeconds = 0.5,
                         double capacitySeconds = 4.0);
    ~StreamMixer();
    StreamMixer(const StreamMixer&) = delete;
    StreamMixer& operator=(const StreamMixer&) = delete;

    // The input's frames as captured (nullptr: a hole, silence) and the
    // other stream's, each stamped with when they arrived.
    void PushMain(const std::int16_t* pcm, std::size_t frames, double now);
    void PushSide(const std::int16_t* pcm, std::size_t frames, double now);

    // Mixes the input's frames older than the delay into `out` (at most
    // `maxFrames`); returns the frames written.
    std::size_t Mix(std::int16_t* out, std::size_t maxFrames, double now);
    // At the end of a take: the rest of the input, delay included.
    std::size_t Flush(std::int16_t* out, std::size_t maxFrames);

    // The other stream was replaced (another output): what it gave is
    // still mixed; the next stream's first push continues it, after as
    // much silence as the two were apart.
    void JoinSide();
    // The other stream starts anew: what it gave is dropped.
    void ResetSide();

    // What the benchmark and the tests look at.
    double Ratio() const { return ratio_; }
    std::size_t MainFill() const { return mw_ - mr_; }
    std::size_t SideFill() const { return sw_ - sr_; }
    // Seconds the other stream lags (+) or leads the input, smoothed.
    double Offset() const { return offset_; }
    unsigned Resyncs() const { return resyncs_; }
    std::size_t Capacity() const { return capacity_; }

  private:
    // One stream's arrivals: its frames so far and the least lateness of
    // the recent ones (a monotonic window).
    class Arrivals {
      public:
        void Note(std::size_t frames, double now, unsigned rate);
        void Reset();
        // Frames that came with no arrival to learn from (a gap's silence).
        void Add(std::size_t frames) { frames_ += frames; }
        // Another stream continues the count: its arrivals start anew.
        void Forget() { window_.clear(); last_ = -1; }
        bool Known() const { return !window_.empty(); }
        double Lateness() const { return window_.front().second; }
        std::uint64_t Frames() const { return frames_; }

      private:
        std::uint64_t frames_ = 0;
        double last_ = -1;
        std::deque<std::pair<double, double>> window_; // (arrival, lateness)
    };

    void Compact(std::vector<std::int16_t>& buf, std::size_t& r, std::size_t& w);
    void AppendSide(const std::int16_t* pcm, std::size_t frames);
    void Resync(double error);
    void SteerRatio(double error, double dt);

    unsigned rate_;
    std::size_t delay_;    // frames of input held back
    std::size_t capacity_; // frames each FIFO holds
    std::vector<std::int16_t> main_;
    std::vector<std::int16_t> side_;
    std::vector<std::int16_t> sideOut_;
    std::size_t mr_ = 0, mw_ = 0, sr_ = 0, sw_ = 0; // read and write frame positions
    Arrivals mainIn_, sideIn_;
    double lastMix_ = -1;

    SpeexResamplerState_* resampler_ = nullptr;
    double ratio_ = 1.0;    // side frames taken per input frame
    double integral_ = 0.0; // the loop's estimate of the drift
    double offset_ = 0.0;   // smoothed alignment error, seconds
    bool synced_ = false;
    bool joining_ = false;
    unsigned resyncs_ = 0;
};

// The clip-safe sum of two samples.
std::int16_t MixSamples(int a, int b);

} // namespace wavein
