#include "platform/StreamMixer.h"

#include <speex/speex_resampler.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace wavein {
namespace {

// The loop: a critically damped PI on the smoothed offset (natural
// frequency 0.05 rad/s), so a drift of 500 ppm that appears at once moves
// the two streams a few milliseconds apart at most before it is caught, and
// the ratio never jumps.
constexpr double kKp = 0.1;
constexpr double kKi = 0.0025;
constexpr double kSmoothSeconds = 2.0; // the offset is averaged over about this
constexpr double kMaxCorrection = 0.02;
// Beyond these the streams are realigned at once instead of steered (a new
// output, a stream that stalled): a gap or a cut, never a long glide.
constexpr double kResyncSmoothed = 0.1;
constexpr double kResyncRaw = 0.6;
// The lateness is the least of this last stretch: long enough to hold a
// few of a server's blocks, short enough to follow a clock 0.5 % off.
constexpr double kLatenessWindow = 0.5;
// A stream silent this long has stopped (a suspended output): its lateness
// starts again.
constexpr double kStreamGap = 1.0;
// The ratio's denominator: speex's fraction arithmetic needs den^2 < 2^32.
constexpr std::uint32_t kRatioDen = 65000;
// Quality 1, the sound servers' own default: the ratio stays within a
// fraction of a per cent of 1, and each step up costs more CPU.
constexpr int kQuality = 1;

// `n` frames from `pcm` (then past them), or silence for a hole (nullptr).
void CopyFrames(std::int16_t* to, const std::int16_t*& pcm, std::size_t n) {
    if (pcm != nullptr) {
        std::memcpy(to, pcm, n * StreamMixer::kChannels * sizeof(std::int16_t));
        pcm += n * StreamMixer::kChannels;
    } else {
        std::memset(to, 0, n * StreamMixer::kChannels * sizeof(std::int16_t));
    }
}

} // namespace

std::int16_t MixSamples(int a, int b) {
    // Plain sum up to the knee, then a tanh that reaches full scale only
    // at infinity: loud peaks are bent, never wrapped or cut square.
    constexpr int kKnee = 24576; // -2.5 dBFS
    constexpr double kRoom = 32767.0 - kKnee;
    const int s = a + b;
    const int mag = s < 0 ? -s : s;
    if (mag <= kKnee) {
        return static_cast<std::int16_t>(s);
    }
    const double bent = kKnee + kRoom * std::tanh((mag - kKnee) / kRoom);
    const int out = static_cast<int>(std::lround(std::min(bent, 32767.0)));
    return static_cast<std::int16_t>(s < 0 ? -out : out);
}

StreamMixer::StreamMixer(unsigned rate, double delaySeconds, double capacitySeconds)
    : rate_(rate), delay_(static_cast<std::size_t>(delaySeconds * rate)),
      capacity_(static_cast<std::size_t>(capacitySeconds * rate)),
      main_(capacity_ * kChannels), side_(capacity_ * kChannels),
      sideOut_(capacity_ * kChannels) {
    int err = 0;
    resampler_ = speex_resampler_init_frac(kChannels, kRatioDen, kRatioDen, rate, rate, kQuality,
                                           &err);
}

StreamMixer::~StreamMixer() {
    if (resampler_ != nullptr) {
        speex_resampler_destroy(resampler_);
    }
}

void StreamMixer::Compact(std::vector<std::int16_t>& buf, std::size_t& r, std::size_t& w) {
    if (r == 0) {
        return;
    }
    std::memmove(buf.data(), buf.data() + r * kChannels, (w - r) * kChannels * sizeof(std::int16_t));
    w -= r;
    r = 0;
}

void StreamMixer::Arrivals::Note(std::size_t frames, double now, unsigned rate) {
    if (last_ >= 0 && now - last_ > kStreamGap) {
        window_.clear();
    }
    last_ = now;
    frames_ += frames;
    const double lateness = now - static_cast<double>(frames_) / rate;
    while (!window_.empty() && window_.back().second >= lateness) {
        window_.pop_back();
    }
    window_.emplace_back(now, lateness);
    while (window_.front().first < now - kLatenessWindow) {
        window_.pop_front();
    }
}

void StreamMixer::Arrivals::Reset() {
    frames_ = 0;
    last_ = -1;
    window_.clear();
}

void StreamMixer::PushMain(const std::int16_t* pcm, std::size_t frames, double now) {
    mainIn_.Note(frames, now, rate_);
    while (frames > 0) {
        if (mw_ == capacity_) {
            Compact(main_, mr_, mw_);
            if (mw_ == capacity_) {
                mr_ += std::min(frames, mw_ - mr_); // never mixed: the oldest go
                Compact(main_, mr_, mw_);
            }
        }
        const std::size_t n = std::min(frames, capacity_ - mw_);
        CopyFrames(main_.data() + mw_ * kChannels, pcm, n);
        mw_ += n;
        frames -= n;
    }
}

void StreamMixer::PushSide(const std::int16_t* pcm, std::size_t frames, double now) {
    if (joining_) {
        joining_ = false;
        if (SideFill() > 0 && sideIn_.Known()) {
            // The new stream starts where the last one's sound would have
            // reached by now: the gap between them is silence.
            const double due = (now - sideIn_.Lateness()) * rate_ -
                               static_cast<double>(sideIn_.Frames()) - static_cast<double>(frames);
            const auto gap = static_cast<std::size_t>(
                std::clamp(due, 0.0, static_cast<double>(capacity_ - SideFill())));
            AppendSide(nullptr, gap);
            sideIn_.Add(gap);
            sideIn_.Forget();
        } else {
            ResetSide(); // nothing left of the last one: aligned afresh
        }
    }
    sideIn_.Note(frames, now, rate_);
    AppendSide(pcm, frames);
}

void StreamMixer::AppendSide(const std::int16_t* pcm, std::size_t frames) {
    while (frames > 0) {
        if (sw_ == capacity_) {
            Compact(side_, sr_, sw_);
            if (sw_ == capacity_) {
                // The input stopped coming: what is held is stale.
                sr_ = sw_ = 0;
                synced_ = false;
            }
        }
        const std::size_t n = std::min(frames, capacity_ - sw_);
        CopyFrames(side_.data() + sw_ * kChannels, pcm, n);
        sw_ += n;
        frames -= n;
    }
}

void StreamMixer::JoinSide() {
    joining_ = true;
}

void StreamMixer::ResetSide() {
    sr_ = sw_ = 0;
    sideIn_.Reset();
    synced_ = false;
    integral_ = 0.0; // another card, another clock
}

void StreamMixer::Resync(double error) {
    // error > 0: the side holds too much; < 0: too little.
    const long delta = std::lround(error * rate_);
    if (delta > 0) {
        sr_ += std::min(static_cast<std::size_t>(delta), sw_ - sr_);
    } else if (delta < 0) {
        auto gap = static_cast<std::size_t>(-delta);
        if (sr_ < gap) {
            if (sw_ + gap - sr_ > capacity_) {
                gap = capacity_ - (sw_ - sr_);
            }
            std::memmove(side_.data() + gap * kChannels, side_.data() + sr_ * kChannels,
                         (sw_ - sr_) * kChannels * sizeof(std::int16_t));
            sw_ = sw_ - sr_ + gap;
            sr_ = gap;
        }
        sr_ -= gap;
        std::memset(side_.data() + sr_ * kChannels, 0, gap * kChannels * sizeof(std::int16_t));
    }
    speex_resampler_reset_mem(resampler_);
    offset_ = 0.0;
    synced_ = true;
    ++resyncs_;
}

void StreamMixer::SteerRatio(double error, double dt) {
    offset_ += (error - offset_) * std::min(1.0, dt / kSmoothSeconds);
    integral_ = std::clamp(integral_ + kKi * offset_ * dt, -kMaxCorrection, kMaxCorrection);
    ratio_ = 1.0 + std::clamp(kKp * offset_ + integral_, -kMaxCorrection, kMaxCorrection);
    const auto num = static_cast<std::uint32_t>(std::lround(ratio_ * kRatioDen));
    speex_resampler_set_rate_frac(resampler_, num, kRatioDen, rate_, rate_);
}

std::size_t StreamMixer::Mix(std::int16_t* out, std::size_t maxFrames, double now) {
    if (MainFill() <= delay_ || resampler_ == nullptr) {
        return 0;
    }
    const std::size_t n = std::min(MainFill() - delay_, std::min(maxFrames, capacity_));
    const double dt = lastMix_ < 0 ? 0.0 : std::max(0.0, now - lastMix_);
    lastMix_ = now;
    if (sideIn_.Known() && mainIn_.Known()) {
        // When the frame each stream is at was made: its place in the
        // stream (what the resampler holds counted as not yet read) on the
        // stream's clock. The side's is too early when it holds too much.
        const double mainRead = static_cast<double>(mainIn_.Frames() - MainFill());
        const double sideRead = static_cast<double>(sideIn_.Frames()) -
                                static_cast<double>(SideFill()) -
                                speex_resampler_get_input_latency(resampler_);
        const double error = (mainIn_.Lateness() + mainRead / rate_) -
                             (sideIn_.Lateness() + sideRead / rate_);
        if (synced_) {
            SteerRatio(error, dt);
            if (std::fabs(error) > kResyncRaw || std::fabs(offset_) > kResyncSmoothed) {
                synced_ = false;
            }
        }
        if (!synced_ && SideFill() > 0) {
            Resync(error);
        }
    }
    std::size_t made = 0;
    if (synced_) {
        auto inLen = static_cast<spx_uint32_t>(SideFill());
        auto outLen = static_cast<spx_uint32_t>(n);
        speex_resampler_process_interleaved_int(resampler_, side_.data() + sr_ * kChannels, &inLen,
                                                sideOut_.data(), &outLen);
        sr_ += inLen;
        made = outLen;
        if (made < n) {
            synced_ = false; // ran dry: realigned when it comes again
        }
    }
    std::memset(sideOut_.data() + made * kChannels, 0, (n - made) * kChannels * sizeof(std::int16_t));
    const std::int16_t* m = main_.data() + mr_ * kChannels;
    for (std::size_t i = 0; i < n * kChannels; ++i) {
        out[i] = MixSamples(m[i], sideOut_[i]);
    }
    mr_ += n;
    if (mr_ == mw_) {
        mr_ = mw_ = 0;
    }
    return n;
}

std::size_t StreamMixer::Flush(std::int16_t* out, std::size_t maxFrames) {
    const std::size_t keep = delay_;
    delay_ = 0;
    const double now = lastMix_ < 0 ? 0.0 : lastMix_;
    std::size_t done = 0;
    while (done < maxFrames && MainFill() > 0) {
        const std::size_t n = Mix(out + done * kChannels, maxFrames - done, now);
        if (n == 0) {
            break;
        }
        done += n;
    }
    delay_ = keep;
    return done;
}

} // namespace wavein
