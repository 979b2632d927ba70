// Capture through the private PulseAudio server's pipe sources.
#include "recorder/Capture.h"
#include "platform/WaveIn.h"
#include "recorder/Encoder.h"
#include "recorder/RecordControl.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <mutex>

using namespace std::chrono_literals;
using namespace testsupport;

namespace {

constexpr int kZeta = 0;  // first source the server lists
constexpr int kAlpha = 1; // second

class FailureWatch {
  public:
    FailureWatch() {
        SetRecordingFailureHandler([this](const std::string& why) {
            std::lock_guard<std::mutex> lk(m_);
            reason_ = why;
        });
    }
    ~FailureWatch() { SetRecordingFailureHandler(nullptr); }
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;
    std::string Reason() {
        std::lock_guard<std::mutex> lk(m_);
        return reason_;
    }

  private:
    std::mutex m_;
    std::string reason_;
};

// Also clears the sources, as every recording here starts with fresh audio.
RecordRequest Request(const std::string& file, unsigned kbps, int device) {
    DrainTestSources();
    RecordRequest r;
    r.fileName = file;
    r.bitrate = kbps;
    r.deviceId = device;
    return r;
}

} // namespace

TEST(Capture, DevicesAreTheServersSourcesInItsOrder) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    std::string name;
    ASSERT_TRUE(wavein::waveInGetDevName(kZeta, name));
    EXPECT_EQ(name, "Zeta Microphone");
    ASSERT_TRUE(wavein::waveInGetDevName(kAlpha, name));
    EXPECT_EQ(name, "Alpha Line In");
    EXPECT_FALSE(wavein::waveInGetDevName(2, name));
}

TEST(Capture, ToneComesBackWholeAtEachBitRate) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    const std::string dir = TempDir();
    const double seconds = 2.5; // ends half-way through a buffer
    for (const unsigned kbps : {16U, 64U, 256U}) {
        SCOPED_TRACE(kbps);
        const std::string file = dir + "/t" + std::to_string(kbps) + ".mp3";
        std::string error;
        ASSERT_TRUE(StartRecording(Request(file, kbps, kAlpha), error)) << error;
        const auto pcm = Sine(kbps > 16 ? 1000 : 300, 0.5, seconds);
        {
            FifoWriter writer(Env("VESTREL_FIFO_ALPHA"), pcm, 0);
            ASSERT_TRUE(WaitFor([&] { return writer.Written() == pcm.size(); }, 10s));
        }
        std::this_thread::sleep_for(500ms); // let the source hand over the rest
        StopRecording();
        EXPECT_EQ(g_hRecordThread.load(), 0U);
        EXPECT_FALSE(g_bCaptureFailed) << CaptureFailureReason();

        // All of it, and on PipeWire the silence its clocked source adds.
        const double captured = g_qwCapturedBytes.load() / 176400.0;
        EXPECT_GE(captured, seconds - 0.01);
        EXPECT_LT(captured, seconds + 1.0);
        const auto decoded = DecodeMono(file);
        EXPECT_NEAR(AudibleSeconds(decoded), seconds, 0.03);
        const double decodedSeconds = decoded.size() / 44100.0;
        EXPECT_GE(decodedSeconds, captured - 0.001);
        EXPECT_LT(decodedSeconds - captured, 0.1);
        EXPECT_NEAR(ToneFrequency(decoded), kbps > 16 ? 1000 : 300, 15);
        EXPECT_NEAR(RmsLevel(decoded), 0.5 / std::sqrt(2.0), 0.05);
        const ProbeInfo p = Probe(file);
        EXPECT_EQ(p.sampleRate, kbps > 32 ? 44100 : 22050);
        EXPECT_EQ(p.channels, 2);
        EXPECT_NEAR(p.bitRate, kbps * 1000.0, kbps * 10.0);
        EXPECT_NEAR(p.duration, decodedSeconds, 0.1);
    }
}

TEST(Capture, RecordsTheChosenDeviceNotTheDefault) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    const std::string file = TempDir() + "/chosen.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 128, kAlpha), error)) << error;
    {
        FifoWriter zeta(Env("VESTREL_FIFO_ZETA"), Sine(440, 0.5, 3), 176400);
        FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 3), 176400);
        std::this_thread::sleep_for(2500ms);
        StopRecording();
    }
    EXPECT_NEAR(ToneFrequency(DecodeMono(file)), 1000, 15);
}

TEST(Capture, StopRightAfterStartTwiceAndRecordingsInARow) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    const std::string dir = TempDir();
    std::string error;
    for (int i = 0; i < 2; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(StartRecording(Request(dir + "/quick.mp3", 64, kZeta), error)) << error;
        StopRecording();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
        EXPECT_EQ(g_hRecordThread.load(), 0U);
        EXPECT_EQ(g_hWaveIn.load(), nullptr);
        // At most what was left in the FIFO by an earlier writer.
        EXPECT_LT(DecodeMono(dir + "/quick.mp3").size() / 44100.0, 0.5);
    }
    for (int i = 0; i < 2; ++i) {
        const std::string file = dir + "/row" + std::to_string(i) + ".mp3";
        ASSERT_TRUE(StartRecording(Request(file, 64, kZeta), error)) << error;
        {
            FifoWriter w(Env("VESTREL_FIFO_ZETA"), Sine(600, 0.4, 1.5), 0);
            WaitFor([&] { return w.Written() == 1.5 * 176400; }, 5s);
        }
        std::this_thread::sleep_for(300ms);
        StopRecording();
        EXPECT_NEAR(DecodeMono(file).size() / 44100.0, 1.5, 0.1);
    }
}

TEST(CaptureFailure, DeviceThatCannotOpenIsReportedAndNothingRuns) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    std::string error;
    EXPECT_FALSE(StartRecording(Request(TempDir() + "/x.mp3", 64, 7), error));
    EXPECT_NE(error.find("could not be opened"), std::string::npos) << error;
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(g_hRecordThread.load(), 0U);
    EXPECT_FALSE(g_bStreamOpen);
}

TEST(CaptureFailure, SourceThatStopsDeliveringEndsTheRecordingAndKeepsIt) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    FailureWatch watch;
    const std::string file = TempDir() + "/stall.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
    {
        FifoWriter w(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 1.5), 176400);
        WaitFor([&] { return w.Written() == 1.5 * 176400; }, 5s);
    }
    // Nothing more comes: the server is stopped (a PipeWire source would go
    // on with silence when its writer stops), once it has taken what the
    // writer kept ahead. The recording ends by itself and says why.
    std::this_thread::sleep_for(500ms);
    const pid_t server = std::atoi(Env("VESTREL_SOUND_PID").c_str());
    ASSERT_GT(server, 0);
    kill(server, SIGSTOP);
    const bool ended = WaitFor([] { return g_hRecordThread.load() == 0; }, 15s);
    kill(server, SIGCONT);
    ASSERT_TRUE(ended);
    EXPECT_NE(watch.Reason().find("stopped delivering"), std::string::npos) << watch.Reason();
    StopRecording();
    const auto decoded = DecodeMono(file);
    EXPECT_NEAR(AudibleSeconds(decoded), 1.5, 0.05);
    EXPECT_LT(decoded.size() / 44100.0, 2.5);
}

TEST(CaptureFailure, SourceThatVanishesEndsTheRecordingAndKeepsIt) {
    if (Env("VESTREL_SOUND") == "pipewire") {
        // pipewire-pulse 0.3.65 unloads the pipe source, yet the record
        // stream neither fails nor ends within 10 s; still to be understood.
        GTEST_SKIP() << "an unloaded source does not end the stream on pipewire-pulse";
    }
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    FailureWatch watch;
    const std::string file = TempDir() + "/vanish.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
    FifoWriter w(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 30), 176400);
    std::this_thread::sleep_for(2500ms);
    // Unplug the source.
    const std::string modules = RunOutput({"pactl", "list", "short", "modules"});
    const auto at = modules.find("source_name=alpha_line");
    ASSERT_NE(at, std::string::npos);
    const auto lineStart = modules.rfind('\n', at) + 1;
    const std::string index = modules.substr(lineStart, modules.find('\t', lineStart) - lineStart);
    RunOutput({"pactl", "unload-module", index});
    ASSERT_TRUE(WaitFor([] { return g_hRecordThread.load() == 0; }, 10s));
    w.Stop();
    EXPECT_FALSE(watch.Reason().empty());
    StopRecording();
    EXPECT_GT(DecodeMono(file).size() / 44100.0, 1.9);
}

TEST(CaptureServerLost, EndsTheRecordingAndKeepsIt) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), 2U);
    FailureWatch watch;
    const std::string file = TempDir() + "/server.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
    FifoWriter w(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 30), 176400);
    std::this_thread::sleep_for(2500ms);
    kill(std::atoi(Env("VESTREL_PULSE_PID").c_str()), SIGKILL);
    ASSERT_TRUE(WaitFor([] { return g_hRecordThread.load() == 0; }, 10s));
    w.Stop();
    EXPECT_NE(watch.Reason().find("sound server"), std::string::npos) << watch.Reason();
    StopRecording();
    EXPECT_GT(DecodeMono(file).size() / 44100.0, 1.9);
}
