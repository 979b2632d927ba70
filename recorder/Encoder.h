// Binding to the MP3 encoder library, loaded at the first recording.
#pragma once

#include "recorder/TakeSync.h"
#include "recorder/lame_enc/BladeEnc.h"

#include <atomic>
#include <cstdint>
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
// Set when a write to g_outFile failed: the file lacks frames the encoder
// made, and gets no Info tag (which would count them). Cleared on open.
extern std::atomic<bool> g_bOutputIncomplete;

// Loads the library once; 1 when it is loaded with every required entry
// point. On failure `error` (when given) says why.
int LoadEncoder(std::string* error = nullptr);

// Loads the library and opens an encoder stream at `bitrate` kbit/s; no
// file is touched. 1 on success; on failure `error` says why.
int InitEncoderStream(unsigned bitrate, std::string* error = nullptr);

// Whether `fileName` can be created, checked without touching it or
// anything else. false (with `error` naming the file) when it can't.
bool CheckOutputFile(const std::string& fileName, std::string* error = nullptr);

// Whether `fileName` is held by a recording (this program's or another
// copy's): its file is locked while the take is recorded.
bool IsBeingRecorded(const std::string& fileName);
// What the user is told when that is why a file can't be used.
std::string BeingRecordedText(const std::string& fileName);

// Creates (or empties) the output file as g_outFile, locked while it is
// open; refused when another recording holds it.
bool OpenOutputFile(const std::string& fileName, std::string* error = nullptr);

// The stream, then the file (created or emptied). 1 on success; on failure
// nothing is left open and `error` names the file or library and the reason.
int OpenEncoderStream(const std::string& fileName, unsigned bitrate, std::string* error = nullptr);

// Makes what was written to the output file durable (see TakeSync); on
// the recording thread only. false (with `error`) when the disk refused.
bool SyncOutputFile(std::string* error = nullptr);
// Bytes the output file's file system still lets it grow by; false when
// no take is open or the file system does not say. Recording thread only.
bool OutputSpaceLeft(std::uint64_t* bytes);
// The syncs of the take now open, or of the last one once it is closed.
SyncFigures OutputSyncFigures();

// Writes what the encoder still holds, then closes the stream and the
// file. Returns false (with `error`) when the file could not be completed.
// When the file had lost its name (its folder removed), its content is
// first copied out of the open file: to its own path when the folder is
// back, else into the home folder under a new name. `keptAt` (when given)
// receives where the take is: the file name, that copy, or "" when it
// could not be saved.
bool CloseEncoderStream(std::string* error = nullptr, std::string* keptAt = nullptr,
                        bool* rescued = nullptr);

// A name for a rescued take in `dir`: "name (recovered).ext", then
// "name (recovered 2).ext", ... whichever is free.
std::string RecoveredName(const std::string& dir, const std::string& fileName);

// Fills `cfg` the way every recording configures the encoder.
void FillEncoderConfig(BE_CONFIG& cfg, unsigned bitrate);
