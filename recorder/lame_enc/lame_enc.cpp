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
    int n = 0;
    if (s->channels == 1) {
        n = lame_encode_buffer(s->gf, pSamples, pSamples, frames, pOutput, 0);
    } else {
        n = lame_encode_buffer_interleaved(s->gf, pSamples, frames, pOutput, 0);
    }
    if (n < 0) {
        return n == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *pdwOutput = static_cast<BE_DWORD>(n);
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
BE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM h, const char* lpszFileName) {
    Stream* s = FromHandle(h);
    if (s == nullptr) {
        return BE_ERR_INVALID_HANDLE;
    }
    BE_ERR result = BE_ERR_SUCCESS;
    if (lpszFileName != nullptr) {
        if (std::FILE* f = std::fopen(lpszFileName, "rb+")) {
            lame_mp3_tags_fid(s->gf, f);
            std::fclose(f);
        } else {
            result = BE_ERR_INVALID_FORMAT_PARAMETERS;
        }
    }
    beCloseStream(h);
    return result;
}
#endif
