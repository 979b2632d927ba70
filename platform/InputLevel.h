// What the capture path tells the status row without waking it: the peak of
// the samples copied since the GUI last looked, and whether a pause drops
// them. Atomics only, so the audio side never waits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wavein {

constexpr int kFullScale = 32768;

// Folds the peak of `nbytes` of 16-bit little-endian PCM into the level.
void NoteInputPeak(const std::uint8_t* pcm, std::size_t nbytes);
// Who reads the level: the window's meter, or the recording engine (its
// silence watch and the command line's level).
enum class PeakReader { Meter = 0, Engine = 1 };
// The highest absolute sample (0..32768) since `reader`'s last call; -1
// when no audio arrived in between.
int TakeInputPeak(PeakReader reader = PeakReader::Meter);

// While paused the layer keeps reading the source but drops what it reads.
void SetInputPaused(bool paused);
bool InputPaused();

// The desktop's side of a take that mixes it in: Off for a take of one
// input, Recording while an output's sound comes, NoOutput while there is
// none to record (the microphone alone goes on).
enum class DesktopAudio { Off = 0, Recording = 1, NoOutput = 2 };
void SetDesktopAudio(DesktopAudio state);
DesktopAudio GetDesktopAudio();
// Whether the output recorded says it plays through something other than
// headphones (its port's type, where the server tells it).
void SetDesktopOnSpeakers(bool speakers);
bool DesktopOnSpeakers();

} // namespace wavein
