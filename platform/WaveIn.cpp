#include "platform/WaveIn.h"
#include "platform/Paths.h"

#include "platform/InputLevel.h"
#include "platform/MixedInput.h"
#include "platform/Translate.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace wavein {
namespace {

using Clock = std::chrono::steady_clock;
using platform::Printf;
using platform::Tr;
using platform::TrPlural;

std::string ConnectionLostText(int error) {
    // TRANSLATORS: why a recording stopped; %s is the sound server's reason.
    return Printf(Tr("the sound server connection was lost (%s)"), pa_strerror(error));
}

// The threaded main loop and its context, torn down in the right order.
class Connection {
  public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { Disconnect(); }

    // Connects without autospawning a server: no server means no devices.
    bool Connect() {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr) {
            return false;
        }
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Vestrel");
        pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, platform::kAppId);
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
        context_ =
            pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Vestrel", props);
        pa_proplist_free(props);
        if (context_ == nullptr) {
            return false;
        }
        pa_context_set_state_callback(context_, &Connection::OnContextState, this);
        if (pa_threaded_mainloop_start(loop_) < 0) {
            return false;
        }
        started_ = true;
        Lock lock(loop_);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return false;
        }
        for (;;) {
            const pa_context_state_t st = pa_context_get_state(context_);
            if (st == PA_CONTEXT_READY) {
                return true;
            }
            if (!PA_CONTEXT_IS_GOOD(st)) {
                return false;
            }
            pa_threaded_mainloop_wait(loop_);
        }
    }

    void Disconnect() {
        if (context_ != nullptr) {
            if (started_) {
                Lock lock(loop_);
                pa_context_set_state_callback(context_, nullptr, nullptr);
                pa_context_disconnect(context_);
            }
        }
        if (loop_ != nullptr && started_) {
            pa_threaded_mainloop_stop(loop_);
        }
        if (context_ != nullptr) {
            pa_context_unref(context_);
            context_ = nullptr;
        }
        if (loop_ != nullptr) {
            pa_threaded_mainloop_free(loop_);
            loop_ = nullptr;
        }
        started_ = false;
    }

    // Waits for an operation, with the main loop locked by the caller.
    void Wait(pa_operation* op) {
        if (op == nullptr) {
            return;
        }
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
            pa_threaded_mainloop_wait(loop_);
        }
        pa_operation_unref(op);
    }

    struct Lock {
        explicit Lock(pa_threaded_mainloop* l) : l_(l) { pa_threaded_mainloop_lock(l_); }
        ~Lock() { pa_threaded_mainloop_unlock(l_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        pa_threaded_mainloop* l_;
    };

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

    std::function<void(const std::string&)> onFailure;

  private:
    static void OnContextState(pa_context* c, void* self) {
        auto* conn = static_cast<Connection*>(self);
        const pa_context_state_t st = pa_context_get_state(c);
        if ((st == PA_CONTEXT_FAILED || st == PA_CONTEXT_TERMINATED) && conn->onFailure) {
            conn->onFailure(ConnectionLostText(pa_context_errno(c)));
        }
        pa_threaded_mainloop_signal(conn->loop_, 0);
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool started_ = false;
};

std::mutex g_devicesMutex;
std::vector<DeviceInfo> g_devices;
std::string g_defaultSource; // under g_devicesMutex

} // namespace

class Device {
  public:
    Device(Callback cb, std::uintptr_t instance, std::string description)
        : cb_(cb), instance_(instance), description_(std::move(description)) {}
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    ~Device() { Shutdown(); }

    Result Open(const char* source, const WaveFormat& fmt, bool withDesktop = false) {
        conn_.onFailure = [this](const std::string& why) { RaiseError(why); };
        if (!conn_.Connect()) {
            return kNoServer;
        }
        pa_sample_spec sampleSpec{};
        sampleSpec.format = PA_SAMPLE_S16LE;
        sampleSpec.rate = fmt.nSamplesPerSec;
        sampleSpec.channels = static_cast<std::uint8_t>(fmt.nChannels);
        if (fmt.wBitsPerSample != 16 || pa_sample_spec_valid(&sampleSpec) == 0) {
            return kError;
        }
        delivery_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "capture"); // for top and the benchmarks
            DeliveryLoop();
        });

        Connection::Lock lock(conn_.loop());
        // TRANSLATORS: the name the desktop's sound settings show for the program's recording
        // stream, after the program's name.
        stream_ = pa_stream_new(conn_.context(), Tr("Recording"), &sampleSpec, nullptr);
        if (stream_ == nullptr) {
            return kError;
        }
        pa_stream_set_state_callback(stream_, &Device::OnStreamState, this);
        pa_stream_set_read_callback(stream_, &Device::OnRead, this);
        pa_stream_set_moved_callback(stream_, &Device::OnMoved, this);
        pa_stream_set_overflow_callback(stream_, &Device::OnOverflow, this);
        spill_.reserve(kSpillSeconds * fmt.nAvgBytesPerSec);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = fmt.nAvgBytesPerSec / 10; // ~100 ms per wake-up
        if (withDesktop) {
            // The mix is aligned by when each stream's blocks come: blocks
            // as short as the desktop's keep that fine.
            attr.fragsize = fmt.nAvgBytesPerSec / 50;
            mixed_ = std::make_unique<MixedInput>(
                [this](const std::uint8_t* pcm, size_t nbytes) { Deliver(pcm, nbytes); });
        }
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
            PA_STREAM_DONT_MOVE); // a source that goes away ends the take, never moves it
        if (pa_stream_connect_record(stream_, source, &attr, flags) < 0) {
            return kBadDevice;
        }
        for (;;) {
            const pa_stream_state_t st = pa_stream_get_state(stream_);
            if (st == PA_STREAM_READY) {
                break;
            }
            if (!PA_STREAM_IS_GOOD(st)) {
                return kBadDevice;
            }
            pa_threaded_mainloop_wait(conn_.loop());
        }
        ready_ = true;
        if (mixed_) {
            mixed_->OpenLocked(conn_.context());
        }
        return kOk;
    }

    Result AddBuffer(WaveHeader* hdr) {
        std::lock_guard<std::mutex> lk(m_);
        hdr->dwFlags = (hdr->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        hdr->dwBytesRecorded = 0;
        queue_.push_back(hdr);
        // What came while no buffer was free goes first, in its order.
        while (spillAt_ < spill_.size() && !queue_.empty()) {
            WaveHeader* front = queue_.front();
            const size_t n = std::min<size_t>(front->dwBufferLength - front->dwBytesRecorded,
                                              spill_.size() - spillAt_);
            std::memcpy(front->lpData + front->dwBytesRecorded, spill_.data() + spillAt_, n);
            front->dwBytesRecorded += static_cast<std::uint32_t>(n);
            spillAt_ += n;
            if (front->dwBytesRecorded == front->dwBufferLength) {
                queue_.pop_front();
                MarkDoneLocked(front);
            }
        }
        if (spillAt_ == spill_.size()) {
            spill_.clear(); // keeps its reserve
            spillAt_ = 0;
        }
        return kOk;
    }

    Result Start() {
        {
            std::lock_guard<std::mutex> lk(m_);
            started_ = true;
            lastData_ = Clock::now();
        }
        Connection::Lock lock(conn_.loop());
        if (stream_ != nullptr && ready_) {
            pa_operation* op = pa_stream_cork(stream_, 0, nullptr, nullptr);
            if (op != nullptr) {
                pa_operation_unref(op);
            }
        }
        if (mixed_) {
            mixed_->StartLocked();
        }
        return kOk;
    }

    Result Stop() {
        {
            Connection::Lock lock(conn_.loop());
            if (stream_ != nullptr && ready_ && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
                // Take what the server already captured before corking.
                DrainLocked();
                pa_operation* op = pa_stream_cork(stream_, 1, nullptr, nullptr);
                if (op != nullptr) {
                    pa_operation_unref(op);
                }
            }
        }
        if (mixed_) {
            mixed_->Finish(); // the held-back end of the mix belongs in the take
        }
        std::unique_lock<std::mutex> lk(m_);
        started_ = false;
        if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0) {
            MarkDoneLocked(queue_.front());
            queue_.pop_front();
        }
        return WaitDeliveredLocked(lk);
    }

    Result Reset() {
        std::unique_lock<std::mutex> lk(m_);
        started_ = false;
        while (!queue_.empty()) {
            MarkDoneLocked(queue_.front());
            queue_.pop_front();
        }
        return WaitDeliveredLocked(lk);
    }

    double SecondsSinceData() {
        std::lock_guard<std::mutex> lk(m_);
        if (!started_) {
            return 0.0;
        }
        return std::chrono::duration<double>(Clock::now() - lastData_).count();
    }

    bool HasQueued() {
        std::lock_guard<std::mutex> lk(m_);
        return !queue_.empty() || !done_.empty();
    }

    void Shutdown() {
        ReportLoss();
        if (conn_.loop() != nullptr) {
            // The loop thread calls onFailure and the stream callbacks with
            // this lock held: clear them under it.
            Connection::Lock lock(conn_.loop());
            conn_.onFailure = nullptr;
            if (mixed_) {
                mixed_->CloseLocked();
            }
            ReleaseStreamLocked(stream_);
        } else {
            conn_.onFailure = nullptr;
        }
        conn_.Disconnect();
        {
            std::lock_guard<std::mutex> lk(m_);
            closing_ = true;
        }
        cv_.notify_all();
        if (delivery_.joinable()) {
            delivery_.join();
        }
        mixed_.reset();
    }

  private:
    void MarkDoneLocked(WaveHeader* hdr) {
        hdr->dwFlags = (hdr->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        done_.push_back(hdr);
        cv_.notify_all();
    }

    Result WaitDeliveredLocked(std::unique_lock<std::mutex>& lk) {
        cv_.wait(lk, [this] { return (done_.empty() && delivering_ == 0) || closing_; });
        return kOk;
    }

    void RaiseError(const std::string& why) {
        std::lock_guard<std::mutex> lk(m_);
        if (!errorRaised_) {
            errorRaised_ = true;
            error_ = why;
            errorPending_ = true;
            cv_.notify_all();
        }
    }

    // The read callback's work: copy into the current buffer, nothing more.
    void DrainLocked() {
        const void* data = nullptr;
        size_t nbytes = 0;
        while (pa_stream_readable_size(stream_) > 0) {
            if (pa_stream_peek(stream_, &data, &nbytes) < 0 || nbytes == 0) {
                break;
            }
            Copy(static_cast<const std::uint8_t*>(data), nbytes);
            pa_stream_drop(stream_);
        }
        if (mixed_) {
            mixed_->Wake();
        }
    }

    void Copy(const std::uint8_t* data, size_t nbytes) {
        {
            std::lock_guard<std::mutex> lk(m_);
            if (!started_) {
                return;
            }
            lastData_ = Clock::now();
            if (!mixed_) {
                FillLocked(data, nbytes);
                return;
            }
        }
        // The meter shows both sides as they come, not the mix that is
        // held back; and the pause applies to what is said during it.
        if (data != nullptr) {
            NoteInputPeak(data, nbytes);
        }
        mixed_->PushInput(data, nbytes, InputPaused()); // the mix comes back through Deliver
    }

    // The mix, from its own thread: the pause was applied before mixing.
    void Deliver(const std::uint8_t* data, size_t nbytes) {
        std::lock_guard<std::mutex> lk(m_);
        if (started_) {
            StoreLocked(data, nbytes);
        }
    }

    void FillLocked(const std::uint8_t* data, size_t nbytes) {
        if (data != nullptr) {
            NoteInputPeak(data, nbytes);
        }
        if (InputPaused()) {
            return; // dropped: the take goes on where the pause began
        }
        StoreLocked(data, nbytes);
    }

    void StoreLocked(const std::uint8_t* data, size_t nbytes) {
        if (spillAt_ < spill_.size()) {
            Spill(data, nbytes); // behind what waits for a buffer
            return;
        }
        while (nbytes > 0 && !queue_.empty()) {
            WaveHeader* hdr = queue_.front();
            const size_t room = hdr->dwBufferLength - hdr->dwBytesRecorded;
            const size_t n = std::min(room, nbytes);
            if (data != nullptr) {
                std::memcpy(hdr->lpData + hdr->dwBytesRecorded, data, n);
                data += n;
            } else {
                std::memset(hdr->lpData + hdr->dwBytesRecorded, 0, n); // a hole: silence
            }
            hdr->dwBytesRecorded += static_cast<std::uint32_t>(n);
            nbytes -= n;
            if (hdr->dwBytesRecorded == hdr->dwBufferLength) {
                queue_.pop_front();
                MarkDoneLocked(hdr);
            }
        }
        // Every buffer is still with the encoder (a loaded machine, a slow
        // disk): the audio waits in the reserve rather than being lost.
        Spill(data, nbytes);
    }

    void Spill(const std::uint8_t* data, size_t nbytes) {
        const size_t room = spill_.capacity() - spill_.size();
        const size_t n = std::min(room, nbytes);
        if (data != nullptr) {
            spill_.insert(spill_.end(), data, data + n);
        } else {
            spill_.insert(spill_.end(), n, 0);
        }
        droppedBytes_ += nbytes - n;
    }

    // Said on standard error: a take with a hole is a fault to be found.
    void ReportLoss() {
        std::lock_guard<std::mutex> lk(m_);
        if (droppedBytes_ > 0) {
            const auto n = static_cast<unsigned long long>(droppedBytes_);
            std::fprintf(stderr, "vestrel: %s\n",
                         // TRANSLATORS: said on standard error; English uses the same
                         // words for every number.
                         Printf(TrPlural("%llu bytes of audio were lost: no capture buffer was "
                                         "free",
                                         "%llu bytes of audio were lost: no capture buffer was "
                                         "free",
                                         static_cast<unsigned long>(n)),
                                n)
                             .c_str());
        }
        if (overflows_ > 0) {
            const unsigned n = overflows_.load();
            std::fprintf(stderr, "vestrel: %s\n",
                         // TRANSLATORS: said on standard error; English uses the same
                         // words for every number.
                         Printf(TrPlural("the sound server dropped audio of the recording %u "
                                         "times",
                                         "the sound server dropped audio of the recording %u "
                                         "times",
                                         n),
                                n)
                             .c_str());
        }
        droppedBytes_ = 0;
        overflows_ = 0;
    }

    void DeliveryLoop() {
        std::unique_lock<std::mutex> lk(m_);
        for (;;) {
            cv_.wait(lk, [this] { return closing_ || !done_.empty() || errorPending_; });
            if (closing_) {
                return;
            }
            if (!done_.empty()) {
                WaveHeader* hdr = done_.front();
                done_.pop_front();
                ++delivering_;
                lk.unlock();
                cb_(this, WIM_DATA, instance_, reinterpret_cast<std::uintptr_t>(hdr), 0);
                lk.lock();
                --delivering_;
                cv_.notify_all();
                continue;
            }
            if (errorPending_) {
                errorPending_ = false;
                const std::string why = error_;
                ++delivering_;
                lk.unlock();
                cb_(this, WIM_ERROR, instance_, reinterpret_cast<std::uintptr_t>(why.c_str()), 0);
                lk.lock();
                --delivering_;
                cv_.notify_all();
            }
        }
    }

    static void OnOverflow(pa_stream* /*s*/, void* self) {
        ++static_cast<Device*>(self)->overflows_;
    }

    static void OnRead(pa_stream* /*s*/, size_t /*nbytes*/, void* self) {
        static_cast<Device*>(self)->DrainLocked();
    }

    void DeviceLost() {
        RaiseError(description_.empty()
                       // TRANSLATORS: why a recording stopped; it follows "The recording
                       // stopped: ".
                       ? std::string(Tr("the recording device in use went away"))
                       // TRANSLATORS: why a recording stopped; %s is the device's name.
                       : Printf(Tr("the recording device \"%s\" went away"), description_.c_str()));
    }

    // PA_STREAM_DONT_MOVE refuses moves asked for by the user; a server
    // that moves the stream anyway does so to rescue it from a source that
    // vanished (pipewire-pulse moves a stream without the flag to the
    // default source). The user chose that device: the take ends.
    static void OnMoved(pa_stream* /*s*/, void* self) { static_cast<Device*>(self)->DeviceLost(); }

    static void OnStreamState(pa_stream* s, void* self) {
        auto* dev = static_cast<Device*>(self);
        const pa_stream_state_t st = pa_stream_get_state(s);
        if (dev->ready_ && (st == PA_STREAM_FAILED || st == PA_STREAM_TERMINATED)) {
            pa_context* c = pa_stream_get_context(s);
            if (pa_context_get_state(c) != PA_CONTEXT_READY) {
                dev->RaiseError(ConnectionLostText(pa_context_errno(c)));
            } else {
                // With PA_STREAM_DONT_MOVE the server kills the stream when
                // its source is removed (PulseAudio and pipewire-pulse both).
                dev->DeviceLost();
            }
        }
        pa_threaded_mainloop_signal(dev->conn_.loop(), 0);
    }

    Connection conn_;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> ready_{false};
    Callback cb_;
    std::uintptr_t instance_;
    std::string description_; // for telling the user which device went away

    std::mutex m_;
    std::condition_variable cv_;
    std::deque<WaveHeader*> queue_;
    std::deque<WaveHeader*> done_;
    int delivering_ = 0;
    bool started_ = false;
    bool closing_ = false;
    bool errorRaised_ = false;
    bool errorPending_ = false;
    std::string error_;
    Clock::time_point lastData_{};
    // Audio that came while every buffer was out, up to kSpillSeconds.
    static constexpr std::uint32_t kSpillSeconds = 10;
    std::vector<std::uint8_t> spill_;
    size_t spillAt_ = 0;
    std::uint64_t droppedBytes_ = 0;
    std::atomic<unsigned> overflows_{0};
    std::thread delivery_;
    std::unique_ptr<MixedInput> mixed_; // for an input + desktop audio
};

namespace {

void CollectSource(pa_context* /*c*/, const pa_source_info* info, int eol, void* userdata) {
    auto* out = static_cast<std::pair<std::vector<DeviceInfo>*, pa_threaded_mainloop*>*>(userdata);
    if (eol != 0 || info == nullptr) {
        pa_threaded_mainloop_signal(out->second, 0);
        return;
    }
    DeviceInfo d;
    d.name = info->name != nullptr ? info->name : "";
    d.description =
        info->description != nullptr && *info->description != '\0' ? info->description : d.name;
    d.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
    out->first->push_back(std::move(d));
}

void CollectDefaultSource(pa_context* /*c*/, const pa_server_info* info, void* userdata) {
    auto* out = static_cast<std::pair<std::string*, pa_threaded_mainloop*>*>(userdata);
    if (info != nullptr && info->default_source_name != nullptr) {
        *out->first = info->default_source_name;
    }
    pa_threaded_mainloop_signal(out->second, 0);
}

DeviceInfo WithDesktop(const DeviceInfo& input) {
    DeviceInfo d;
    d.name = input.name + kDesktopSuffix;
    // TRANSLATORS: the device list's entry that records an input together
    // with what the desktop plays (a call's other side); %s is the input's
    // name ("Built-in Audio Analog Stereo").
    d.description = platform::Printf(platform::Tr("%s + desktop audio"), input.description.c_str());
    d.withDesktop = true;
    return d;
}

} // namespace

unsigned waveInGetNumDevs() {
    std::vector<DeviceInfo> found;
    std::string defaultSource;
    Connection conn;
    if (conn.Connect()) {
        Connection::Lock lock(conn.loop());
        std::pair<std::vector<DeviceInfo>*, pa_threaded_mainloop*> ud{&found, conn.loop()};
        conn.Wait(pa_context_get_source_info_list(conn.context(), &CollectSource, &ud));
        std::pair<std::string*, pa_threaded_mainloop*> def{&defaultSource, conn.loop()};
        conn.Wait(pa_context_get_server_info(conn.context(), &CollectDefaultSource, &def));
        // After the sources, so that their numbers stay what they were.
        const size_t sources = found.size();
        for (size_t i = 0; i < sources; ++i) {
            if (!found[i].monitor) {
                found.push_back(WithDesktop(found[i]));
            }
        }
    }
    std::lock_guard<std::mutex> lk(g_devicesMutex);
    g_devices = std::move(found);
    g_defaultSource = std::move(defaultSource);
    return static_cast<unsigned>(g_devices.size());
}

std::string waveInGetDefaultSource() {
    std::lock_guard<std::mutex> lk(g_devicesMutex);
    return g_defaultSource;
}

bool waveInGetDevName(unsigned dev, std::string& name) {
    std::lock_guard<std::mutex> lk(g_devicesMutex);
    if (dev >= g_devices.size() || g_devices[dev].description.empty()) {
        return false;
    }
    name = g_devices[dev].description;
    return true;
}

bool waveInGetDevSource(unsigned dev, std::string& source) {
    std::lock_guard<std::mutex> lk(g_devicesMutex);
    if (dev >= g_devices.size()) {
        return false;
    }
    source = g_devices[dev].name;
    return true;
}

Result waveInOpen(HWaveIn* phwi, int deviceId, const WaveFormat& fmt, Callback cb,
                  std::uintptr_t instance) {
    if (phwi == nullptr || cb == nullptr) {
        return kError;
    }
    *phwi = nullptr;
    std::string source;
    std::string description;
    bool withDesktop = false;
    if (deviceId != kDefaultDevice) {
        std::lock_guard<std::mutex> lk(g_devicesMutex);
        if (deviceId < 0 || static_cast<size_t>(deviceId) >= g_devices.size()) {
            return kBadDevice;
        }
        const DeviceInfo& info = g_devices[static_cast<size_t>(deviceId)];
        source = info.name;
        description = info.description;
        withDesktop = info.withDesktop;
        if (withDesktop) {
            // The input's own name: what goes away when it is unplugged.
            source.resize(source.size() - std::string(kDesktopSuffix).size());
            for (const DeviceInfo& other : g_devices) {
                if (other.name == source) {
                    description = other.description;
                }
            }
        }
    }
    auto dev = std::make_unique<Device>(cb, instance, std::move(description));
    const Result r = dev->Open(source.empty() ? nullptr : source.c_str(), fmt, withDesktop);
    if (r != kOk) {
        return r;
    }
    *phwi = dev.release();
    return kOk;
}

Result waveInPrepareHeader(HWaveIn hwi, WaveHeader* hdr) {
    return hwi != nullptr && hdr != nullptr && hdr->lpData != nullptr ? kOk : kInvalidHandle;
}

Result waveInUnprepareHeader(HWaveIn hwi, WaveHeader* hdr) {
    if (hwi == nullptr || hdr == nullptr) {
        return kInvalidHandle;
    }
    return (hdr->dwFlags & WHDR_INQUEUE) != 0 ? kError : kOk;
}

Result waveInAddBuffer(HWaveIn hwi, WaveHeader* hdr) {
    if (hwi == nullptr || hdr == nullptr || hdr->lpData == nullptr || hdr->dwBufferLength == 0) {
        return kInvalidHandle;
    }
    return hwi->AddBuffer(hdr);
}

Result waveInStart(HWaveIn hwi) {
    return hwi != nullptr ? hwi->Start() : kInvalidHandle;
}
Result waveInStop(HWaveIn hwi) {
    return hwi != nullptr ? hwi->Stop() : kInvalidHandle;
}
Result waveInReset(HWaveIn hwi) {
    return hwi != nullptr ? hwi->Reset() : kInvalidHandle;
}

Result waveInClose(HWaveIn hwi) {
    if (hwi == nullptr) {
        return kInvalidHandle;
    }
    if (hwi->HasQueued()) {
        return kError; // still holds buffers: the caller must reset first
    }
    std::unique_ptr<Device> owned(hwi);
    owned->Shutdown();
    return kOk;
}

double waveInSecondsSinceData(HWaveIn hwi) {
    return hwi != nullptr ? hwi->SecondsSinceData() : 0.0;
}

std::string ErrorText(Result r) {
    switch (r) {
    case kOk:
        return Tr("no error");
    case kBadDevice:
        // TRANSLATORS: why the recording device could not be opened.
        return Tr("the sound server has no such input device, or refused it");
    case kNoServer:
        return Tr("no sound server is running");
    case kInvalidHandle:
        return Tr("the recording device is not open");
    default:
        return Tr("the sound server refused the recording format");
    }
}

} // namespace wavein
