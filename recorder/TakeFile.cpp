#include "recorder/TakeFile.h"

#include "platform/Translate.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// One MPEG-1/2/2.5 Layer III frame header.
struct Frame {
    int bytes = 0;
    int samples = 0;
    int rate = 0;
    int sideInfo = 0; // bytes of side information after the header (and CRC)
};

bool ParseHeader(const unsigned char* h, Frame& f) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int version = (h[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (h[1] >> 1) & 3;   // 1: Layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return false;
    }
    static const int kMpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kMpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kRates[] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int kbps = mpeg1 ? kMpeg1[bitrateIndex] : kMpeg2[bitrateIndex];
    f.rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    f.samples = mpeg1 ? 1152 : 576;
    const int padding = (h[2] >> 1) & 1;
    f.bytes = (mpeg1 ? 144 : 72) * kbps * 1000 / f.rate + padding;
    const bool mono = (h[3] >> 6) == 3;
    const bool crc = (h[1] & 1) == 0;
    f.sideInfo = (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17)) + (crc ? 2 : 0);
    return true;
}

} // namespace

std::string FormatTakeTime(double seconds) {
    const long total = seconds > 0 ? std::lround(seconds) : 0;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

std::string FormatTakeSize(std::uint64_t bytes) {
    using platform::Printf;
    // The decimal sign follows the locale ("1,2 MB" in German).
    if (bytes < 1000) {
        const auto n = static_cast<unsigned>(bytes);
        // TRANSLATORS: a file's size; English uses "bytes" for every number.
        return Printf(platform::TrPlural("%u bytes", "%u bytes", n), n);
    }
    if (bytes < 1000000) {
        // TRANSLATORS: a file's size in kilobytes (1 KB = 1000 bytes).
        return Printf(platform::Tr("%u KB"), static_cast<unsigned>((bytes + 500) / 1000));
    }
    // TRANSLATORS: a file's size in megabytes, such as "12.4 MB".
    return Printf(platform::Tr("%.1f MB"), static_cast<double>(bytes) / 1e6);
}

std::uint64_t TakeFileBytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

double TakeFileSeconds(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in) {
        return 0;
    }
    std::vector<unsigned char> buf(1 << 16);
    std::setvbuf(in.get(), nullptr, _IOFBF, buf.size());
    long long samples = 0;
    long long trimmed = 0; // the encoder's delay and padding, from the Info frame
    int rate = 0;
    bool first = true;
    unsigned char frame[2048];
    for (;;) {
        unsigned char h[4];
        // Frame after frame: the file is read once, front to back.
        if (std::fread(h, 1, 4, in.get()) != 4) {
            break;
        }
        Frame f;
        if (!ParseHeader(h, f)) {
            if (first) {
                return 0; // not an MP3 file this program wrote
            }
            break; // what follows is not a frame: a cut write
        }
        // A frame cut short by a full disk or a crash is not sound.
        std::memcpy(frame, h, 4);
        const auto want = static_cast<std::size_t>(f.bytes - 4);
        if (f.bytes > static_cast<int>(sizeof frame) ||
            std::fread(frame + 4, 1, want, in.get()) != want) {
            break;
        }
        rate = f.rate;
        if (first) {
            first = false;
            const unsigned char* tag = frame + 4 + f.sideInfo;
            const bool room = 4 + f.sideInfo + 8 <= f.bytes;
            if (room && (std::memcmp(tag, "Info", 4) == 0 || std::memcmp(tag, "Xing", 4) == 0)) {
                // Flags: frames, bytes, table of contents, quality.
                const int flags = tag[7];
                const int lameAt = 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) +
                                   ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
                const unsigned char* lame = tag + lameAt;
                if (4 + f.sideInfo + lameAt + 24 <= f.bytes && std::memcmp(lame, "LAME", 4) == 0) {
                    trimmed =
                        ((lame[21] << 4) | (lame[22] >> 4)) + (((lame[22] & 0x0F) << 8) | lame[23]);
                }
                continue; // the tag itself holds no sound
            }
        }
        samples += f.samples;
    }
    if (rate == 0 || samples <= trimmed) {
        return 0;
    }
    return static_cast<double>(samples - trimmed) / rate;
}
