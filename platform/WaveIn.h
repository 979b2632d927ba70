// Wave input on PulseAudio: the few device calls the capture code makes,
// shaped like the classic wave-input API (device numbers, queued buffers,
// one callback per filled buffer).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wavein {

constexpr int kDefaultDevice = -1; // the server's default source

enum Result : int { kOk = 0, kBadDevice = 2, kNoServer = 3, kInvalidHandle = 5, kError = 1 };

constexpr std::uint32_t WHDR_DONE = 0x00000001;
constexpr std::uint32_t WHDR_INQUEUE = 0x00000010;

// One capture buffer; the program owns the memory, the device fills it.
struct WaveHeader {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
};

struct WaveFormat {
    std::uint16_t wFormatTag = 1;
    std::uint16_t nChannels = 2;
    std::uint32_t nSamplesPerSec = 44100;
    std::uint32_t nAvgBytesPerSec = 176400;
    std::uint16_t nBlockAlign = 4;
    std::uint16_t wBitsPerSample = 16;
    std::uint16_t cbSize = 0;
};

enum Message : unsigned {
    WIM_OPEN = 0x3BE,
    WIM_CLOSE = 0x3BF,
    WIM_DATA = 0x3C0,
    WIM_ERROR = 0x3C1
};

// Called on the layer's delivery thread. For WIM_DATA param1 is the
// WaveHeader*; for WIM_ERROR it is a const char* describing the failure.
using Callback = void (*)(void* hwi, unsigned msg, std::uintptr_t instance, std::uintptr_t param1,
                          std::uintptr_t param2);

struct DeviceInfo {
    std::string name;        // PulseAudio source name, kept for opening
    std::string description; // what the desktop's sound settings show
    bool monitor = false;    // the monitor of an output
    // An input mixed with what the default output plays: `name` is then
    // the input's source name plus kDesktopSuffix.
    bool withDesktop = false;
};

// The suffix of the source name of the entry that records an input
// together with the desktop's sound ("%s + desktop audio" in the list).
constexpr const char* kDesktopSuffix = "+desktop";

// Enumerates the server's capture sources, monitors of outputs included,
// then for each input that is not a monitor the entry that mixes it with
// the desktop's sound. The device number is the position in this list;
// the list is remembered for waveInOpen.
unsigned waveInGetNumDevs();
// Description of device `dev` from the last enumeration; false when there
// is no such device.
bool waveInGetDevName(unsigned dev, std::string& name);

// Server name of the server's default source at the last enumeration (""
// when there is none or no server).
std::string waveInGetDefaultSource();

// Server name of device `dev`'s source from the last enumeration, which
// stays the same while its number changes.
bool waveInGetDevSource(unsigned dev, std::string& source);

class Device;
using HWaveIn = Device*;

Result waveInOpen(HWaveIn* phwi, int deviceId, const WaveFormat& fmt, Callback cb,
                  std::uintptr_t instance);
Result waveInPrepareHeader(HWaveIn hwi, WaveHeader* hdr);
Result waveInUnprepareHeader(HWaveIn hwi, WaveHeader* hdr);
Result waveInAddBuffer(HWaveIn hwi, WaveHeader* hdr);
Result waveInStart(HWaveIn hwi);
// Stops capture and hands back the partly filled buffer as done. Returns
// once every done buffer has been delivered to the callback, so call it
// without holding a lock the callback takes.
Result waveInStop(HWaveIn hwi);
// Hands back every queued buffer as done; same waiting rule as waveInStop.
Result waveInReset(HWaveIn hwi);
// Disconnects and frees the device. No buffer may still be queued.
Result waveInClose(HWaveIn hwi);

// Seconds since the source last delivered audio (0 before start).
double waveInSecondsSinceData(HWaveIn hwi);

std::string ErrorText(Result r);

} // namespace wavein
