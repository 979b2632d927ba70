// The converter's words and real ffmpeg runs.
#include "convert/ConvertJob.h"
#include "platform/Spawn.h"
#include "recorder/Capture.h"
#include "recorder/Encoder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using namespace std::chrono_literals;

TEST(CommandLine, ExampleReadsLetterForLetter) {
    EXPECT_EQ(
        BuildCommandLine("", "/home/ann/MyMP3.mp3", "128k", "wma", "/home/ann/Talks/note.wma"),
        R"("ffmpeg" -i "/home/ann/MyMP3.mp3" -b:a 128k -acodec wmav2 "/home/ann/Talks/note.wma")");
}

TEST(CommandLine, OnlyExactlyWmaAddsTheCodec) {
    for (const char* f : {"mp3", "wav", "aac", "flac", "m4a", "ac3", "WMA", "Wma", "wma "}) {
        SCOPED_TRACE(f);
        const wxString line = BuildCommandLine("", "/r.mp3", "64k", f, "/t.x");
        EXPECT_EQ(line, R"("ffmpeg" -i "/r.mp3" -b:a 64k "/t.x")");
    }
    EXPECT_EQ(BuildCommandLine("", "/r.mp3", "64k", "wma", "/t.wma"),
              R"("ffmpeg" -i "/r.mp3" -b:a 64k -acodec wmav2 "/t.wma")");
}

TEST(CommandLine, BitRateAsStoredAndFolderRightBeforeTheName) {
    EXPECT_EQ(BuildCommandLine("/opt/conv/", "/r.mp3", "512k", "ac3", "/t.ac3"),
              R"("/opt/conv/ffmpeg" -i "/r.mp3" -b:a 512k "/t.ac3")");
    const ConvertJob job = MakeConvertJob("/opt/conv/", "/r.mp3", "32k", "wma", "/t.wma");
    const std::vector<std::string> want = {"/opt/conv/ffmpeg", "-i",    "/r.mp3", "-b:a", "32k",
                                           "-acodec",          "wmav2", "/t.wma"};
    EXPECT_EQ(job.argv, want);
}

TEST(CommandLine, LongNamesAreUsedWhole) {
    const std::string longName = "/tmp/" + std::string(2000, 'n') + ".mp3";
    const ConvertJob job = MakeConvertJob("", wxString::FromUTF8(longName), "64k", "mp3",
                                          wxString::FromUTF8(longName + ".mp3"));
    EXPECT_EQ(job.argv[2], longName);
    EXPECT_EQ(job.argv.back(), longName + ".mp3");
    EXPECT_GT(job.commandLine.length(), 4000U);
}

TEST(Spawn, ArgumentsPassWholeAndErrorOutputIsKept) {
    const platform::ProcessResult r = platform::RunAndCollect(
        {"sh", "-c", "printf '%s\\n' \"$1\" >&2; read x; exit 3", "sh", "a b \"c\" $d; é"});
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitStatus, 3); // standard input is /dev/null: `read` does not wait
    EXPECT_EQ(platform::LastLine(r.errorOutput), "a b \"c\" $d; é");
}

TEST(Spawn, KilledChildReports128PlusSignal) {
    const platform::ProcessResult r = platform::RunAndCollect({"sh", "-c", "kill -9 $$"});
    EXPECT_EQ(r.exitStatus, 128 + 9);
}

TEST(Spawn, MissingProgramIsNotStarted) {
    const platform::ProcessResult r = platform::RunAndCollect({"/nonexistent/ffmpeg"});
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.startError, ENOENT);
}

TEST(Spawn, ConverterGetsOnlyTheStandardDescriptors) {
    // Descriptors a program holds without close-on-exec: a socket like the
    // sound server's, a device file, a file being written.
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    const int urandom = open("/dev/urandom", O_RDONLY);
    const std::string dir = TempDir();
    const int held = open((dir + "/held.mp3").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(urandom, 0);
    ASSERT_GE(held, 0);
    // A real ffmpeg on a long input, paced: it runs until killed.
    platform::ProcessResult r;
    std::thread run([&] {
        r = platform::RunAndCollect({"ffmpeg", "-hide_banner", "-re", "-f", "lavfi", "-i",
                                     "sine=frequency=440:duration=60", "-f", "null", "-"});
    });
    pid_t child = 0;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                const std::string name = entry.path().filename();
                if (name.find_first_not_of("0123456789") != std::string::npos) {
                    continue;
                }
                const std::string cmd = testsupport::FileText(entry.path() / "cmdline");
                if (cmd.rfind("ffmpeg", 0) == 0 &&
                    cmd.find("sine=frequency=440:duration=60") != std::string::npos) {
                    child = std::stoi(name);
                    return true;
                }
            }
            return false;
        },
        10s));
    std::this_thread::sleep_for(300ms); // past exec, into the conversion
    std::set<std::string> fds;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(child) + "/fd")) {
        fds.insert(entry.path().filename());
    }
    kill(child, SIGKILL);
    run.join();
    EXPECT_EQ(fds, (std::set<std::string>{"0", "1", "2"}));
    EXPECT_EQ(r.exitStatus, 128 + SIGKILL);
    close(sv[0]);
    close(sv[1]);
    close(urandom);
    close(held);
}

TEST(Spawn, LastLineSkipsBlankEndsAndProgressReturns) {
    EXPECT_EQ(platform::LastLine("first\nsecond\n\n  \n"), "second");
    EXPECT_EQ(platform::LastLine("size=1\rsize=2\r"), "size=2");
    EXPECT_EQ(platform::LastLine(""), "");
}

namespace {

std::string RecordingIn(const std::string& dir) {
    return testsupport::MakeRecording(dir + "/MyMP3.mp3");
}

struct Expect {
    const char* format;
    const char* container;
    const char* codec;
    bool hasRate;
    long maxRate; // the encoder's own ceiling
};

} // namespace

TEST(Conversion, EachFormatAtEachRate) {
    const std::string dir = TempDir();
    const std::string rec = RecordingIn(dir);
    ASSERT_FALSE(rec.empty());
    const double sourceSeconds = Probe(rec).duration;
    const Expect all[] = {
        {"mp3", "mp3", "mp3", true, 320000},
        {"wav", "wav", "pcm_s16le", false, 0},
        {"aac", "aac", "aac", true, 270000},
        {"wma", "asf", "wmav2", true, 512000},
        {"flac", "flac", "flac", false, 0},
        {"m4a", "mov,mp4,m4a,3gp,3g2,mj2", "aac", true, 270000},
        {"ac3", "ac3", "ac3", true, 640000},
    };
    for (const char* rate : {"64k", "256k"}) {
        for (const Expect& e : all) {
            SCOPED_TRACE(std::string(e.format) + " " + rate);
            const std::string target = dir + "/out " + rate + "." + e.format;
            const ConvertJob job = MakeConvertJob("", wxString::FromUTF8(rec), rate, e.format,
                                                  wxString::FromUTF8(target));
            const platform::ProcessResult r = RunAndWait(job);
            wxString text;
            ASSERT_TRUE(DescribeOutcome(job, r, text)) << text;
            EXPECT_EQ(text, "Converted and Saved");
            const ProbeInfo p = Probe(target);
            EXPECT_EQ(p.formatName, e.container);
            EXPECT_EQ(p.codec, e.codec);
            if (e.hasRate) {
                const double asked = std::atoi(rate) * 1000.0;
                const double expected = std::min<double>(asked, e.maxRate);
                EXPECT_NEAR(p.bitRate, expected, expected * 0.2);
            }
            EXPECT_NEAR(p.duration, sourceSeconds, 0.1);
            // Once more as Convert and Save runs it: what the completion
            // box tells of the file is what ffprobe reads.
            ConvertOutcome o;
            unlink(target.c_str()); // as Convert and Save does once the old one is kept
            ConvertRun(job, [&o](const ConvertOutcome& got) { o = got; }).Wait();
            ASSERT_EQ(o.kind, ConvertOutcome::Kind::Converted) << o.text;
            const ProbeInfo again = Probe(target);
            EXPECT_EQ(o.file.codec, std::string(e.codec) == "pcm_s16le" ? "PCM"
                                    : std::string(e.codec) == "wmav2"   ? "WMA"
                                    : std::string(e.codec) == "ac3"     ? "AC-3"
                                                                    : wxString(e.codec).Upper());
            EXPECT_NEAR(o.file.seconds, again.duration, 0.05);
            EXPECT_EQ(o.file.bytes, FileSize(target));
            // (ffmpeg's length leaves out the encoder's priming, up to about
            // 50 ms: 2 % of these 3 s.)
            EXPECT_NEAR(o.file.bitRate, again.formatBitRate, again.formatBitRate * 0.02);
            EXPECT_EQ(o.note.find("does not apply") != std::string::npos, !e.hasRate) << o.note;
            if (e.hasRate) {
                EXPECT_EQ(o.note, "");
            }
        }
    }
}

TEST(Conversion, NotAudioFailsWithTheConvertersReasonAndLeavesNoTarget) {
    const std::string dir = TempDir();
    const std::string rec = dir + "/MyMP3.mp3";
    std::ofstream(rec) << "this is not audio\n";
    const std::string target = dir + "/out.wav";
    const ConvertJob job =
        MakeConvertJob("", wxString::FromUTF8(rec), "128k", "wav", wxString::FromUTF8(target));
    const platform::ProcessResult r = RunAndWait(job);
    wxString text;
    EXPECT_FALSE(DescribeOutcome(job, r, text));
    EXPECT_TRUE(text.StartsWith("The conversion failed: ")) << text;
    EXPECT_NE(text.Find(wxString::FromUTF8(rec) + ": "), wxNOT_FOUND)
        << text; // ffmpeg's own reason
    EXPECT_NE(text.Find(wxString::Format("exit status %d", r.exitStatus)), wxNOT_FOUND);
    EXPECT_NE(r.exitStatus, 0);
    ConvertOutcome outcome;
    ConvertRun(job, [&outcome](const ConvertOutcome& o) { outcome = o; }).Wait();
    EXPECT_EQ(outcome.kind, ConvertOutcome::Kind::Failed);
    EXPECT_EQ(FileSize(target), -1);
}

TEST(Conversion, ConverterMissingFromFolderIsNamedWithWhereItWasLooked) {
    const std::string dir = TempDir();
    const std::string rec = RecordingIn(dir);
    const ConvertJob job = MakeConvertJob(wxString::FromUTF8(dir + "/"), wxString::FromUTF8(rec),
                                          "128k", "wav", wxString::FromUTF8(dir + "/o.wav"));
    const platform::ProcessResult r = RunAndWait(job);
    wxString text;
    EXPECT_FALSE(r.started);
    EXPECT_FALSE(DescribeOutcome(job, r, text));
    EXPECT_NE(text.Find("ffmpeg could not be started"), wxNOT_FOUND) << text;
    EXPECT_NE(text.Find(wxString::FromUTF8(dir)), wxNOT_FOUND) << text;
}

TEST(Conversion, ConverterMissingFromPathIsNamedWithThePath) {
    const std::string dir = TempDir();
    const std::string rec = RecordingIn(dir);
    const std::string oldPath = Env("PATH");
    setenv("PATH", dir.c_str(), 1);
    const ConvertJob job = MakeConvertJob("", wxString::FromUTF8(rec), "128k", "wav",
                                          wxString::FromUTF8(dir + "/o.wav"));
    const platform::ProcessResult r = RunAndWait(job);
    setenv("PATH", oldPath.c_str(), 1);
    wxString text;
    EXPECT_FALSE(DescribeOutcome(job, r, text));
    EXPECT_NE(text.Find("folders on PATH (" + wxString::FromUTF8(dir) + ")"), wxNOT_FOUND) << text;
}

TEST(Conversion, TargetNamesWithBlanksQuotesColonAndAccentsPassWhole) {
    const std::string dir = TempDir();
    const std::string rec = RecordingIn(dir);
    const std::string target = dir + "/Ann's \"talk\": Grüße $x; ok.flac";
    const ConvertJob job =
        MakeConvertJob("", wxString::FromUTF8(rec), "128k", "flac", wxString::FromUTF8(target));
    wxString text;
    EXPECT_TRUE(DescribeOutcome(job, RunAndWait(job), text)) << text;
    EXPECT_EQ(Probe(target).codec, "flac");
}

// ffmpeg stands in here for a converter that ignores SIGTERM (a real one
// stops on it: the real program's script cancels a real ffmpeg). Its
// Duration is read whole where the locale's decimal sign is a comma.
TEST(ConvertRun, CancelKillsAConverterDeafToTermAndPutsTheReplacedFileBack) {
    const std::string numeric = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    struct Restore {
        std::string name;
        ~Restore() { std::setlocale(LC_NUMERIC, name.c_str()); }
    } restore{numeric};
    const std::string dir = TempDir();
    const std::string rec = RecordingIn(dir);
    const std::string target = dir + "/talk.wav";
    const std::string recording = FileText(rec);
    std::ofstream(target) << "yesterday's talk";
    std::ofstream(dir + "/ffmpeg") << "#!/bin/sh\ntrap '' TERM\n"
                                      "echo '  Duration: 00:10:00.50, start: 0' >&2\n"
                                      "for last; do :; done; echo partial > \"$last\"\n"
                                      "echo out_time_us=240000000; echo progress=continue\n"
                                      "exec sleep 30\n";
    chmod((dir + "/ffmpeg").c_str(), 0755);
    ConvertJob job = MakeConvertJob(wxString::FromUTF8(dir + "/"), wxString::FromUTF8(rec), "128k",
                                    "wav", wxString::FromUTF8(target));
    job.kept = platform::KeepBeforeReplacing(target);
    ASSERT_TRUE(job.kept.ok);
    ConvertOutcome outcome;
    ConvertRun run(job, [&outcome](const ConvertOutcome& o) { outcome = o; });
    ASSERT_TRUE(WaitFor([&] { return run.Position() > 0; }, 10s));
    EXPECT_EQ(run.Position(), 240);
    EXPECT_EQ(run.Length(), 600.5);
    const auto t0 = std::chrono::steady_clock::now();
    run.Cancel();
    run.Wait();
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(took, 1.9);
    EXPECT_LT(took, 4);
    EXPECT_EQ(outcome.kind, ConvertOutcome::Kind::Cancelled);
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(FileText(target), "yesterday's talk");
    EXPECT_EQ(FileText(rec), recording);
}
