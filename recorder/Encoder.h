// Binding to the MP3 encoder library, loaded at the first recording.
#pragma once

#include "recorder/lame_enc/BladeEnc.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

constexpr const char* kEncoderLibraryName = "liblame_enc.so";

// The library's entry points, resolved together in LoadEncoder.
struct EncoderEntryPoints {
    BEINITSTREAM beInitStream = nullptr;
    BEENCODECHUNK beEncodeChunk = nullptr;
    BEDEINITSTREAM beDeinitStream = nullptr;
    BECLOSESTREAM beCloseStream = nullptr;
    BEVERSION beVersion = nullptr;
    BEWRITEVBRHEADER beWriteVBRHeader = nullptr;
    BEWRITEINFOTAG beWriteInfoTag = nullptr; // optional
};

extern std::atomic<int> g_bEncoderLoaded;
extern EncoderEntryPoints g_encoder;
extern BE_CONFIG g_beConfig;
extern BE_DWORD g_dwChunkSamples;
extern BE_DWORD g_dwMP3BufferSize;
extern HBE_STREAM g_hbeStream;
extern std::atomic<bool> g_bStreamOpen; // g_hbeStream came from a successful beInitStream
// Closes a C file stream; the stop path closes it itself to see the result.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
extern FilePtr g_outFile;

// Loads the library once; 1 when it is loaded with every required entry
// point. On failure `error` (when given) says why.
int LoadEncoder(std::string* error = nullptr);

// Creates (or empties) the output file and opens an encoder stream at
// `bitrate` kbit/s. 1 on success; on failure nothing is left open and
// `error` names the file or library and the reason.
int OpenEncoderStream(const std::string& fileName, unsigned bitrate, std::string* error = nullptr);

// Writes what the encoder still holds, then closes the stream and the
// file. Returns false (with `error`) when the file could not be completed.
bool CloseEncoderStream(std::string* error = nullptr);

// Fills `cfg` the way every recording configures the encoder.
void FillEncoderConfig(BE_CONFIG& cfg, unsigned bitrate);
