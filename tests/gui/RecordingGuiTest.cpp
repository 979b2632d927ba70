// Record and Stop through the main window, with the test sources.
#include "recorder/Capture.h"
#include "recorder/RecordControl.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/TestSupport.h"
#include "ui/Resource.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

using namespace gui;
using namespace testsupport;
using namespace std::chrono_literals;

namespace {

const int kDisabledWhileRecording[] = {1002, 1004, 1006, 4, 3, 1000, 1003};

struct Recording {
    MainDialogFixture dlg;
    std::string file;
    explicit Recording(const std::string& name = "take.mp3") : file(TempDir() + "/" + name) {
        Hook().Clear();
        DrainTestSources();
        dlg->OutputFileBox()->ChangeValue(wxString::FromUTF8(file));
    }
    wxString Caption() const { return dlg->RecordButton()->GetLabel(); }
};

} // namespace

TEST(RecordingGui, RecordThenStopWritesTheFileAndThePlayerGetsIt) {
    Recording r;
    r.dlg->DeviceList()->SetSelection(0); // "Alpha Line In", device 1
    r.dlg.Press(IDOK_RECORD);
    EXPECT_EQ(r.Caption(), "Stop");
    Pump(100);
    for (const int id : kDisabledWhileRecording) {
        EXPECT_FALSE(r.dlg.Control(id)->IsEnabled()) << id;
    }
    EXPECT_TRUE(r.dlg.Control(IDOK_RECORD)->IsEnabled());
    {
        FifoWriter zeta(Env("VESTREL_FIFO_ZETA"), Sine(440, 0.5, 3), 176400);
        FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 3), 176400);
        Pump(2500);
    }
    r.dlg.Press(IDOK_RECORD);
    EXPECT_EQ(r.Caption(), "Record");
    EXPECT_EQ(g_hRecordThread.load(), 0U);
    EXPECT_EQ(r.dlg->Player().get_URL(), wxString::FromUTF8(r.file));
    Pump(100);
    for (const int id : kDisabledWhileRecording) {
        EXPECT_TRUE(r.dlg.Control(id)->IsEnabled()) << id;
    }
    // The tone for about as long as it ran (its writer keeps 0.3 s ahead;
    // 3 s in all), with at most a little silence a clocked source
    // (PipeWire) records around it.
    const auto decoded = DecodeMono(r.file);
    EXPECT_GT(AudibleSeconds(decoded), 2.1);
    EXPECT_LT(AudibleSeconds(decoded), 3.05);
    EXPECT_LT(decoded.size() / 44100.0, 3.5);
    EXPECT_NEAR(ToneFrequency(decoded), 1000, 15); // the device the list shows
    EXPECT_EQ(Probe(r.file).bitRate, 64000);       // "64 Kbps", the default
    EXPECT_TRUE(Hook().Messages().empty());
}

TEST(RecordingGui, BitRateComesFromTheList) {
    Recording r;
    r.dlg->BitrateList()->SetSelection(7);
    r.dlg.Press(IDOK_RECORD);
    {
        FifoWriter zeta(Env("VESTREL_FIFO_ZETA"), Sine(440, 0.5, 2), 0);
        FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(440, 0.5, 2), 0);
        Pump(1200);
    }
    r.dlg.Press(IDOK_RECORD);
    EXPECT_EQ(Probe(r.file).bitRate, 256000);
    EXPECT_EQ(ParseBitrate("16 Kbps"), 16U);
    EXPECT_EQ(ParseBitrate(""), 128U);
    EXPECT_EQ(ParseBitrate("fast"), 128U);
}

TEST(RecordingGui, StopRightAfterRecordTwiceAndTwoInARow) {
    Recording r;
    for (int i = 0; i < 2; ++i) {
        r.dlg.Press(IDOK_RECORD);
        r.dlg.Press(IDOK_RECORD);
        EXPECT_EQ(r.Caption(), "Record");
        EXPECT_EQ(g_hRecordThread.load(), 0U);
    }
    for (int i = 0; i < 2; ++i) {
        r.dlg.Press(IDOK_RECORD);
        {
            // Taken at once by PulseAudio, at real-time pace by PipeWire.
            FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(700, 0.5, 1.5), 0);
            PumpUntil([&] { return alpha.Written() == 1.5 * 176400; }, 10s);
            Pump(500);
        }
        r.dlg.Press(IDOK_RECORD);
        EXPECT_NEAR(AudibleSeconds(DecodeMono(r.file)), 1.5, 0.4);
    }
    Pump(100);
    EXPECT_TRUE(Hook().Messages().empty());
}

TEST(RecordingGui, FileThatCannotBeCreatedIsToldAndNothingStarts) {
    Recording r;
    r.dlg->OutputFileBox()->ChangeValue("/nonexistent-folder/talk.mp3");
    r.dlg.Press(IDOK_RECORD);
    EXPECT_EQ(r.Caption(), "Record");
    EXPECT_FALSE(g_bRecording);
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_NE(m[0].message.Find("/nonexistent-folder/talk.mp3"), wxNOT_FOUND) << m[0].message;
    EXPECT_NE(m[0].message.Find("No such file or directory"), wxNOT_FOUND) << m[0].message;
    EXPECT_TRUE(m[0].style & wxICON_ERROR);
}

TEST(RecordingGui, ClosingWhileRecordingFinishesTheFileFirst) {
    Recording r;
    r.dlg->DeviceList()->SetSelection(0);
    r.dlg.Press(IDOK_RECORD);
    {
        // Taken at once by PulseAudio, at real-time pace by PipeWire.
        FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 2.5), 0);
        PumpUntil([&] { return alpha.Written() == 2.5 * 176400; }, 10s);
        Pump(500);
    }
    // A stray Escape asks; Keep recording (the default) keeps the take.
    Hook().Clear();
    Hook().messageAnswers = {wxID_NO, wxID_YES};
    r.dlg.Key(WXK_ESCAPE);
    Pump(100);
    ASSERT_TRUE(r.dlg.Alive());
    EXPECT_TRUE(g_bRecording);
    auto asked = Hook().Messages();
    ASSERT_EQ(asked.size(), 1U);
    EXPECT_EQ(asked[0].message, "A recording is running. Stop it and quit?");
    EXPECT_TRUE(asked[0].style & wxNO_DEFAULT);
    // Stop and quit.
    r.dlg.Key(WXK_ESCAPE);
    Pump(100);
    EXPECT_EQ(Hook().Messages().size(), 2U);
    EXPECT_FALSE(r.dlg.Alive());
    EXPECT_EQ(g_hRecordThread.load(), 0U);
    // Complete: all 2.5 s, the encoder's tail included (and on PipeWire
    // the silence its clocked source adds).
    const auto decoded = DecodeMono(r.file);
    EXPECT_NEAR(AudibleSeconds(decoded), 2.5, 0.05);
    EXPECT_GE(decoded.size() / 44100.0, 2.4);
    EXPECT_LT(decoded.size() / 44100.0, 3.5);
}

TEST(RecordingGui, SourceThatStopsDeliveringIsToldAndTheTakeKept) {
    Recording r;
    r.dlg->DeviceList()->SetSelection(0);
    r.dlg.Press(IDOK_RECORD);
    {
        FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(1000, 0.5, 1.5), 176400);
        Pump(1600);
    }
    // The server stops moving audio (a PipeWire source would go on with
    // silence), once it has taken what the writer kept ahead.
    Pump(500);
    const pid_t server = std::atoi(Env("VESTREL_SOUND_PID").c_str());
    ASSERT_GT(server, 0);
    kill(server, SIGSTOP);
    const bool ended = PumpUntil([&] { return r.Caption() == "Record"; }, 15s);
    kill(server, SIGCONT);
    ASSERT_TRUE(ended);
    Pump(100);
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_NE(m[0].message.Find("stopped delivering sound"), wxNOT_FOUND) << m[0].message;
    EXPECT_NE(m[0].message.Find(wxString::FromUTF8(r.file)), wxNOT_FOUND);
    EXPECT_EQ(r.dlg->Player().get_URL(), wxString::FromUTF8(r.file));
    EXPECT_TRUE(r.dlg.Control(IDC_CONVERT)->IsEnabled());
    const auto decoded = DecodeMono(r.file);
    EXPECT_NEAR(AudibleSeconds(decoded), 1.5, 0.05);
    EXPECT_LT(decoded.size() / 44100.0, 2.5);
}

TEST(RecordingGui, FullDiskStopsTheRecordingAndSaysSo) {
    Recording r;
    r.dlg->OutputFileBox()->ChangeValue("/dev/full");
    r.dlg.Press(IDOK_RECORD);
    EXPECT_EQ(r.Caption(), "Stop");
    FifoWriter zeta(Env("VESTREL_FIFO_ZETA"), Sine(440, 0.5, 5), 0);
    FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(440, 0.5, 5), 0);
    ASSERT_TRUE(PumpUntil([&] { return r.Caption() == "Record"; }, 10s));
    Pump(100);
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_NE(m[0].message.Find("No space left on device"), wxNOT_FOUND) << m[0].message;
}

TEST(RecordingGui, LateFailureReportLeavesTheNextRecordingRunning) {
    Recording r;
    r.dlg->OutputFileBox()->ChangeValue("/dev/full");
    r.dlg.Press(IDOK_RECORD);
    FifoWriter alpha(Env("VESTREL_FIFO_ALPHA"), Sine(440, 0.5, 30), 176400);
    // The take fails on its first write; its report waits in the queue
    // while Stop and a new Record come first.
    ASSERT_TRUE(WaitFor([] { return g_hRecordThread.load() == 0; }, 5s));
    r.dlg.Press(IDOK_RECORD);
    EXPECT_EQ(r.Caption(), "Record");
    r.dlg->OutputFileBox()->ChangeValue(wxString::FromUTF8(r.file));
    r.dlg.Press(IDOK_RECORD);
    Pump(1500);
    EXPECT_EQ(r.Caption(), "Stop");
    EXPECT_NE(g_hRecordThread.load(), 0U);
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_NE(m[0].message.Find("No space left on device"), wxNOT_FOUND) << m[0].message;
    r.dlg.Press(IDOK_RECORD);
    EXPECT_GT(DecodeMono(r.file).size() / 44100.0, 1.0);
}

TEST(RecordingGuiNoEncoder, MissingLibraryIsToldByName) {
    Recording r;
    r.dlg.Press(IDOK_RECORD);
    EXPECT_EQ(r.Caption(), "Record");
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_NE(m[0].message.Find("liblame_enc.so"), wxNOT_FOUND) << m[0].message;
    EXPECT_EQ(FileSize(r.file), -1);
}
