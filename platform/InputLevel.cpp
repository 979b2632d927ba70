#include "platform/InputLevel.h"

#include <atomic>
#include <cstring>

namespace wavein {
namespace {

// One slot for each reader, so that neither takes what the other has not seen.
std::atomic<int> g_peak[2] = {-1, -1};
std::atomic<bool> g_paused{false};
std::atomic<int> g_desktop{0};
std::atomic<bool> g_speakers{false};

} // namespace

void NoteInputPeak(const std::uint8_t* pcm, std::size_t nbytes) {
    int peak = 0;
    for (std::size_t i = 0; i + 1 < nbytes; i += 2) {
        std::int16_t s;
        std::memcpy(&s, pcm + i, sizeof s); // the server's data need not be aligned
        const int a = s < 0 ? -static_cast<int>(s) : s;
        peak = a > peak ? a : peak;
    }
    for (auto& slot : g_peak) {
        int seen = slot.load(std::memory_order_relaxed);
        while (peak > seen && !slot.compare_exchange_weak(seen, peak, std::memory_order_relaxed)) {
        }
    }
}

int TakeInputPeak(PeakReader reader) {
    return g_peak[static_cast<int>(reader)].exchange(-1, std::memory_order_relaxed);
}

void SetInputPaused(bool paused) {
    g_paused.store(paused);
}

bool InputPaused() {
    return g_paused.load();
}

void SetDesktopAudio(DesktopAudio state) {
    g_desktop.store(static_cast<int>(state));
}

DesktopAudio GetDesktopAudio() {
    return static_cast<DesktopAudio>(g_desktop.load());
}

void SetDesktopOnSpeakers(bool speakers) {
    g_speakers.store(speakers);
}

bool DesktopOnSpeakers() {
    return g_speakers.load();
}

} // namespace wavein
