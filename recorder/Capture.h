// Audio capture: three one-second buffers from the chosen input device,
// each filled buffer encoded and appended to the output file.
#pragma once

#include "platform/WaveIn.h"

#include <wx/translation.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

constexpr std::uint32_t kCaptureBufferBytes = 176400; // one second, 16-bit stereo 44.1 kHz
constexpr std::uint32_t kMP3BufferBytes = 705600;
constexpr int kCaptureBuffers = 3;

extern wavein::WaveFormat g_waveFormat;
extern std::array<wavein::WaveHeader, kCaptureBuffers> g_waveHeaders;
extern std::atomic<wavein::HWaveIn> g_hWaveIn;
// Serialises the buffer handling with closing the capture. Created by the
// main dialog at the end of its initialisation.
extern std::unique_ptr<std::mutex> g_hCaptureMutex;

// Set when the device reports a failure or a write to the file fails; the
// recording thread stops the recording and tells why.
extern std::atomic<bool> g_bCaptureFailed;
// Set when the open output file has lost its last name (its folder was
// removed): the take then lives only in the open descriptor.
extern std::atomic<bool> g_bOutputUnlinked;
// Translated where it is told (Tr).
constexpr const char* kFileRemoved =
    // TRANSLATORS: why a recording stopped; it follows "The recording stopped: ".
    wxTRANSLATE("the output file or its folder was deleted during the recording");
// Encoded buffers written to the file in this recording: the recording
// thread makes each one durable.
extern std::atomic<std::uint32_t> g_dwBuffersWritten;
// Bytes of PCM handed to the encoder in this recording.
extern std::atomic<std::uint64_t> g_qwCapturedBytes;
std::string CaptureFailureReason();
void ClearCaptureFailure();

// Opens device `deviceId` (-1: the server's default) with its buffers
// queued. false (with `error`) when the device can't be opened.
bool OpenCapture(int deviceId, std::string* error = nullptr);
// Stops the device, keeps the last partial buffer, gets every buffer back
// and closes the device.
void CloseCapture();

void WaveInProc(void* hwi, unsigned msg, std::uintptr_t instance, std::uintptr_t param1,
                std::uintptr_t param2);
void OnCaptureBuffer(wavein::WaveHeader* hdr);
