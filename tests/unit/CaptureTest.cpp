// Capture through the private PulseAudio server's pipe sources.
#include "recorder/Capture.h"
#include "platform/WaveIn.h"
#include "recorder/Encoder.h"
#include "recorder/RecordControl.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>

using namespace std::chrono_literals;
using namespace testsupport;

namespace {

constexpr int kZeta = 0;    // first source the server lists
constexpr int kAlpha = 1;   // second
constexpr int kMonitor = 2; // the null output's monitor
constexpr int kZetaWithDesktop = 3;  // then each input mixed with the desktop's sound
constexpr int kAlphaWithDesktop = 4;
constexpr unsigned kSources = 5;

// What the engine reports of a take's end: why it ended by itself, and
// where the take is.
class FailureWatch : public RecordObserver {
  public:
    FailureWatch() { SetRecordObserver(this); }
    ~FailureWatch() override { SetRecordObserver(nullptr); }
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;
    void RecordingEnded(const TakeEnd& end) override {
        std::lock_guard<std::mutex> lk(m_);
        if (!end.failure.empty()) {
            reason_ = end.failure;
        }
        keptAt_ = end.keptAt;
    }
    std::string Reason() {
        std::lock_guard<std::mutex> lk(m_);
        return reason_;
    }
    std::string KeptAt() {
        std::lock_guard<std::mutex> lk(m_);
        return keptAt_;
    }

  private:
    std::mutex m_;
    std::string reason_;
    std::string keptAt_;
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

// Here "Zeta Microphone" is the server's default source: takes of another
// source by number check that the default's audio stays out, and on
// PipeWire the lengths of these takes were measured with it so.
class ZetaIsTheDefault : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(SetDefaultSource("zeta_mic")); }
};
const auto* const kZetaIsTheDefault = ::testing::AddGlobalTestEnvironment(new ZetaIsTheDefault);

} // namespace

TEST(Capture, DevicesAreTheServersSourcesInItsOrder) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
    std::string name;
    ASSERT_TRUE(wavein::waveInGetDevName(kZeta, name));
    EXPECT_EQ(name, "Zeta Microphone");
    ASSERT_TRUE(wavein::waveInGetDevName(kAlpha, name));
    EXPECT_EQ(name, "Alpha Line In");
    // What the computer plays can be recorded too.
    ASSERT_TRUE(wavein::waveInGetDevName(kMonitor, name));
    // PipeWire names it after the sink rather than its description.
    EXPECT_EQ(name, Env("VESTREL_SOUND") == "pipewire" ? "Monitor of speakers Audio/Sink sink"
                                                       : "Monitor of Null Output");
    // Each input, not the monitor, also with what the desktop plays.
    ASSERT_TRUE(wavein::waveInGetDevName(kZetaWithDesktop, name));
    EXPECT_EQ(name, "Zeta Microphone + desktop audio");
    ASSERT_TRUE(wavein::waveInGetDevName(kAlphaWithDesktop, name));
    EXPECT_EQ(name, "Alpha Line In + desktop audio");
    std::string source;
    ASSERT_TRUE(wavein::waveInGetDevSource(kZetaWithDesktop, source));
    EXPECT_EQ(source, "zeta_mic+desktop");
    EXPECT_FALSE(wavein::waveInGetDevName(kSources, name));
}

TEST(Capture, ToneComesBackWholeAtEachBitRate) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
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
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
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
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
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
        std::this_thread::sleep_for(500ms); // let the source hand over the rest
        StopRecording();
        // The tone whole; on PipeWire with the silence its clocked source
        // adds once the FIFO is empty. (The take's Info tag has the decoder
        // trim the encoder's delay and padding, which no longer pad it.)
        const auto decoded = DecodeMono(file);
        EXPECT_NEAR(AudibleSeconds(decoded), 1.5, 0.05);
        EXPECT_LT(decoded.size() / 44100.0, 2.2);
    }
}

TEST(Capture, MonitorRecordsWhatTheComputerPlays) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
    const std::string file = TempDir() + "/monitor.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 128, kMonitor), error)) << error;
    RunOutput({"sh", "-c",
               "sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth 2 sine 660 vol 0.5 | "
               "pacat --device=speakers --format=s16le --rate=44100 --channels=2"});
    StopRecording();
    EXPECT_FALSE(g_bCaptureFailed) << CaptureFailureReason();
    const auto decoded = DecodeMono(file);
    EXPECT_GT(decoded.size() / 44100.0, 1.5);
    EXPECT_NEAR(ToneFrequency(decoded), 660, 15);
}

TEST(CaptureFailure, DeviceThatCannotOpenIsReportedAndNothingRuns) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
    const std::string dir = TempDir();
    const std::string file = dir + "/x.mp3";
    WriteText(file, "yesterday's take");
    std::string error;
    EXPECT_FALSE(StartRecording(Request(file, 64, 7), error));
    EXPECT_NE(error.find("could not be opened"), std::string::npos) << error;
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(g_hRecordThread.load(), 0U);
    EXPECT_FALSE(g_bStreamOpen);
    // A Record that does not start leaves the file as it was, and so does
    // one whose file can't be made (a folder in its place).
    EXPECT_EQ(FileText(file), "yesterday's take");
    EXPECT_FALSE(StartRecording(Request(dir, 64, kAlpha), error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    EXPECT_EQ(SourceOutputCount(), 0);
    EXPECT_EQ(FileText(file), "yesterday's take");
}

TEST(CaptureFailure, ReplacedTakeGoesToTheTrash) {
    const std::string file = TempDir() + "/take.mp3";
    WriteText(file, "yesterday's take");
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
    StopRecording();
    const std::string trash = Env("HOME") + "/.local/share/Trash";
    EXPECT_EQ(FileText(trash + "/files/take.mp3"), "yesterday's take");
    EXPECT_NE(FileText(trash + "/info/take.mp3.trashinfo").find("Path=" + file), std::string::npos);
    EXPECT_NE(FileText(file), "yesterday's take");
}

TEST(CaptureFailure, SourceThatStopsDeliveringEndsTheRecordingAndLetsGoOfTheDevice) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
    FailureWatch watch;
    const int threads = ThreadCount();
    const int fds = OpenFdCount();
    const std::string file = TempDir() + "/stall.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
    EXPECT_EQ(SourceOutputCount(), 1);
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
    // Nothing of the device is left: no stream on the server, no thread,
    // no descriptor, no buffer.
    EXPECT_EQ(SourceOutputCount(), 0);
    EXPECT_EQ(g_hWaveIn.load(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= threads + 1; }, 2s)); // + the joinable one
    StopRecording();
    // No more than before: a thread of an earlier recording may have ended since.
    EXPECT_LE(ThreadCount(), threads);
    EXPECT_EQ(OpenFdCount(), fds);
    for (const auto& h : g_waveHeaders) {
        EXPECT_EQ(h.lpData, nullptr);
    }
    const auto decoded = DecodeMono(file);
    EXPECT_NEAR(AudibleSeconds(decoded), 1.5, 0.05);
    EXPECT_LT(decoded.size() / 44100.0, 2.5);
}

TEST(CaptureFailure, OutputFolderRemovedMidTakeSavesTheTake) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
    FailureWatch watch;
    const std::string base = TempDir();
    // First the folder stays gone: the take lands in the home folder; then
    // it comes back at once: the take is at its own path again.
    for (const bool back : {false, true}) {
        SCOPED_TRACE(back);
        const std::string dir = base + (back ? "/back" : "/gone");
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
        const std::string file = dir + "/lecture.mp3";
        std::string error;
        ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
        FifoWriter w(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 30), 176400);
        std::this_thread::sleep_for(2200ms);
        RunOutput({"rm", "-rf", dir});
        const double fed = w.Written() / 176400.0;
        if (back) {
            mkdir(dir.c_str(), 0755);
        }
        // Noticed with the next buffer, not at some later Stop.
        ASSERT_TRUE(WaitFor([] { return g_hRecordThread.load() == 0; }, 3s));
        w.Stop();
        StopRecording();
        EXPECT_NE(watch.Reason().find("deleted"), std::string::npos) << watch.Reason();
        const std::string kept = watch.KeptAt();
        EXPECT_EQ(kept, back ? file : Env("HOME") + "/lecture (recovered).mp3");
        const double seconds = DecodeMono(kept).size() / 44100.0;
        std::printf("folder removed after %.2f s fed: %.2f s kept in %s\n", fed, seconds,
                    kept.c_str());
        EXPECT_GT(seconds, fed - 0.2);
        EXPECT_NEAR(ToneFrequency(DecodeMono(kept)), 1000, 15);
    }
    EXPECT_EQ(RecoveredName(Env("HOME"), "/x/lecture.mp3"),
              Env("HOME") + "/lecture (recovered 2).mp3");
}

TEST(CaptureFailure, SourceThatVanishesEndsTheRecordingAtOnceAndKeepsIt) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
    FailureWatch watch;
    const std::string file = TempDir() + "/vanish.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
    FifoWriter w(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 30), 176400);
    // The default source goes on delivering: the take must not move to it.
    FifoWriter zeta(Env("VESTREL_FIFO_ZETA"), Sine(440, 0.5, 30), 176400);
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(UnloadSource("alpha_line"));
    const double fed = w.Written() / 176400.0;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([] { return g_hRecordThread.load() == 0; }, 10s));
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    w.Stop();
    zeta.Stop();
    EXPECT_LT(took, 1.0);
    EXPECT_NE(watch.Reason().find("\"Alpha Line In\" went away"), std::string::npos)
        << watch.Reason();
    StopRecording();
    EXPECT_EQ(SourceOutputCount(), 0);
    const auto decoded = DecodeMono(file);
    std::printf("source unloaded after %.2f s fed: %.2f s kept\n", fed, decoded.size() / 44100.0);
    // A clocked source (PipeWire) had not yet taken what the writer kept ahead.
    const double lead = Env("VESTREL_SOUND") == "pipewire" ? FifoWriter::kLeadSeconds : 0.0;
    EXPECT_GT(decoded.size() / 44100.0, fed - lead - 0.3);
    EXPECT_NEAR(ToneFrequency(decoded), 1000, 15); // nothing of the other source
}

TEST(CaptureServerLost, EndsTheRecordingAndKeepsWhatWasCaptured) {
    ASSERT_EQ(wavein::waveInGetNumDevs(), kSources);
    FailureWatch watch;
    const std::string file = TempDir() + "/server.mp3";
    std::string error;
    ASSERT_TRUE(StartRecording(Request(file, 64, kAlpha), error)) << error;
    FifoWriter w(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 30), 176400);
    std::this_thread::sleep_for(2500ms);
    kill(std::atoi(Env("VESTREL_PULSE_PID").c_str()), SIGKILL);
    const double fed = w.Written() / 176400.0;
    ASSERT_TRUE(WaitFor([] { return g_hRecordThread.load() == 0; }, 10s));
    w.Stop();
    EXPECT_NE(watch.Reason().find("sound server"), std::string::npos) << watch.Reason();
    StopRecording();
    // Up to the last fragment the server handed over, not whole seconds.
    const double kept = DecodeMono(file).size() / 44100.0;
    std::printf("server killed after %.2f s fed: %.2f s kept\n", fed, kept);
    // As above: a clocked source had not yet taken the writer's lead.
    const double lead = Env("VESTREL_SOUND") == "pipewire" ? FifoWriter::kLeadSeconds : 0.0;
    EXPECT_GT(kept, fed - lead - 0.3);
}
