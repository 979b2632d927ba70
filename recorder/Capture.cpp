#include "recorder/Capture.h"

#include "platform/Translate.h"
#include "recorder/Encoder.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>
#include <vector>

wavein::WaveFormat g_waveFormat;
std::array<wavein::WaveHeader, kCaptureBuffers> g_waveHeaders{};
std::atomic<wavein::HWaveIn> g_hWaveIn{nullptr};
std::unique_ptr<std::mutex> g_hCaptureMutex;
std::atomic<bool> g_bCaptureFailed{false};
std::atomic<std::uint64_t> g_qwCapturedBytes{0};
std::atomic<std::uint32_t> g_dwBuffersWritten{0};
std::atomic<bool> g_bOutputUnlinked{false};

namespace {

std::mutex g_failureMutex;
std::string g_failureReason;
// Buffers go back to the device only while this is set: CloseCapture clears
// it first, so no buffer is queued again while the device is being emptied.
std::atomic<bool> g_bRequeue{false};
// Only a failed write stops writing; a lost device or server still lets
// the audio already captured reach the file.
std::atomic<bool> g_bWriteFailed{false};
// Capture buffers; the headers point into them.
std::array<std::vector<std::uint8_t>, kCaptureBuffers> g_captureMemory;
std::vector<BE_BYTE> g_pMP3Buffer;
BE_DWORD g_dwMP3Bytes = 0;

void Fail(const std::string& why) {
    std::lock_guard<std::mutex> lk(g_failureMutex);
    if (!g_bCaptureFailed) {
        g_failureReason = why;
        g_bCaptureFailed = true;
    }
}

std::mutex& CaptureMutex() {
    if (!g_hCaptureMutex) {
        g_hCaptureMutex = std::make_unique<std::mutex>();
    }
    return *g_hCaptureMutex;
}

} // namespace

std::string CaptureFailureReason() {
    std::lock_guard<std::mutex> lk(g_failureMutex);
    return g_failureReason;
}

void ClearCaptureFailure() {
    std::lock_guard<std::mutex> lk(g_failureMutex);
    g_failureReason.clear();
    g_bCaptureFailed = false;
    g_bWriteFailed = false;
    g_bOutputUnlinked = false;
    g_qwCapturedBytes = 0;
    g_dwBuffersWritten = 0;
}

bool OpenCapture(int deviceId, std::string* error) {
    g_waveFormat = wavein::WaveFormat{};
    g_waveFormat.wFormatTag = 1;
    g_waveFormat.nChannels = 2;
    g_waveFormat.nSamplesPerSec = 44100;
    g_waveFormat.nAvgBytesPerSec = kCaptureBufferBytes;
    g_waveFormat.nBlockAlign = 4;
    g_waveFormat.wBitsPerSample = 16;
    g_waveFormat.cbSize = 18;
    CaptureMutex(); // exists before any buffer can come back

    wavein::HWaveIn hwi = nullptr;
    const wavein::Result r = wavein::waveInOpen(&hwi, deviceId, g_waveFormat, &WaveInProc, 0);
    if (r != wavein::kOk) {
        if (error != nullptr) {
            *error = wavein::ErrorText(r);
        }
        return false;
    }
    g_hWaveIn = hwi;
    g_bRequeue = true;
    g_pMP3Buffer.assign(kMP3BufferBytes, 0);
    for (int i = 0; i < kCaptureBuffers; ++i) {
        g_captureMemory[i].assign(g_waveFormat.nAvgBytesPerSec, 0);
        wavein::WaveHeader& h = g_waveHeaders[i];
        h = wavein::WaveHeader{};
        h.lpData = g_captureMemory[i].data();
        h.dwBufferLength = g_waveFormat.nAvgBytesPerSec;
        h.dwUser = static_cast<std::uintptr_t>(i);
        wavein::waveInPrepareHeader(hwi, &h);
        wavein::waveInAddBuffer(hwi, &h);
    }
    return true;
}

void CloseCapture() {
    g_bRequeue = false;
    wavein::HWaveIn hwi = g_hWaveIn.load();
    if (hwi != nullptr) {
        // Stop and reset wait for their buffers to be handled, and the
        // handler takes the capture mutex: so they run without it.
        wavein::waveInStop(hwi);
        wavein::waveInReset(hwi);
        // The device must let go of every buffer before their memory goes.
        bool closed = false;
        for (int tries = 0; !closed && tries < 200; ++tries) {
            closed = wavein::waveInClose(hwi) == wavein::kOk;
            if (!closed) {
                wavein::waveInReset(hwi);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        if (!closed) {
            // Never seen: rather keep the buffers than free what the device
            // may still write into.
            g_hWaveIn = nullptr;
            return;
        }
    }
    std::lock_guard<std::mutex> lk(CaptureMutex());
    g_hWaveIn = nullptr;
    g_waveHeaders.fill(wavein::WaveHeader{});
    for (auto& mem : g_captureMemory) {
        std::vector<std::uint8_t>().swap(mem);
    }
}

void WaveInProc(void* /*hwi*/, unsigned msg, std::uintptr_t /*instance*/, std::uintptr_t param1,
                std::uintptr_t /*param2*/) {
    if (msg == wavein::WIM_DATA) {
        OnCaptureBuffer(reinterpret_cast<wavein::WaveHeader*>(param1));
    } else if (msg == wavein::WIM_ERROR) {
        Fail(reinterpret_cast<const char*>(param1));
    }
}

void OnCaptureBuffer(wavein::WaveHeader* hdr) {
    std::lock_guard<std::mutex> lk(CaptureMutex());
    if (hdr == nullptr || (hdr->dwFlags & wavein::WHDR_DONE) == 0) {
        return;
    }
    // A partial buffer handed back at Stop is encoded too: the end of the
    // take belongs in the file.
    if (hdr->dwBytesRecorded > 0 && g_bStreamOpen) {
        if (g_pMP3Buffer.size() < kMP3BufferBytes) {
            g_pMP3Buffer.assign(kMP3BufferBytes, 0);
        }
        g_dwMP3Bytes = 0;
        g_encoder.beEncodeChunk(g_hbeStream, hdr->dwBytesRecorded >> 1,
                                reinterpret_cast<std::int16_t*>(hdr->lpData), g_pMP3Buffer.data(),
                                &g_dwMP3Bytes);
        g_qwCapturedBytes += hdr->dwBytesRecorded;
        if (g_outFile != nullptr && g_dwMP3Bytes > 0 && !g_bWriteFailed) {
            // Flushed at once, so a crash loses at most the buffers in flight.
            std::FILE* f = g_outFile.get();
            const off_t before = ftello(f); // exact: nothing is left buffered
            if (std::fwrite(g_pMP3Buffer.data(), g_dwMP3Bytes, 1, f) != 1 || std::fflush(f) != 0) {
                const int why = errno;
                g_bWriteFailed = true;
                g_bOutputIncomplete = true;
                // A full disk takes part of the second: the file ends with
                // the last whole one, never inside a frame, and what is left
                // in the buffer is not written later into the room freed.
                __fpurge(f);
                if (before >= 0 && ::ftruncate(fileno(f), before) == 0) {
                    fseeko(f, before, SEEK_SET);
                }
                // TRANSLATORS: why a recording stopped; %s is the system's reason, such as
                // "No space left on device".
                Fail(platform::Printf(platform::Tr("writing the file failed (%s)"),
                                      std::strerror(why)));
            } else {
                ++g_dwBuffersWritten;
            }
        }
        // Writes into a file whose folder was removed succeed, and are lost
        // at close: notice it while the open file still holds the take.
        struct stat st {};
        if (g_outFile != nullptr && !g_bOutputUnlinked &&
            fstat(fileno(g_outFile.get()), &st) == 0 && st.st_nlink == 0) {
            g_bOutputUnlinked = true;
            Fail(platform::Tr(kFileRemoved));
        }
    }
    if (g_bRequeue && !g_bCaptureFailed) {
        wavein::waveInAddBuffer(g_hWaveIn.load(), hdr);
    }
}
