#include "recorder/RecordControl.h"

#include "platform/InputLevel.h"
#include "platform/Trash.h"
#include "platform/WaveIn.h"
#include "recorder/Capture.h"
#include "recorder/Encoder.h"

#include <pthread.h>
#include <wx/string.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <thread>

std::atomic<bool> g_bRecording{false};
std::atomic<pthread_t> g_hRecordThread{0};

namespace {

constexpr auto kPoll = std::chrono::milliseconds(100);

// Wakes the recording thread's wait at once on Stop, so that a take ends
// when it is asked to, not up to a poll (and a sync) later.
std::mutex g_wakeMutex;
std::condition_variable g_wake;

std::thread g_recordThread;

// Each Record starts a new generation; a take's end carries its own, so a
// late report can tell whether it is about the recording now running.
std::atomic<unsigned> g_generation{0};

std::mutex g_observerMutex;
RecordObserver* g_observer = nullptr; // under g_observerMutex

template <typename F> void Tell(F&& f) {
    std::lock_guard<std::mutex> lk(g_observerMutex);
    if (g_observer != nullptr) {
        f(*g_observer);
    }
}

int RecordThreadBody(unsigned generation);

} // namespace

void SetRecordObserver(RecordObserver* observer) {
    std::lock_guard<std::mutex> lk(g_observerMutex);
    g_observer = observer;
}

std::string StartFailureText(const std::string& error) {
    return "The recording could not be started.\n\n" + error;
}

std::string TakeEndText(const TakeEnd& end) {
    return "The recording stopped: " + end.failure + ".\n\n" +
           (end.keptAt.empty() ? std::string("It could not be saved.")
                               : "What was recorded up to then is kept in " + end.keptAt + ".");
}

bool IsCurrentTake(unsigned generation) {
    return generation == g_generation.load();
}

unsigned ParseBitrate(const wxString& text) {
    int kbps = 128;
    if (std::sscanf(text.utf8_str().data(), "%d Kbps", &kbps) != 1 || kbps <= 0) {
        kbps = 128;
    }
    return static_cast<unsigned>(kbps);
}

bool StartRecording(const RecordRequest& req, std::string& error) {
    if (g_hRecordThread.load() != 0 || g_recordThread.joinable()) {
        StopRecording(); // never two recording threads
    }
    ClearCaptureFailure();
    // Everything that can fail is opened and checked before the output
    // file is touched: a Record that does not start changes no file.
    if (LoadEncoder(&error) == 0 || !CheckOutputFile(req.fileName, &error) ||
        InitEncoderStream(req.bitrate, &error) == 0) {
        return false;
    }
    std::string why;
    if (!OpenCapture(req.deviceId, &why)) {
        CloseEncoderStream();
        std::string name;
        const bool named = req.deviceId >= 0 &&
                           wavein::waveInGetDevName(static_cast<unsigned>(req.deviceId), name);
        error = "The recording device " + (named ? "\"" + name + "\" " : std::string()) +
                "could not be opened: " + why + ".";
        return false;
    }
    auto undo = [] {
        CloseCapture();
        CloseEncoderStream();
    };
    const platform::KeptFile kept = platform::KeepBeforeReplacing(req.fileName);
    if (!kept.ok) {
        undo();
        error = "The file " + req.fileName + " could not be moved to the Trash before being " +
                "replaced: " + kept.error + ".";
        return false;
    }
    if (!OpenOutputFile(req.fileName, &why)) {
        undo();
        error = why;
        if (!kept.keptAs.empty()) {
            error += " The earlier file is kept in " + kept.keptAs + ".";
        }
        return false;
    }
    g_bRecording = true;
    const unsigned generation = ++g_generation;
    try {
        // The thread waits until its handle is stored, so that a thread
        // that ends at once still clears it after it was set.
        std::promise<void> stored;
        std::future<void> go = stored.get_future();
        g_recordThread = std::thread([generation, go = std::move(go)]() mutable {
            pthread_setname_np(pthread_self(), "record");
            go.wait();
            RecordThreadBody(generation);
        });
        g_hRecordThread = g_recordThread.native_handle();
        stored.set_value();
    } catch (const std::system_error& e) {
        g_bRecording = false;
        undo();
        error = std::string("The recording could not be started: ") + e.what() + ".";
        return false;
    }
    return true;
}

void StopRecording() {
    const bool wasRunning = g_hRecordThread.load() != 0;
    {
        std::lock_guard<std::mutex> lk(g_wakeMutex);
        g_bRecording = false;
    }
    g_wake.notify_all();
    if (wasRunning) {
        while (g_hRecordThread.load() != 0) {
            std::this_thread::sleep_for(kPoll);
        }
    }
    if (g_recordThread.joinable()) {
        g_recordThread.join(); // it has finished its work: only its return is left
    }
}

int RecordThreadProc() {
    return RecordThreadBody(g_generation.load());
}

namespace {

int RecordThreadBody(unsigned generation) {
    wavein::TakeInputPeak(wavein::PeakReader::Engine); // what came before is not this take's
    Tell([](RecordObserver& o) { o.RecordingStarted(); });
    wavein::waveInStart(g_hWaveIn.load());

    std::string failure;
    auto lastSound = std::chrono::steady_clock::now();
    std::uint32_t synced = 0;
    while (g_bRecording) {
        {
            std::unique_lock<std::mutex> lk(g_wakeMutex);
            if (g_wake.wait_for(lk, kPoll, [] { return !g_bRecording; })) {
                break;
            }
        }
        const int peak = wavein::TakeInputPeak(wavein::PeakReader::Engine);
        const auto now = std::chrono::steady_clock::now();
        if (wavein::InputPaused() ||
            (peak > 0 && 20.0 * std::log10(peak / double(wavein::kFullScale)) >= kSilenceDb)) {
            lastSound = now;
        }
        const bool silent =
            std::chrono::duration<double>(now - lastSound).count() >= kSilenceSeconds;
        Tell([peak, silent](RecordObserver& o) { o.RecordingLevel(peak, silent); });
        // Each second written is made durable here, off the capture path.
        const std::uint32_t written = g_dwBuffersWritten.load();
        if (written != synced) {
            synced = written;
            if (!SyncOutputFile(&failure)) {
                break;
            }
        }
        if (g_bCaptureFailed) {
            failure = CaptureFailureReason();
            break;
        }
        if (wavein::waveInSecondsSinceData(g_hWaveIn.load()) > kStallSeconds) {
            failure = "the recording device stopped delivering sound";
            break;
        }
    }

    CloseCapture();
    std::string closeError;
    std::string keptAt;
    bool rescued = false;
    if (!CloseEncoderStream(&closeError, &keptAt, &rescued) && failure.empty()) {
        failure = closeError;
    }
    if (failure.empty() && g_bCaptureFailed) {
        failure = CaptureFailureReason(); // a write that failed at the very end
    }
    if (failure.empty() && rescued) {
        failure = kFileRemoved;
    }
    // Last: the front end's Stop waits for this.
    g_hRecordThread = 0;
    Tell([&](RecordObserver& o) { o.RecordingEnded(TakeEnd{failure, keptAt, generation}); });
    return 0;
}

} // namespace
