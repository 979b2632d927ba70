#include "recorder/RecordControl.h"

#include "recorder/Capture.h"
#include "recorder/Encoder.h"
#include "ui/EnableControls.h"

#include <wx/string.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

std::atomic<bool> g_bRecording{false};
std::atomic<pthread_t> g_hRecordThread{0};

namespace {

constexpr auto kPoll = std::chrono::milliseconds(100);

std::mutex g_handlerMutex;
std::function<void(const std::string&)> g_failureHandler;
std::thread g_recordThread;

} // namespace

unsigned ParseBitrate(const wxString& text) {
    int kbps = 128;
    if (std::sscanf(text.utf8_str().data(), "%d Kbps", &kbps) != 1 || kbps <= 0) {
        kbps = 128;
    }
    return static_cast<unsigned>(kbps);
}

void SetRecordingFailureHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> lk(g_handlerMutex);
    g_failureHandler = std::move(handler);
}

bool StartRecording(const RecordRequest& req, std::string& error) {
    if (g_hRecordThread.load() != 0 || g_recordThread.joinable()) {
        StopRecording(); // never two recording threads
    }
    ClearCaptureFailure();
    if (OpenEncoderStream(req.fileName, req.bitrate, &error) == 0) {
        return false;
    }
    std::string why;
    if (!OpenCapture(req.deviceId, &why)) {
        CloseEncoderStream();
        error = "The recording device could not be opened: " + why + ".";
        return false;
    }
    g_bRecording = true;
    try {
        g_recordThread = std::thread(RecordThreadProc);
        g_hRecordThread = g_recordThread.native_handle();
    } catch (const std::system_error& e) {
        g_bRecording = false;
        CloseCapture();
        CloseEncoderStream();
        error = std::string("The recording could not be started: ") + e.what() + ".";
        return false;
    }
    return true;
}

void StopRecording() {
    const bool wasRunning = g_hRecordThread.load() != 0;
    g_bRecording = false;
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
    EnableControls(false, true);
    wavein::waveInStart(g_hWaveIn.load());

    std::string failure;
    while (g_bRecording) {
        std::this_thread::sleep_for(kPoll);
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
    if (!CloseEncoderStream(&closeError) && failure.empty()) {
        failure = closeError;
    }
    if (failure.empty() && g_bCaptureFailed) {
        failure = CaptureFailureReason(); // a write that failed at the very end
    }

    // Last: the GUI thread's Stop waits for this.
    g_hRecordThread = 0;
    EnableControls(true, true);
    if (!failure.empty()) {
        std::function<void(const std::string&)> handler;
        {
            std::lock_guard<std::mutex> lk(g_handlerMutex);
            handler = g_failureHandler;
        }
        if (handler) {
            handler(failure);
        }
    }
    return 0;
}
