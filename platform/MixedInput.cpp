#include "platform/MixedInput.h"

#include "platform/InputLevel.h"
#include "platform/Translate.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace wavein {
namespace {

constexpr unsigned kRate = 44100;
constexpr std::size_t kFrameBytes = 4;
// What the callbacks may hand over between two runs of the mixing thread.
constexpr std::size_t kStageFrames = 2 * kRate;
// The output's stream wakes us in blocks of about this.
constexpr std::uint32_t kSideFragmentBytes = kRate * kFrameBytes / 50; // 20 ms

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Ports that play into the ear only: the microphone cannot hear them.
bool IntoTheEar(std::uint32_t type) {
    return type == PA_DEVICE_PORT_TYPE_HEADPHONES || type == PA_DEVICE_PORT_TYPE_HEADSET ||
           type == PA_DEVICE_PORT_TYPE_HANDSET || type == PA_DEVICE_PORT_TYPE_EARPIECE;
}

void Append(std::vector<std::int16_t>& stage, std::size_t& frames, const std::uint8_t* data,
            std::size_t nbytes) {
    const std::size_t n = std::min(nbytes / kFrameBytes, kStageFrames - frames);
    std::int16_t* to = stage.data() + frames * 2;
    if (data != nullptr) {
        std::memcpy(to, data, n * kFrameBytes);
    } else {
        std::memset(to, 0, n * kFrameBytes);
    }
    frames += n; // beyond the stage the mixing thread has stalled: the rest is lost
}

} // namespace

MixedInput::MixedInput(Sink sink)
    : sink_(std::move(sink)), mainStage_(kStageFrames * 2), sideStage_(kStageFrames * 2),
      mixer_(kRate), mainWork_(kStageFrames * 2), sideWork_(kStageFrames * 2),
      out_(kStageFrames * 2) {
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "mix");
        MixLoop();
    });
}

MixedInput::~MixedInput() {
    {
        std::lock_guard<std::mutex> lk(m_);
        closing_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    SetDesktopAudio(DesktopAudio::Off);
    SetDesktopOnSpeakers(false);
}

void MixedInput::OpenLocked(pa_context* context) {
    context_ = context;
    SetDesktopAudio(DesktopAudio::Recording);
    SetDesktopOnSpeakers(false);
    pa_context_set_subscribe_callback(
        context_,
        [](pa_context* c, pa_subscription_event_type_t t, std::uint32_t idx, void* self) {
            OnEvent(c, static_cast<int>(t), idx, self);
        },
        this);
    const auto mask =
        static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK);
    if (pa_operation* op = pa_context_subscribe(context_, mask, nullptr, nullptr)) {
        pa_operation_unref(op);
    }
    LookUpDefault();
}

void MixedInput::StartLocked() {
    started_ = true;
    if (stream_ != nullptr && pa_stream_get_state(stream_) == PA_STREAM_READY) {
        if (pa_operation* op = pa_stream_cork(stream_, 0, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
    }
}

void MixedInput::CloseLocked() {
    closed_ = true;
    if (context_ != nullptr) {
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    }
    DropStream();
}

void MixedInput::LookUpDefault() {
    if (closed_ || context_ == nullptr) {
        return;
    }
    if (pa_operation* op = pa_context_get_server_info(context_, &MixedInput::OnServerInfo, this)) {
        pa_operation_unref(op);
    }
}

void MixedInput::OnEvent(pa_context* /*c*/, int type, std::uint32_t /*idx*/, void* self) {
    auto* mi = static_cast<MixedInput*>(self);
    const int facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    // A new default output, or an output come or gone: where is the default now?
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER ||
        (facility == PA_SUBSCRIPTION_EVENT_SINK &&
         (type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE)) {
        mi->LookUpDefault();
    }
}

void MixedInput::OnServerInfo(pa_context* c, const pa_server_info* info, void* self) {
    auto* mi = static_cast<MixedInput*>(self);
    if (mi->closed_) {
        return;
    }
    const char* sink = info != nullptr ? info->default_sink_name : nullptr;
    // With no output left, both servers name a stand-in that plays nowhere
    // (PipeWire always, PulseAudio with module-always-sink).
    if (sink == nullptr || *sink == '\0' || std::strcmp(sink, "@DEFAULT_SINK@") == 0 ||
        std::strcmp(sink, "auto_null") == 0) {
        mi->DropStream();
        SetDesktopAudio(DesktopAudio::NoOutput);
        return;
    }
    if (mi->stream_ != nullptr && mi->sinkName_ == sink) {
        return; // still the same output
    }
    if (pa_operation* op = pa_context_get_sink_info_by_name(c, sink, &MixedInput::OnSinkInfo, mi)) {
        pa_operation_unref(op);
    }
}

void MixedInput::OnSinkInfo(pa_context* /*c*/, const pa_sink_info* info, int eol, void* self) {
    auto* mi = static_cast<MixedInput*>(self);
    if (mi->closed_) {
        return;
    }
    if (eol < 0) {
        // The default named an output that is already gone: none to record
        // until the server settles on another.
        if (mi->stream_ == nullptr) {
            SetDesktopAudio(DesktopAudio::NoOutput);
        }
        return;
    }
    if (info == nullptr) {
        return;
    }
    const bool speakers = info->active_port != nullptr &&
                          info->active_port->type != PA_DEVICE_PORT_TYPE_UNKNOWN &&
                          !IntoTheEar(info->active_port->type);
    SetDesktopOnSpeakers(speakers);
    if (mi->stream_ != nullptr && mi->sinkName_ == info->name) {
        return;
    }
    mi->OpenMonitor(info->name, info->monitor_source_name);
}

void MixedInput::OpenMonitor(const char* sink, const char* monitor) {
    DropStream();
    if (monitor == nullptr || *monitor == '\0') {
        SetDesktopAudio(DesktopAudio::NoOutput);
        return;
    }
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = kRate;
    spec.channels = 2;
    // TRANSLATORS: the name the desktop's sound settings show for the
    // program's second recording stream, the one of what the desktop plays,
    // after the program's name.
    stream_ = pa_stream_new(context_, platform::Tr("Desktop audio"), &spec, nullptr);
    if (stream_ == nullptr) {
        SetDesktopAudio(DesktopAudio::NoOutput);
        return;
    }
    sinkName_ = sink;
    {
        // Another output: what the last one gave is still mixed, and the
        // new one's sound joins it where it stopped.
        std::lock_guard<std::mutex> lk(m_);
        sideJoin_ = true;
        joinAt_ = sideFrames_;
        oldSideAt_ = sideAt_;
    }
    pa_stream_set_state_callback(stream_, &MixedInput::OnStreamState, this);
    pa_stream_set_read_callback(stream_, &MixedInput::OnRead, this);
    pa_stream_set_moved_callback(stream_, &MixedInput::OnMoved, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = kSideFragmentBytes;
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                PA_STREAM_DONT_MOVE); // followed by hand
    if (!started_) {
        flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_START_CORKED);
    }
    if (pa_stream_connect_record(stream_, monitor, &attr, flags) < 0) {
        DropStream();
        SetDesktopAudio(DesktopAudio::NoOutput);
    }
}

void ReleaseStreamLocked(pa_stream*& stream) {
    if (stream == nullptr) {
        return;
    }
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_moved_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

void MixedInput::DropStream() {
    ReleaseStreamLocked(stream_);
    sinkName_.clear();
}

void MixedInput::OnStreamState(pa_stream* s, void* self) {
    auto* mi = static_cast<MixedInput*>(self);
    const pa_stream_state_t st = pa_stream_get_state(s);
    if (st == PA_STREAM_READY) {
        SetDesktopAudio(DesktopAudio::Recording);
        if (mi->started_) {
            if (pa_operation* op = pa_stream_cork(s, 0, nullptr, nullptr)) {
                pa_operation_unref(op);
            }
        }
    } else if (st == PA_STREAM_FAILED || st == PA_STREAM_TERMINATED) {
        // Its output went away: the microphone goes on alone until the
        // server names another default.
        mi->DropStream();
        SetDesktopAudio(DesktopAudio::NoOutput);
        mi->LookUpDefault();
    }
}

void MixedInput::OnMoved(pa_stream* /*s*/, void* self) {
    // Moved by the server to some other source: back to the default's monitor.
    auto* mi = static_cast<MixedInput*>(self);
    mi->DropStream();
    mi->LookUpDefault();
}

void MixedInput::OnRead(pa_stream* s, std::size_t /*nbytes*/, void* self) {
    auto* mi = static_cast<MixedInput*>(self);
    const void* data = nullptr;
    std::size_t nbytes = 0;
    while (pa_stream_readable_size(s) > 0) {
        if (pa_stream_peek(s, &data, &nbytes) < 0 || nbytes == 0) {
            break;
        }
        mi->PushSide(static_cast<const std::uint8_t*>(data), nbytes);
        pa_stream_drop(s);
    }
}

void MixedInput::PushSide(const std::uint8_t* data, std::size_t nbytes) {
    if (data != nullptr && started_) {
        NoteInputPeak(data, nbytes); // the meter and the silence watch hear both sides
    }
    std::lock_guard<std::mutex> lk(m_);
    Append(sideStage_, sideFrames_, data, nbytes);
    sideAt_ = Now();
}

void MixedInput::PushInput(const std::uint8_t* data, std::size_t nbytes, bool paused) {
    std::lock_guard<std::mutex> lk(m_);
    const std::size_t before = mainFrames_;
    Append(mainStage_, mainFrames_, data, nbytes);
    mainAt_ = Now();
    // Mixed like the rest, so both sides stay aligned; the mix of these
    // frames is left out when it comes.
    const std::uint64_t from = mainStaged_;
    mainStaged_ += mainFrames_ - before;
    if (paused && mainStaged_ > from) {
        if (!pausedStage_.empty() && pausedStage_.back().second == from) {
            pausedStage_.back().second = mainStaged_;
        } else {
            pausedStage_.emplace_back(from, mainStaged_);
        }
    }
}

void MixedInput::Wake() {
    cv_.notify_all(); // Finish may be waiting on it too
}

void MixedInput::Finish() {
    std::unique_lock<std::mutex> lk(m_);
    finish_ = true;
    finished_ = false;
    cv_.notify_all();
    cv_.wait_for(lk, std::chrono::seconds(3), [this] { return finished_ || closing_; });
}

void MixedInput::Deliver(std::size_t frames) {
    // `frames` of the mix, made from the input's frames mixed_ on: what
    // was mixed from paused input is dropped.
    std::size_t at = 0;
    while (at < frames) {
        const std::uint64_t pos = mixed_ + at;
        while (!paused_.empty() && paused_.front().second <= pos) {
            paused_.pop_front();
        }
        std::size_t n = frames - at;
        bool keep = true;
        if (!paused_.empty()) {
            if (paused_.front().first <= pos) {
                keep = false;
                n = std::min<std::uint64_t>(n, paused_.front().second - pos);
            } else {
                n = std::min<std::uint64_t>(n, paused_.front().first - pos);
            }
        }
        if (keep) {
            sink_(reinterpret_cast<const std::uint8_t*>(out_.data() + at * 2), n * kFrameBytes);
        }
        at += n;
    }
    mixed_ += frames;
}

void MixedInput::MixLoop() {
    for (;;) {
        std::size_t mainFrames = 0;
        std::size_t sideFrames = 0;
        double mainAt = 0;
        double sideAt = 0;
        bool join = false;
        std::size_t joinAt = 0;
        double oldSideAt = 0;
        bool finish = false;
        {
            std::unique_lock<std::mutex> lk(m_);
            cv_.wait(lk, [this] { return closing_ || mainFrames_ > 0 || finish_; });
            if (closing_) {
                return;
            }
            // Copied out, so the callbacks never wait for the mixing.
            std::copy_n(mainStage_.data(), mainFrames_ * 2, mainWork_.data());
            std::copy_n(sideStage_.data(), sideFrames_ * 2, sideWork_.data());
            std::swap(mainFrames, mainFrames_);
            std::swap(sideFrames, sideFrames_);
            mainAt = mainAt_;
            sideAt = sideAt_;
            std::swap(join, sideJoin_);
            joinAt = joinAt_;
            oldSideAt = oldSideAt_;
            paused_.insert(paused_.end(), pausedStage_.begin(), pausedStage_.end());
            pausedStage_.clear();
            finish = finish_;
        }
        std::size_t sideFrom = 0;
        if (join) {
            if (joinAt > 0) {
                mixer_.PushSide(sideWork_.data(), joinAt, oldSideAt); // the last output's end
            }
            mixer_.JoinSide();
            sideFrom = joinAt;
        }
        if (sideFrames > sideFrom) {
            mixer_.PushSide(sideWork_.data() + sideFrom * 2, sideFrames - sideFrom, sideAt);
        }
        if (mainFrames > 0) {
            mixer_.PushMain(mainWork_.data(), mainFrames, mainAt);
        }
        Deliver(mixer_.Mix(out_.data(), kStageFrames, Now()));
        if (finish) {
            for (std::size_t n; (n = mixer_.Flush(out_.data(), kStageFrames)) > 0;) {
                Deliver(n);
            }
            std::lock_guard<std::mutex> lk(m_);
            finish_ = false;
            finished_ = true;
            cv_.notify_all();
        }
    }
}

} // namespace wavein
