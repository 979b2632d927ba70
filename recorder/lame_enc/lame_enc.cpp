// liblame_enc.so: the Blade-style encoder interface on top of libmp3lame.
//
// Test builds of this file leave out one entry point (VESTREL_OMIT_INFOTAG,
// VESTREL_OMIT_VERSION) or record the configuration they receive
// (VESTREL_RECORD_CONFIG), so the loader is tested against real libraries.
#include "BladeEnc.h"

#include <lame/lame.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Stream {
    lame_global_flags* gf = nullptr;
    int channels = 2;
    // LAME keeps no frame for the Info tag when a frame at the stream's
    // rate is too small to hold it (under 64 kbit/s): the library keeps a
    // larger one itself, written ahead of the first output.
    bool ownTag = false;
    bool ownTagKept = false;
    int outRate = 44100;
    ~Stream() {
        if (gf != nullptr) {
            lame_close(gf);
        }
    }
};

Stream* FromHandle(HBE_STREAM h) {
    return reinterpret_cast<Stream*>(h);
}

#ifdef VESTREL_RECORD_CONFIG
void RecordConfig(const BE_CONFIG& cfg) {
    const char* path = std::getenv("VESTREL_CONFIG_RECORD");
    if (path == nullptr) {
        return;
    }
    if (std::FILE* f = std::fopen(path, "wb")) {
        std::fwrite(&cfg, sizeof cfg, 1, f);
        std::fclose(f);
    }
}
#endif

// LAME quality: the Blade interface packs the value in the low byte and its
// complement in the high byte; anything else means "the encoder's default".
int QualityFrom(BE_WORD nQuality) {
    const int lo = nQuality & 0xFF;
    const int hi = (nQuality >> 8) & 0xFF;
    if (nQuality != 0 && hi == (~lo & 0xFF) && lo <= 9) {
        return lo;
    }
    return -1;
}

// The frame kept for the Info tag when LAME keeps none: a 64 kbit/s
// frame, big enough for the tag, silent until the tag is written.
constexpr int kOwnTagKbps = 64;
int OwnTagFrame(const Stream& s, unsigned char* out) {
    const bool mpeg1 = s.outRate >= 32000;
    const int size = (mpeg1 ? 144 : 72) * kOwnTagKbps * 1000 / s.outRate;
    std::memset(out, 0, static_cast<std::size_t>(size));
    const int rateIndex = s.outRate == 48000 || s.outRate == 24000 || s.outRate == 12000  ? 1
                          : s.outRate == 32000 || s.outRate == 16000 || s.outRate == 8000 ? 2
                                                                                          : 0;
    out[0] = 0xFF;
    out[1] = mpeg1 ? 0xFB : s.outRate >= 16000 ? 0xF3 : 0xE3; // Layer III, no CRC
    out[2] = static_cast<unsigned char>(((mpeg1 ? 5 : 8) << 4) | (rateIndex << 2));
    out[3] = s.channels == 1 ? 0xC0 : 0x40; // mono, or joint stereo
    return size;
}

// Fills the kept frame `f` with the Info tag: the frame count and the LAME
// extension's encoder delay and padding, which players trim.
void FillOwnTag(const Stream& s, unsigned char* f) {
    const bool mpeg1 = s.outRate >= 32000;
    const int sideInfo = mpeg1 ? (s.channels == 1 ? 17 : 32) : (s.channels == 1 ? 9 : 17);
    unsigned char* t = f + 4 + sideInfo;
    const auto put32 = [](unsigned char* at, unsigned v) {
        at[0] = static_cast<unsigned char>(v >> 24);
        at[1] = static_cast<unsigned char>(v >> 16);
        at[2] = static_cast<unsigned char>(v >> 8);
        at[3] = static_cast<unsigned char>(v);
    };
    std::memcpy(t, "Info", 4);
    put32(t + 4, 1); // the frame count only
    put32(t + 8, static_cast<unsigned>(lame_get_frameNum(s.gf)));
    unsigned char* lame = t + 12;
    std::snprintf(reinterpret_cast<char*>(lame), 10, "LAME%.5s", get_lame_short_version());
    const unsigned delay = static_cast<unsigned>(lame_get_encoder_delay(s.gf)) & 0xFFF;
    const unsigned padding = static_cast<unsigned>(lame_get_encoder_padding(s.gf)) & 0xFFF;
    lame[21] = static_cast<unsigned char>(delay >> 4);
    lame[22] = static_cast<unsigned char>((delay & 0x0F) << 4 | padding >> 8);
    lame[23] = static_cast<unsigned char>(padding);
}

} // namespace

BE_EXPORT BE_ERR beInitStream(BE_CONFIG* cfg, BE_DWORD* dwSamples, BE_DWORD* dwBufferSize,
                              HBE_STREAM* phbeStream) {
    if (cfg == nullptr || dwSamples == nullptr || dwBufferSize == nullptr ||
        phbeStream == nullptr) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
#ifdef VESTREL_RECORD_CONFIG
    RecordConfig(*cfg);
    if (std::getenv("VESTREL_CONFIG_REFUSE") != nullptr) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
#endif
    if (cfg->dwConfig != BE_CONFIG_LAME) {
        return BE_ERR_INVALID_FORMAT;
    }
    const auto& l = cfg->format.LHV1;
    auto s = std::make_unique<Stream>();
    s->gf = lame_init();
    if (s->gf == nullptr) {
        return BE_ERR_NO_MORE_HANDLES;
    }
    s->channels = l.nMode == BE_MP3_MODE_MONO ? 1 : 2;
    lame_set_in_samplerate(s->gf, static_cast<int>(l.dwSampleRate));
    lame_set_num_channels(s->gf, s->channels);

    // Left alone, LAME picks a lower output rate for low bit rates; the
    // MPEG version decides it here instead.
    int outRate = l.dwMpegVersion == MPEG1 ? 44100 : 22050;
    if (l.dwSampleRate < 32000) {
        outRate = static_cast<int>(l.dwSampleRate);
    }
    if (l.dwReSampleRate != 0) {
        outRate = static_cast<int>(l.dwReSampleRate);
    }
    lame_set_out_samplerate(s->gf, outRate);

    switch (l.nMode) {
    case BE_MP3_MODE_STEREO:
        lame_set_mode(s->gf, STEREO);
        break;
    case BE_MP3_MODE_DUALCHANNEL:
        lame_set_mode(s->gf, DUAL_CHANNEL);
        break;
    case BE_MP3_MODE_MONO:
        lame_set_mode(s->gf, MONO);
        break;
    default:
        lame_set_mode(s->gf, JOINT_STEREO);
        break;
    }

    if (l.bEnableVBR != 0) {
        lame_set_VBR(s->gf, vbr_default);
        lame_set_VBR_q(s->gf, l.nVBRQuality);
        if (l.dwMaxBitrate != 0) {
            lame_set_VBR_max_bitrate_kbps(s->gf, static_cast<int>(l.dwMaxBitrate));
        }
        lame_set_VBR_min_bitrate_kbps(s->gf, static_cast<int>(l.dwBitrate));
    } else {
        lame_set_VBR(s->gf, vbr_off);
        lame_set_brate(s->gf, static_cast<int>(l.dwBitrate));
    }
    lame_set_copyright(s->gf, l.bCopyright != 0 ? 1 : 0);
    lame_set_original(s->gf, l.bOriginal != 0 ? 1 : 0);
    lame_set_extension(s->gf, l.bPrivate != 0 ? 1 : 0);
    lame_set_error_protection(s->gf, l.bCRC != 0 ? 1 : 0);
    lame_set_disable_reservoir(s->gf, l.bNoRes != 0 ? 1 : 0);
    lame_set_strict_ISO(s->gf, l.bStrictIso != 0 ? 1 : 0);
    lame_set_emphasis(s->gf, static_cast<int>(l.dwEmphasis));
    lame_set_bWriteVbrTag(s->gf, l.bWriteVBRHeader != 0 ? 1 : 0);
    const int q = QualityFrom(l.nQuality);
    if (q >= 0) {
        lame_set_quality(s->gf, q);
    }

    if (lame_init_params(s->gf) < 0) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    // LAME's own rule for a frame that holds its tag (header, side
    // information and 156 bytes of tag).
    s->outRate = lame_get_out_samplerate(s->gf);
    const bool mpeg1 = s->outRate >= 32000;
    const int frameBytes = (mpeg1 ? 144 : 72) * lame_get_brate(s->gf) * 1000 / s->outRate;
    const int sideInfo = mpeg1 ? (s->channels == 1 ? 17 : 32) : (s->channels == 1 ? 9 : 17);
    s->ownTag = l.bWriteVBRHeader != 0 && l.bEnableVBR == 0 && frameBytes < 4 + sideInfo + 156;
    *dwSamples = static_cast<BE_DWORD>(1152 * s->channels);
    *dwBufferSize = static_cast<BE_DWORD>(1.25 * 1152 + 7200);
    *phbeStream = reinterpret_cast<HBE_STREAM>(s.release());
    return BE_ERR_SUCCESS;
}

BE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM h, BE_DWORD nSamples, std::int16_t* pSamples,
                               BE_BYTE* pOutput, BE_DWORD* pdwOutput) {
    Stream* s = FromHandle(h);
    if (s == nullptr || pOutput == nullptr || pdwOutput == nullptr) {
        return BE_ERR_INVALID_HANDLE;
    }
    *pdwOutput = 0;
    if (nSamples == 0) {
        return BE_ERR_SUCCESS;
    }
    const int frames = static_cast<int>(nSamples) / s->channels;
    int kept = 0;
    if (s->ownTag && !s->ownTagKept) {
        kept = OwnTagFrame(*s, pOutput);
        s->ownTagKept = true;
    }
    int n = 0;
    if (s->channels == 1) {
        n = lame_encode_buffer(s->gf, pSamples, pSamples, frames, pOutput + kept, 0);
    } else {
        n = lame_encode_buffer_interleaved(s->gf, pSamples, frames, pOutput + kept, 0);
    }
    if (n < 0) {
        return n == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *pdwOutput = static_cast<BE_DWORD>(n + kept);
    return BE_ERR_SUCCESS;
}

BE_EXPORT BE_ERR beDeinitStream(HBE_STREAM h, BE_BYTE* pOutput, BE_DWORD* pdwOutput) {
    Stream* s = FromHandle(h);
    if (s == nullptr || pOutput == nullptr || pdwOutput == nullptr) {
        return BE_ERR_INVALID_HANDLE;
    }
    // lame_encode_flush needs room for at most a few frames.
    const int n = lame_encode_flush(s->gf, pOutput, 7200 * 2);
    *pdwOutput = n > 0 ? static_cast<BE_DWORD>(n) : 0;
    return n < 0 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_SUCCESS;
}

BE_EXPORT BE_ERR beCloseStream(HBE_STREAM h) {
    std::unique_ptr<Stream> s(FromHandle(h));
    return s ? BE_ERR_SUCCESS : BE_ERR_INVALID_HANDLE;
}

#ifndef VESTREL_OMIT_VERSION
BE_EXPORT void beVersion(BE_VERSION* v) {
    if (v == nullptr) {
        return;
    }
    std::memset(v, 0, sizeof *v);
    v->byDLLMajorVersion = 1;
    v->byDLLMinorVersion = 32;
    v->byMajorVersion = 3;
    v->byMinorVersion = 100;
    std::snprintf(v->zHomepage, sizeof v->zHomepage, "%s", get_lame_url());
}
#endif

BE_EXPORT BE_ERR beWriteVBRHeader(const char* /*lpszFileName*/) {
    // Constant bit rate files carry no VBR header; nothing to write.
    return BE_ERR_SUCCESS;
}

#ifndef VESTREL_OMIT_INFOTAG
// Writes the Info tag into the frame LAME kept for it at the start of the
// stream (after an ID3v2 tag, if the file has one), then closes the stream
// as beCloseStream does. Called after beDeinitStream.
BE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM h, const char* lpszFileName) {
    Stream* s = FromHandle(h);
    if (s == nullptr) {
        return BE_ERR_INVALID_HANDLE;
    }
    BE_ERR result = BE_ERR_SUCCESS;
    unsigned char tag[2880]; // the largest Layer III frame
    std::size_t n = 0;
    if (s->ownTag && s->ownTagKept) {
        n = static_cast<std::size_t>(OwnTagFrame(*s, tag));
        FillOwnTag(*s, tag);
    } else if (!s->ownTag) {
        n = lame_get_lametag_frame(s->gf, tag, sizeof tag);
    }
    if (lpszFileName != nullptr && n > 0 && n <= sizeof tag) {
        std::FILE* f = std::fopen(lpszFileName, "rb+");
        result = BE_ERR_INVALID_FORMAT_PARAMETERS;
        if (f != nullptr) {
            unsigned char head[10] = {};
            long at = 0;
            if (std::fread(head, 1, sizeof head, f) == sizeof head &&
                std::memcmp(head, "ID3", 3) == 0) {
                at = 10 + ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 |
                           (head[9] & 0x7F));
                if ((head[5] & 0x10) != 0) {
                    at += 10; // the footer
                }
            }
            // Only over the frame kept for it: never over sound.
            unsigned char first[4] = {};
            const bool reserved = std::fseek(f, at, SEEK_SET) == 0 &&
                                  std::fread(first, 1, 4, f) == 4 &&
                                  std::memcmp(first, tag, 2) == 0 &&
                                  (first[2] & 0xFC) == (tag[2] & 0xFC); // same rate and size
            if (reserved && std::fseek(f, at, SEEK_SET) == 0 && std::fwrite(tag, 1, n, f) == n &&
                std::fflush(f) == 0) {
                result = BE_ERR_SUCCESS;
            }
            if (std::fclose(f) != 0) {
                result = BE_ERR_INVALID_FORMAT_PARAMETERS;
            }
        }
    }
    beCloseStream(h);
    return result;
}
#endif
