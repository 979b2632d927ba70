// The second half of an "input + desktop audio" device: it records what
// the desktop's default output plays (the output's monitor), follows the
// default when it changes, and mixes it into the input's sound on a thread
// of its own (StreamMixer). The input's stream stays the wave-in device's:
// its read callback hands its data here and gets the mix back through the
// sink, in the input's clock and length.
#pragma once

#include "platform/StreamMixer.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct pa_context;
struct pa_stream;
struct pa_server_info;
struct pa_sink_info;

namespace wavein {

// With the loop locked: no more callbacks from `stream`, disconnected and
// released (nullptr after).
void ReleaseStreamLocked(pa_stream*& stream);

class MixedInput {
  public:
    // Gets the mixed PCM, on the mixing thread.
    using Sink = std::function<void(const std::uint8_t*, std::size_t)>;

    explicit MixedInput(Sink sink);
    ~MixedInput();
    MixedInput(const MixedInput&) = delete;
    MixedInput& operator=(const MixedInput&) = delete;

    // With the loop locked: follows the default output on this connection.
    void OpenLocked(pa_context* context);
    // With the loop locked: the take begins.
    void StartLocked();
    // With the loop locked: no more streams, events or callbacks.
    void CloseLocked();

    // The input's data, from its read callback (nullptr: a hole): copied.
    // What comes while `paused` is mixed like the rest, so the two sides
    // stay aligned, and its mix left out of what the sink gets.
    void PushInput(const std::uint8_t* data, std::size_t nbytes, bool paused);
    // At the end of the read callback: the mixing thread takes all it got
    // at once, so that it sees where the input is after the whole batch.
    void Wake();
    // Without the loop locked: mixes and delivers all the input given so
    // far, the held-back end included, then returns.
    void Finish();

  private:
    static void OnEvent(pa_context* c, int type, std::uint32_t idx, void* self);
    static void OnServerInfo(pa_context* c, const pa_server_info* info, void* self);
    static void OnSinkInfo(pa_context* c, const pa_sink_info* info, int eol, void* self);
    static void OnStreamState(pa_stream* s, void* self);
    static void OnRead(pa_stream* s, std::size_t nbytes, void* self);
    static void OnMoved(pa_stream* s, void* self);

    void LookUpDefault();
    void OpenMonitor(const char* sink, const char* monitor);
    void DropStream();
    void PushSide(const std::uint8_t* data, std::size_t nbytes);
    void MixLoop();

    Sink sink_;
    pa_context* context_ = nullptr;
    // Under the loop's lock:
    pa_stream* stream_ = nullptr;
    std::string sinkName_; // the output whose monitor stream_ records
    bool started_ = false;
    bool closed_ = false;

    // What the callbacks hand the mixing thread, under m_.
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::int16_t> mainStage_, sideStage_;
    std::size_t mainFrames_ = 0, sideFrames_ = 0;
    double mainAt_ = 0, sideAt_ = 0;
    bool sideJoin_ = false;    // another output's sound begins at joinAt_
    std::size_t joinAt_ = 0;   // in the side's stage
    double oldSideAt_ = 0;     // when the last output's last data came
    std::uint64_t mainStaged_ = 0; // the input's frames handed over so far
    // The input's frames (from, to) that came while paused, not yet taken.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pausedStage_;
    bool finish_ = false;
    bool finished_ = false;
    bool closing_ = false;

    // The mixing thread's own.
    void Deliver(std::size_t frames); // out_'s first `frames`, pauses left out
    std::deque<std::pair<std::uint64_t, std::uint64_t>> paused_;
    std::uint64_t mixed_ = 0; // the input's frames mixed so far
    StreamMixer mixer_;
    std::vector<std::int16_t> mainWork_, sideWork_, out_;
    std::thread thread_;
};

} // namespace wavein
