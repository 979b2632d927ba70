#include "recorder/Encoder.h"

#include "platform/DynamicLibrary.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

std::atomic<int> g_bEncoderLoaded{0};
EncoderEntryPoints g_encoder;
BE_CONFIG g_beConfig;
BE_DWORD g_dwChunkSamples = 0;
BE_DWORD g_dwMP3BufferSize = 0;
HBE_STREAM g_hbeStream = 0;
std::atomic<bool> g_bStreamOpen{false};
FilePtr g_outFile;

namespace {
std::mutex g_loadMutex;
}

int LoadEncoder(std::string* error) {
    if (g_bEncoderLoaded.load() == 1) {
        return 1;
    }
    std::lock_guard<std::mutex> lk(g_loadMutex);
    if (g_bEncoderLoaded.load() == 1) {
        return 1;
    }
    platform::DynamicLibrary lib(kEncoderLibraryName);
    if (!lib.IsLoaded()) {
        if (error != nullptr) {
            *error = "The encoder library " + std::string(kEncoderLibraryName) +
                     " could not be loaded: " + lib.Error();
        }
        return 0;
    }
    EncoderEntryPoints ep;
    ep.beInitStream = lib.Symbol<BEINITSTREAM>("beInitStream");
    ep.beEncodeChunk = lib.Symbol<BEENCODECHUNK>("beEncodeChunk");
    ep.beDeinitStream = lib.Symbol<BEDEINITSTREAM>("beDeinitStream");
    ep.beCloseStream = lib.Symbol<BECLOSESTREAM>("beCloseStream");
    ep.beVersion = lib.Symbol<BEVERSION>("beVersion");
    ep.beWriteVBRHeader = lib.Symbol<BEWRITEVBRHEADER>("beWriteVBRHeader");
    ep.beWriteInfoTag = lib.Symbol<BEWRITEINFOTAG>("beWriteInfoTag");

    const std::pair<const char*, bool> required[] = {
        {"beInitStream", ep.beInitStream != nullptr},
        {"beEncodeChunk", ep.beEncodeChunk != nullptr},
        {"beDeinitStream", ep.beDeinitStream != nullptr},
        {"beCloseStream", ep.beCloseStream != nullptr},
        {"beVersion", ep.beVersion != nullptr},
        {"beWriteVBRHeader", ep.beWriteVBRHeader != nullptr},
    };
    for (const auto& [name, present] : required) {
        if (!present) {
            if (error != nullptr) {
                *error = "The encoder library " + std::string(kEncoderLibraryName) +
                         " is not usable: it lacks the entry point " + name + ".";
            }
            return 0; // `lib` closes the library
        }
    }
    g_encoder = ep;
    lib.Release(); // stays loaded for the rest of the run
    g_bEncoderLoaded = 1;
    return 1;
}

void FillEncoderConfig(BE_CONFIG& cfg, unsigned bitrate) {
    std::memset(&cfg, 0, sizeof cfg);
    cfg.dwConfig = BE_CONFIG_LAME;
    auto& l = cfg.format.LHV1;
    l.dwStructVersion = 1;
    l.dwStructSize = sizeof(BE_CONFIG);
    l.dwSampleRate = 44100;
    l.dwReSampleRate = 0;
    l.nMode = BE_MP3_MODE_JSTEREO;
    l.dwBitrate = bitrate;
    l.dwMaxBitrate = 0;
    l.nPreset = LQP_CBR;
    l.dwMpegVersion = bitrate > 32U ? MPEG1 : MPEG2;
    l.bPrivate = 1;
    l.bCRC = 0;
    l.bCopyright = 1;
    l.bOriginal = 1;
    l.bNoRes = 1;
}

int OpenEncoderStream(const std::string& fileName, unsigned bitrate, std::string* error) {
    if (LoadEncoder(error) == 0) {
        return 0;
    }
    g_outFile.reset(std::fopen(fileName.c_str(), "wb"));
    if (g_outFile == nullptr) {
        if (error != nullptr) {
            *error =
                "The file " + fileName + " could not be created: " + std::strerror(errno) + ".";
        }
        return 0;
    }
    g_dwChunkSamples = 0;
    g_dwMP3BufferSize = 0;
    g_hbeStream = 0;
    FillEncoderConfig(g_beConfig, bitrate);
    const BE_ERR rc =
        g_encoder.beInitStream(&g_beConfig, &g_dwChunkSamples, &g_dwMP3BufferSize, &g_hbeStream);
    if (rc != BE_ERR_SUCCESS) {
        if (error != nullptr) {
            *error = "The encoder library " + std::string(kEncoderLibraryName) +
                     " could not start an MP3 stream at " + std::to_string(bitrate) +
                     " kbit/s (error " + std::to_string(rc) + ").";
        }
        g_outFile.reset();
        return 0;
    }
    g_bStreamOpen = true;
    return 1;
}

bool CloseEncoderStream(std::string* error) {
    bool ok = true;
    std::string why;
    if (g_bStreamOpen) {
        // The encoder still holds up to a frame and a half: write it out so
        // the end of the take is in the file.
        std::vector<BE_BYTE> tail(16 * 1024);
        BE_DWORD n = 0;
        if (g_encoder.beDeinitStream(g_hbeStream, tail.data(), &n) == BE_ERR_SUCCESS && n > 0 &&
            g_outFile != nullptr) {
            if (std::fwrite(tail.data(), 1, n, g_outFile.get()) != n) {
                ok = false;
                why = std::strerror(errno);
            }
        }
        g_encoder.beCloseStream(g_hbeStream);
        g_bStreamOpen = false;
    }
    if (g_outFile != nullptr) {
        if (std::fclose(g_outFile.release()) != 0 && ok) {
            ok = false;
            why = std::strerror(errno);
        }
    }
    if (!ok && error != nullptr) {
        *error = "the file could not be completed: " + why;
    }
    return ok;
}
