#include "recorder/RecordControl.h"

#include "platform/InputLevel.h"
#include "platform/Translate.h"
#include "platform/Trash.h"
#include "platform/WaveIn.h"
#include "recorder/Capture.h"
#include "recorder/Encoder.h"
#include "recorder/TakeFile.h"

#include <pthread.h>
#include <wx/string.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <thread>
#include <unistd.h>

std::atomic<bool> g_bRecording{false};
std::atomic<pthread_t> g_hRecordThread{0};

using platform::Printf;
using platform::Tr;

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

std::mutex g_takeMutex;
TakeEnd g_lastEnd; // under g_takeMutex

int RecordThreadBody(unsigned generation, const platform::KeptFile& earlier,
                     const std::string& fileName);

} // namespace

void SetRecordObserver(RecordObserver* observer) {
    std::lock_guard<std::mutex> lk(g_observerMutex);
    g_observer = observer;
}

std::string StartFailureText(const std::string& error) {
    // TRANSLATORS: %s is why, a sentence such as "The file ... could not be created: ...".
    return Printf(Tr("The recording could not be started.\n\n%s"), error.c_str());
}

std::string EarlierFileText(const TakeEnd& end) {
    if (end.earlier.empty() || end.putBack) {
        return {};
    }
    if (end.earlier == platform::kInTrash) {
        // TRANSLATORS: %s is the file's full path.
        return Printf(Tr("The earlier file %s is in the Trash."), end.fileName.c_str());
    }
    // TRANSLATORS: %s is the new full path of the file that had the take's name.
    return Printf(Tr("The earlier file of that name is kept as %s."), end.earlier.c_str());
}

std::string TakeEndText(const TakeEnd& end) {
    std::string text;
    if (end.putBack) {
        // TRANSLATORS: the first %s is why (such as "writing the file failed (No space left
        // on device)"), the second the file's full path.
        text = Printf(Tr("The recording stopped: %s.\n\nNothing of it could be written, so the "
                         "earlier file is back in %s."),
                      end.failure.c_str(), end.fileName.c_str());
    } else if (end.keptAt.empty()) {
        text =
            // TRANSLATORS: %s is why, such as "the recording device "USB Microphone" went away".
            Printf(Tr("The recording stopped: %s.\n\nIt could not be saved."), end.failure.c_str());
    } else {
        // TRANSLATORS: why it stopped, the take's length ("3:12"), its size ("1.5 MB"), the
        // file's full path.
        text = Printf(Tr("The recording stopped: %s.\n\nWhat was recorded up to then (%s, %s) is "
                         "kept in %s."),
                      end.failure.c_str(), FormatTakeTime(end.seconds).c_str(),
                      FormatTakeSize(end.bytes).c_str(), end.keptAt.c_str());
    }
    const std::string earlier = EarlierFileText(end);
    return earlier.empty() ? text : text + "\n\n" + earlier;
}

TakeEnd LastTakeEnd() {
    std::lock_guard<std::mutex> lk(g_takeMutex);
    return g_lastEnd;
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
        // TRANSLATORS: the device's name as the device list shows it, then why.
        error = named ? Printf(Tr("The recording device \"%s\" could not be opened: %s."),
                               name.c_str(), why.c_str())
                      // TRANSLATORS: %s is why.
                      : Printf(Tr("The recording device could not be opened: %s."), why.c_str());
        return false;
    }
    auto undo = [] {
        CloseCapture();
        CloseEncoderStream();
    };
    const platform::KeptFile kept = platform::KeepBeforeReplacing(req.fileName);
    if (!kept.ok) {
        undo();
        // TRANSLATORS: the file's full path, then why.
        error = Printf(Tr("The file %s could not be moved to the Trash before being replaced: %s."),
                       req.fileName.c_str(), kept.error.c_str());
        return false;
    }
    if (!OpenOutputFile(req.fileName, &why)) {
        undo();
        error = why;
        if (!kept.keptAs.empty()) {
            error =
                // TRANSLATORS: the first %s says why the file could not be created; the second is
                // the new full path of the file that had that name.
                Printf(Tr("%s The earlier file is kept in %s."), why.c_str(), kept.keptAs.c_str());
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
        g_recordThread =
            std::thread([generation, kept, file = req.fileName, go = std::move(go)]() mutable {
                pthread_setname_np(pthread_self(), "record");
                go.wait();
                RecordThreadBody(generation, kept, file);
            });
        g_hRecordThread = g_recordThread.native_handle();
        stored.set_value();
    } catch (const std::system_error& e) {
        g_bRecording = false;
        undo();
        // TRANSLATORS: %s is the system's reason, such as "Resource temporarily unavailable".
        error = Printf(Tr("The recording could not be started: %s."), e.what());
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
    return RecordThreadBody(g_generation.load(), platform::KeptFile{}, std::string());
}

namespace {

// Minutes of the take at its bit rate that the output's file system still
// has room for; negative when it does not say.
double MinutesLeft() {
    std::uint64_t bytes = 0;
    const double perMinute = g_beConfig.format.LHV1.dwBitrate * 1000.0 / 8 * 60;
    if (perMinute <= 0 || !OutputSpaceLeft(&bytes)) {
        return -1;
    }
    return static_cast<double>(bytes) / perMinute;
}

int RecordThreadBody(unsigned generation, const platform::KeptFile& earlier,
                     const std::string& fileName) {
    wavein::TakeInputPeak(wavein::PeakReader::Engine); // what came before is not this take's
    Tell([](RecordObserver& o) { o.RecordingStarted(); });
    wavein::waveInStart(g_hWaveIn.load());

    std::string failure;
    auto lastSound = std::chrono::steady_clock::now();
    // Since when this thread has been running on time: a process that was
    // not run at all (a loaded machine, SIGSTOP) got no audio either, and
    // the server holds it until the capture thread reads it.
    auto awake = lastSound;
    auto lastPoll = lastSound;
    std::uint32_t synced = 0;
    bool spaceTold = false;
    while (g_bRecording) {
        {
            std::unique_lock<std::mutex> lk(g_wakeMutex);
            if (g_wake.wait_for(lk, kPoll, [] { return !g_bRecording; })) {
                break;
            }
        }
        const int peak = wavein::TakeInputPeak(wavein::PeakReader::Engine);
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPoll > kPoll + std::chrono::seconds(1)) {
            awake = now;
        }
        lastPoll = now;
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
            const double left = spaceTold ? -1 : MinutesLeft();
            if (left >= 0 && left < kDiskWarnMinutes) {
                spaceTold = true;
                Tell([left](RecordObserver& o) { o.DiskAlmostFull(left); });
            }
        }
        if (g_bCaptureFailed) {
            failure = CaptureFailureReason();
            break;
        }
        if (wavein::waveInSecondsSinceData(g_hWaveIn.load()) > kStallSeconds &&
            std::chrono::duration<double>(now - awake).count() > kStallSeconds) {
            // TRANSLATORS: why a recording stopped; it follows "The recording stopped: ".
            failure = Tr("the recording device stopped delivering sound");
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
        failure = Tr(kFileRemoved);
    }
    TakeEnd end;
    end.failure = failure;
    end.keptAt = keptAt;
    end.generation = generation;
    end.fileName = fileName;
    end.earlier = earlier.keptAs;
    if (!keptAt.empty()) {
        end.seconds = TakeFileSeconds(keptAt);
        end.bytes = TakeFileBytes(keptAt);
    }
    // A take that could not write one whole frame (a full disk) gives the
    // name back to the file it replaced.
    if (!failure.empty() && keptAt == fileName && !earlier.keptAs.empty() && end.seconds == 0 &&
        ::unlink(fileName.c_str()) == 0) {
        end.putBack = platform::PutBack(earlier, fileName);
        end.keptAt.clear();
        end.bytes = 0;
    }
    {
        std::lock_guard<std::mutex> lk(g_takeMutex);
        g_lastEnd = end;
    }

    // Last: the front end's Stop waits for this.
    g_hRecordThread = 0;
    Tell([&](RecordObserver& o) { o.RecordingEnded(end); });
    return 0;
}

} // namespace
