// What a take's file truly holds: its length decoded from the frames on
// disk and its size, and how both are written for the user.
#pragma once

#include <cstdint>
#include <string>

// "0:42", "12:03", "1:02:03".
std::string FormatTakeTime(double seconds);
// "512 bytes", "336 KB", "12.4 MB" (1 KB = 1000 bytes).
std::string FormatTakeSize(std::uint64_t bytes);

// Seconds of sound in the MP3 file `path`: its whole frames, less the Info
// frame and the encoder's delay and padding it names. 0 when it holds no
// whole frame (or cannot be read).
double TakeFileSeconds(const std::string& path);
// Its size in bytes; 0 when it is not there.
std::uint64_t TakeFileBytes(const std::string& path);
