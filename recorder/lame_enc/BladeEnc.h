// The Blade-style encoder interface that Vestrel drives: record layouts and
// entry-point types, written from the published field list.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

using BE_DWORD = std::uint32_t;
using BE_WORD = std::uint16_t;
using BE_BYTE = std::uint8_t;
using BE_BOOL = std::int32_t;
using BE_LONG = std::int32_t;
using BE_ERR = std::uint32_t;
using HBE_STREAM = unsigned long;

constexpr BE_ERR BE_ERR_SUCCESS = 0x00000000;
constexpr BE_ERR BE_ERR_INVALID_FORMAT = 0x00000001;
constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 0x00000002;
constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 0x00000003;
constexpr BE_ERR BE_ERR_INVALID_HANDLE = 0x00000004;
constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 0x00000005;

constexpr BE_DWORD BE_CONFIG_MP3 = 0;
constexpr BE_DWORD BE_CONFIG_LAME = 256;

constexpr BE_LONG BE_MP3_MODE_STEREO = 0;
constexpr BE_LONG BE_MP3_MODE_JSTEREO = 1;
constexpr BE_LONG BE_MP3_MODE_DUALCHANNEL = 2;
constexpr BE_LONG BE_MP3_MODE_MONO = 3;

constexpr BE_DWORD MPEG1 = 1;
constexpr BE_DWORD MPEG2 = 0;

constexpr BE_LONG LQP_NOPRESET = -1;
constexpr BE_LONG LQP_NORMAL_QUALITY = 0;
constexpr BE_LONG LQP_CBR = 12;

constexpr std::size_t BE_MAX_HOMEPAGE = 128;

#pragma pack(push, 1)
struct BE_CONFIG {
    BE_DWORD dwConfig;
    union {
        struct {
            BE_DWORD dwSampleRate;
            BE_BYTE byMode;
            BE_WORD wBitrate;
            BE_BOOL bPrivate;
            BE_BOOL bCRC;
            BE_BOOL bCopyright;
            BE_BOOL bOriginal;
        } mp3;
        struct {
            BE_DWORD dwStructVersion;
            BE_DWORD dwStructSize;
            BE_DWORD dwSampleRate;
            BE_DWORD dwReSampleRate;
            BE_LONG nMode;
            BE_DWORD dwBitrate;
            BE_DWORD dwMaxBitrate;
            BE_LONG nPreset;
            BE_DWORD dwMpegVersion;
            BE_DWORD dwPsyModel;
            BE_DWORD dwEmphasis;
            BE_BOOL bPrivate;
            BE_BOOL bCRC;
            BE_BOOL bCopyright;
            BE_BOOL bOriginal;
            BE_BOOL bWriteVBRHeader;
            BE_BOOL bEnableVBR;
            std::int32_t nVBRQuality;
            BE_DWORD dwVbrAbr_bps;
            std::int32_t nVbrMethod;
            BE_BOOL bNoRes;
            BE_BOOL bStrictIso;
            BE_WORD nQuality;
            BE_BYTE btReserved[255 - 4 * sizeof(BE_DWORD) - sizeof(BE_WORD)];
        } LHV1;
        struct {
            BE_DWORD dwSampleRate;
            BE_WORD wBitrate;
            BE_BYTE byMode;
            BE_WORD wEncodingMethod;
        } aac;
    } format;
};

struct BE_VERSION {
    BE_BYTE byDLLMajorVersion;
    BE_BYTE byDLLMinorVersion;
    BE_BYTE byMajorVersion;
    BE_BYTE byMinorVersion;
    BE_BYTE byDay;
    BE_BYTE byMonth;
    BE_WORD wYear;
    char zHomepage[BE_MAX_HOMEPAGE + 1];
    BE_BYTE byAlphaLevel;
    BE_BYTE byBetaLevel;
    BE_BYTE byMMXEnabled;
    BE_BYTE btReserved[125];
};
#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG must keep its published 331-byte layout");
static_assert(offsetof(BE_CONFIG, format) == 4, "the format union follows dwConfig");

using BEINITSTREAM = BE_ERR (*)(BE_CONFIG*, BE_DWORD*, BE_DWORD*, HBE_STREAM*);
using BEENCODECHUNK = BE_ERR (*)(HBE_STREAM, BE_DWORD, std::int16_t*, BE_BYTE*, BE_DWORD*);
using BEDEINITSTREAM = BE_ERR (*)(HBE_STREAM, BE_BYTE*, BE_DWORD*);
using BECLOSESTREAM = BE_ERR (*)(HBE_STREAM);
using BEVERSION = void (*)(BE_VERSION*);
using BEWRITEVBRHEADER = BE_ERR (*)(const char*);
using BEWRITEINFOTAG = BE_ERR (*)(HBE_STREAM, const char*);

// Exported by liblame_enc.so.
BE_ERR beInitStream(BE_CONFIG* pbeConfig, BE_DWORD* dwSamples, BE_DWORD* dwBufferSize,
                    HBE_STREAM* phbeStream);
BE_ERR beEncodeChunk(HBE_STREAM hbeStream, BE_DWORD nSamples, std::int16_t* pSamples,
                     BE_BYTE* pOutput, BE_DWORD* pdwOutput);
BE_ERR beDeinitStream(HBE_STREAM hbeStream, BE_BYTE* pOutput, BE_DWORD* pdwOutput);
BE_ERR beCloseStream(HBE_STREAM hbeStream);
void beVersion(BE_VERSION* pbeVersion);
BE_ERR beWriteVBRHeader(const char* lpszFileName);
BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, const char* lpszFileName);
}
