// The encoder binding and the real encoder library, fed from memory.
#include "recorder/Encoder.h"
#include "recorder/Capture.h"
#include "recorder/RecordControl.h"
#include "recorder/TakeFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

using namespace testsupport;

namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

// Run with the real library on the search path.
TEST(EncoderRealLibrary, ToneAtEachBitRateComesBackAtItsFrequencyLevelAndLength) {
    const std::string dir = TempDir();
    const double seconds = 2.5;
    const auto pcm = Sine(1000, 0.5, seconds);
    struct Case {
        unsigned kbps;
        int rate;
    };
    for (const Case c :
         {Case{16, 22050}, Case{32, 22050}, Case{48, 44100}, Case{64, 44100}, Case{256, 44100}}) {
        SCOPED_TRACE(c.kbps);
        const std::string file = dir + "/tone" + std::to_string(c.kbps) + ".mp3";
        std::string error;
        ClearCaptureFailure();
        ASSERT_EQ(OpenEncoderStream(file, c.kbps, &error), 1) << error;
        EncodeThroughHandler(pcm);
        ASSERT_TRUE(CloseEncoderStream(&error)) << error;
        EXPECT_FALSE(g_bCaptureFailed);
        EXPECT_EQ(g_qwCapturedBytes.load(), pcm.size());

        const ProbeInfo p = Probe(file);
        EXPECT_EQ(p.codec, "mp3");
        EXPECT_EQ(p.sampleRate, c.rate);
        EXPECT_EQ(p.channels, 2);
        EXPECT_NEAR(p.bitRate, c.kbps * 1000.0, c.kbps * 10.0);

        // The Info tag gives players the exact length, not an estimate from
        // the bit rate (ffprobe counts the encoder's delay, its start time,
        // in the duration); the engine reads the same from the frames.
        const std::string warnings = RunOutput(
            {"sh", "-c",
             "ffprobe -v warning -show_entries format=duration,start_time -of csv=p=0 \"$0\" 2>&1",
             file});
        EXPECT_EQ(warnings.find("Estimating duration"), std::string::npos) << warnings;
        double start = 1, duration = 0;
        EXPECT_EQ(std::sscanf(warnings.c_str(), "%lf,%lf", &start, &duration), 2) << warnings;
        EXPECT_NEAR(duration - start, seconds, 0.03) << warnings;
        EXPECT_NEAR(TakeFileSeconds(file), seconds, 0.03);

        const auto decoded = DecodeMono(file);
        const double decodedSeconds = decoded.size() / 44100.0;
        // Only the encoder's delay and padding may be added; nothing lost.
        EXPECT_GE(decodedSeconds, seconds - 0.001);
        EXPECT_LT(decodedSeconds - seconds, 0.1);
        if (c.kbps >= 32) { // 16 kbps keeps too little of a 1 kHz tone to measure
            EXPECT_NEAR(ToneFrequency(decoded), 1000, 20);
            EXPECT_NEAR(RmsLevel(decoded), 0.5 / std::sqrt(2.0), 0.05);
        }
    }
}

TEST(EncoderRealLibrary, SecondRecordingDoesNotLoadAgain) {
    const std::string dir = TempDir();
    ASSERT_EQ(LoadEncoder(), 1);
    const auto first = g_encoder.beInitStream;
    void* handle = dlopen(kEncoderLibraryName, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(OpenEncoderStream(dir + "/again.mp3", 64), 1);
        ASSERT_TRUE(CloseEncoderStream());
    }
    EXPECT_EQ(g_encoder.beInitStream, first);
    EXPECT_EQ(dlopen(kEncoderLibraryName, RTLD_NOW | RTLD_NOLOAD), handle);
    dlclose(handle);
    dlclose(handle);
}

TEST(EncoderRealLibrary, UncreatableFileIsReportedByNameAndNothingOpens) {
    std::string error;
    EXPECT_EQ(OpenEncoderStream("/nonexistent-folder/take.mp3", 64, &error), 0);
    EXPECT_NE(error.find("/nonexistent-folder/take.mp3"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_EQ(g_outFile, nullptr);
    EXPECT_FALSE(g_bStreamOpen);
}

TEST(EncoderRealLibrary, EveryBufferIsOnDiskAtOnce) {
    const std::string file = TempDir() + "/flush.mp3";
    ClearCaptureFailure();
    ASSERT_EQ(OpenEncoderStream(file, 128), 1);
    EncodeThroughHandler(Sine(440, 0.3, 3.0));
    // Another process sees the bytes before the file is closed.
    const auto size = FileSize(file);
    EXPECT_GT(size, 3 * 128000 / 8 * 9 / 10);
    EXPECT_FALSE(DecodeMono(file).empty());
    CloseEncoderStream();
}

TEST(EncoderRealLibrary, FullDiskFailsTheCaptureWithTheReason) {
    ClearCaptureFailure();
    ASSERT_EQ(OpenEncoderStream("/dev/full", 64), 1);
    EncodeThroughHandler(Sine(440, 0.3, 1.0));
    EXPECT_TRUE(g_bCaptureFailed);
    EXPECT_NE(CaptureFailureReason().find("No space left on device"), std::string::npos)
        << CaptureFailureReason();
    CloseEncoderStream();
    ClearCaptureFailure();
}

// Run with the recording test library on the search path.
TEST(EncoderConfigRecorded, LibraryReceivesThePublishedConfiguration) {
    const std::string dir = TempDir();
    const std::string record = dir + "/config.bin";
    setenv("VESTREL_CONFIG_RECORD", record.c_str(), 1);
    auto received = [&](unsigned kbps) {
        EXPECT_EQ(OpenEncoderStream(dir + "/c.mp3", kbps), 1);
        CloseEncoderStream();
        const auto bytes = ReadAll(record);
        EXPECT_EQ(bytes.size(), 331U);
        BE_CONFIG cfg{};
        std::memcpy(&cfg, bytes.data(), std::min(bytes.size(), sizeof cfg));
        return cfg;
    };
    const BE_CONFIG c = received(64);
    const auto& l = c.format.LHV1;
    EXPECT_EQ(c.dwConfig, 256U);
    EXPECT_EQ(l.dwStructVersion, 1U);
    EXPECT_EQ(l.dwStructSize, 331U);
    EXPECT_EQ(l.dwSampleRate, 44100U);
    EXPECT_EQ(l.dwReSampleRate, 0U);
    EXPECT_EQ(l.nMode, 1);
    EXPECT_EQ(l.dwBitrate, 64U);
    EXPECT_EQ(l.dwMaxBitrate, 0U);
    EXPECT_EQ(l.nPreset, 12);
    EXPECT_EQ(l.dwMpegVersion, 1U);
    EXPECT_EQ(l.dwPsyModel, 0U);
    EXPECT_EQ(l.dwEmphasis, 0U);
    EXPECT_EQ(l.bPrivate, 1);
    EXPECT_EQ(l.bCRC, 0);
    EXPECT_EQ(l.bCopyright, 1);
    EXPECT_EQ(l.bOriginal, 1);
    EXPECT_EQ(l.bWriteVBRHeader, 1); // the first frame is kept for the Info tag
    EXPECT_EQ(l.bEnableVBR, 0);
    EXPECT_EQ(l.nVBRQuality, 0);
    EXPECT_EQ(l.dwVbrAbr_bps, 0U);
    EXPECT_EQ(l.nVbrMethod, 0);
    EXPECT_EQ(l.bNoRes, 1);
    EXPECT_EQ(l.bStrictIso, 0);
    EXPECT_EQ(l.nQuality, 0);
    for (const auto b : l.btReserved) {
        ASSERT_EQ(b, 0);
    }
    EXPECT_EQ(received(32).format.LHV1.dwMpegVersion, 0U);
    EXPECT_EQ(received(48).format.LHV1.dwMpegVersion, 1U);
}

TEST(EncoderConfigRecorded, StreamThatDoesNotOpenIsReportedAndTheFileClosed) {
    const std::string dir = TempDir();
    setenv("VESTREL_CONFIG_REFUSE", "1", 1);
    std::string error;
    EXPECT_EQ(OpenEncoderStream(dir + "/refused.mp3", 64, &error), 0);
    unsetenv("VESTREL_CONFIG_REFUSE");
    EXPECT_NE(error.find("could not start an MP3 stream"), std::string::npos) << error;
    EXPECT_NE(error.find("liblame_enc.so"), std::string::npos) << error;
    EXPECT_EQ(g_outFile, nullptr);
    EXPECT_FALSE(g_bStreamOpen);
}

// Run with a library that lacks beWriteInfoTag.
TEST(EncoderLoaderNoInfoTag, IsAccepted) {
    std::string error;
    EXPECT_EQ(LoadEncoder(&error), 1) << error;
    EXPECT_EQ(g_bEncoderLoaded.load(), 1);
    EXPECT_NE(g_encoder.beInitStream, nullptr);
    EXPECT_EQ(g_encoder.beWriteInfoTag, nullptr);
}

// Run with a library that lacks beVersion.
TEST(EncoderLoaderNoVersion, IsRejectedAndReleased) {
    std::string error;
    EXPECT_EQ(LoadEncoder(&error), 0);
    EXPECT_NE(error.find("beVersion"), std::string::npos) << error;
    EXPECT_EQ(g_bEncoderLoaded.load(), 0);
    EXPECT_EQ(dlopen(kEncoderLibraryName, RTLD_NOW | RTLD_NOLOAD), nullptr);
    // Nothing recorded: no file is created.
    const std::string file = TempDir() + "/none.mp3";
    EXPECT_EQ(OpenEncoderStream(file, 64, &error), 0);
    EXPECT_EQ(FileSize(file), -1);
}

// Run with no encoder library to be found.
TEST(EncoderLoaderMissing, NamesTheLibrary) {
    std::string error;
    EXPECT_EQ(OpenEncoderStream(TempDir() + "/none.mp3", 64, &error), 0);
    EXPECT_NE(error.find("liblame_enc.so"), std::string::npos) << error;
}
