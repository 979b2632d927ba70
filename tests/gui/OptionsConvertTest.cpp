// The Options window and Convert and Save through the main window, with
// the real ffmpeg.
#include "app/CorvaneApp.h"
#include "convert/ConvertSettings.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/TestSupport.h"
#include "ui/OptionsDialog.h"
#include "ui/Resource.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/regex.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

using namespace gui;
using namespace testsupport;
using namespace std::chrono_literals;

namespace {

struct SettingsReset {
    SettingsReset() { Reset(); }
    ~SettingsReset() { Reset(); }
    SettingsReset(const SettingsReset&) = delete;
    SettingsReset& operator=(const SettingsReset&) = delete;
    static void Reset() {
        g_szFormat = "mp3";
        g_szBitrate = "128k";
        g_szConverterDir = "";
    }
};

void PressIn(wxWindow* dlg, int id) {
    wxCommandEvent e(wxEVT_BUTTON, id);
    e.SetEventObject(dlg->FindWindow(id));
    dlg->FindWindow(id)->GetEventHandler()->ProcessEvent(e);
}

void KeyIn(wxWindow* dlg, int key) {
    wxKeyEvent e(wxEVT_CHAR_HOOK);
    e.m_keyCode = key;
    e.SetEventObject(dlg);
    dlg->GetEventHandler()->ProcessEvent(e);
}

wxString CompletionText() {
    wxWindow* box = FindTopLevel("CompletionBox");
    if (box == nullptr) {
        return {};
    }
    for (wxWindow* w : box->GetChildren()) {
        if (auto* t = dynamic_cast<wxStaticText*>(w)) {
            return t->GetLabel();
        }
    }
    return {};
}

// The completion box's text without the paragraph about the written file
// (its name, then what it holds).
wxString WithoutFilePart(wxString text) {
    const int from = text.Find("\n\n/");
    if (from != wxNOT_FOUND) {
        const int to = text.find("\n\n", from + 2);
        text.erase(from, to == wxNOT_FOUND ? wxString::npos : to - from);
    }
    return text;
}

void CloseCompletionBoxes() {
    while (wxWindow* box = FindTopLevel("CompletionBox")) {
        box->Destroy();
        Pump(20);
    }
}

} // namespace

TEST(Options, OneWindowShownByTheButtonHiddenByOkCancelEscapeAndClose) {
    SettingsReset reset;
    MainDialogFixture dlg;
    COptionsDialog* opt = g_optionsDlg.get();
    ASSERT_NE(opt, nullptr);
    EXPECT_FALSE(opt->IsShown());
    EXPECT_EQ(opt->GetTitle(), "Options");
    EXPECT_EQ(opt->GetParent(), dlg.get());
    dlg.Press(IDC_CONVERT_OPTIONS);
    Pump(50);
    EXPECT_TRUE(opt->IsShown());
    dlg.Press(IDC_CONVERT_OPTIONS); // again: the same window
    EXPECT_EQ(g_optionsDlg.get(), opt);
    // The main window stays usable meanwhile.
    EXPECT_TRUE(dlg->IsEnabled());
    EXPECT_TRUE(dlg.Control(IDC_CONVERT)->IsEnabled());

    PressIn(opt, IDC_OK);
    EXPECT_FALSE(opt->IsShown());
    dlg.Press(IDC_CONVERT_OPTIONS);
    Pump(50);
    PressIn(opt, IDC_CANCEL);
    EXPECT_FALSE(opt->IsShown());
    dlg.Press(IDC_CONVERT_OPTIONS);
    Pump(50);
    KeyIn(opt, WXK_ESCAPE);
    EXPECT_FALSE(opt->IsShown());
    dlg.Press(IDC_CONVERT_OPTIONS);
    Pump(50);
    opt->Close();
    Pump(50);
    EXPECT_FALSE(opt->IsShown());
    EXPECT_EQ(g_optionsDlg.get(), opt); // hidden, never destroyed
}

TEST(Options, ListsInTheirOrderAndDefaultsShownBeforeTheFirstOk) {
    SettingsReset reset;
    MainDialogFixture dlg;
    COptionsDialog* opt = g_optionsDlg.get();
    const wxArrayString formats = opt->FormatList()->GetStrings();
    const wxArrayString rates = opt->BitrateList()->GetStrings();
    EXPECT_EQ(wxJoin(formats, ','), "mp3,wav,aac,wma,flac,m4a,ac3");
    EXPECT_EQ(wxJoin(rates, ','), "512k,256k,128k,64k,32k");
    dlg.Press(IDC_CONVERT_OPTIONS);
    EXPECT_EQ(opt->FormatList()->GetStringSelection(), "mp3");
    EXPECT_EQ(opt->BitrateList()->GetStringSelection(), "128k");
    EXPECT_EQ(opt->GetBackgroundColour(), *wxWHITE);
    ASSERT_NE(opt->OnCtlColor(2), nullptr);
    EXPECT_EQ(opt->OnCtlColor(9), nullptr);
    PressIn(opt, IDC_CANCEL);
}

TEST(Options, OkStoresCancelDropsAndEveryShowingReselects) {
    SettingsReset reset;
    MainDialogFixture dlg;
    COptionsDialog* opt = g_optionsDlg.get();
    dlg.Press(IDC_CONVERT_OPTIONS);
    opt->FormatList()->SetSelection(3);  // wma
    opt->BitrateList()->SetSelection(3); // 64k
    PressIn(opt, IDC_OK);
    EXPECT_EQ(g_szFormat, "wma");
    EXPECT_EQ(g_szBitrate, "64k");

    dlg.Press(IDC_CONVERT_OPTIONS);
    EXPECT_EQ(opt->FormatList()->GetStringSelection(), "wma");
    opt->FormatList()->SetSelection(6); // ac3, then cancelled
    opt->BitrateList()->SetSelection(0);
    PressIn(opt, IDC_CANCEL);
    EXPECT_EQ(g_szFormat, "wma");
    dlg.Press(IDC_CONVERT_OPTIONS);
    EXPECT_EQ(opt->FormatList()->GetStringSelection(), "wma");
    EXPECT_EQ(opt->BitrateList()->GetStringSelection(), "64k");
    KeyIn(opt, WXK_ESCAPE);
}

TEST(Options, F1OpensTheHelpPage) {
    Hook().Clear();
    MainDialogFixture dlg;
    const std::string opened = OpenedInBrowser([&] { KeyIn(g_optionsDlg.get(), WXK_F1); });
    EXPECT_NE(opened.find("help/index.html"), std::string::npos) << opened;
    EXPECT_TRUE(Hook().Messages().empty());
}

TEST(Options, SelectStringMatchesPrefixesAfterTheFirstItemAndWraps) {
    MainDialogFixture dlg;
    wxChoice* formats = g_optionsDlg->FormatList();
    EXPECT_EQ(FindStringPrefix(formats, 0, "mp3"), 0); // only mp3 starts so: found on wrapping
    EXPECT_EQ(FindStringPrefix(formats, 0, "M"), 5);   // m4a comes before mp3 from item 1 on
    EXPECT_EQ(FindStringPrefix(formats, 0, "WMA"), 3); // case does not matter
    EXPECT_EQ(FindStringPrefix(formats, 0, "ogg"), -1);
    formats->SetSelection(4);
    SelectString(formats, 0, "ogg"); // no match: the selection stays
    EXPECT_EQ(formats->GetSelection(), 4);
    EXPECT_EQ(FindStringPrefix(g_optionsDlg->BitrateList(), 0, "128k"), 2);
}

namespace {

struct ConvertFixture {
    SettingsReset reset;
    MainDialogFixture dlg;
    std::string dir = TempDir();
    std::string recording;
    ConvertFixture() {
        Hook().Clear();
        recording = testsupport::MakeRecording(dir + "/MyMP3.mp3");
        dlg->OutputFileBox()->ChangeValue(wxString::FromUTF8(recording));
    }
    ~ConvertFixture() { CloseCompletionBoxes(); }
    ConvertFixture(const ConvertFixture&) = delete;
    ConvertFixture& operator=(const ConvertFixture&) = delete;

    // Presses Convert and Save with `answer` for the Save As dialog and
    // waits for the completion box.
    wxString Convert(const std::string& answer) {
        CloseCompletionBoxes();
        Hook().fileAnswers.push_back(wxString::FromUTF8(answer));
        dlg.Press(IDC_CONVERT);
        PumpUntil([] { return FindTopLevel("CompletionBox") != nullptr; }, 60s);
        Pump(50);
        return CompletionText();
    }
};

} // namespace

TEST(ConvertGui, WmaAtTheStoredRateWithTheSaveAsFilterAndExtension) {
    ConvertFixture f;
    g_szFormat = "wma";
    g_szBitrate = "64k";
    f.dlg->Player().put_URL(wxString::FromUTF8(f.recording));
    Hook().fileAnswers.push_back(wxString::FromUTF8(f.dir + "/note"));
    f.dlg.Press(IDC_CONVERT);
    // Before the worker has run a step, the double-press guard is up.
    EXPECT_FALSE(f.dlg.Control(IDC_CONVERT)->IsEnabled());
    EXPECT_FALSE(f.dlg.Control(IDOK_RECORD)->IsEnabled());
    EXPECT_EQ(f.dlg->GetTitle(), "Saving...");
    EXPECT_EQ(f.dlg->Player().get_URL(), "");
    ASSERT_TRUE(PumpUntil([] { return FindTopLevel("CompletionBox") != nullptr; }, 60s));
    Pump(50);
    // The file and what it holds (its rate is the file's: asf adds to the
    // 64k of the sound); wma keeps the chosen rate, so no note.
    EXPECT_TRUE(wxRegEx("^Converted and Saved\n\n" + wxRegEx::QuoteMeta(wxString::FromUTF8(f.dir)) +
                        "/note\\.wma\nWMA, [6-9][0-9] kb/s, 0:0[1-9], [0-9]+ KB$")
                    .Matches(CompletionText()))
        << CompletionText();
    EXPECT_EQ(FindTopLevel("CompletionBox")->GetLabel(), "Vestrel");
    EXPECT_EQ(f.dlg->GetTitle(), "Vestrel");
    for (const int id : {1002, 1004, 1006, 4, 3, 1, 1000, 1003}) {
        EXPECT_TRUE(f.dlg.Control(id)->IsEnabled()) << id;
    }
    // The player has the take again, not playing.
    EXPECT_EQ(f.dlg->Player().get_URL(), wxString::FromUTF8(f.recording));
    EXPECT_FALSE(f.dlg->Player().panel()->IsPlaying());

    const auto files = Hook().seen;
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files[0].kind, "file");
    EXPECT_EQ(files[0].wildcard, "wma Files|*.wma");
    EXPECT_EQ(files[0].fileName, "");
    EXPECT_TRUE(files[0].style & wxFD_OVERWRITE_PROMPT);
    const ProbeInfo p = Probe(f.dir + "/note.wma");
    EXPECT_EQ(p.codec, "wmav2");
    EXPECT_NEAR(p.bitRate, 64000, 8000);
}

TEST(ConvertGui, NoRecordingOrAFolderSaysRecordAFileFirst) {
    ConvertFixture f;
    for (const std::string& name : {f.dir + "/missing.mp3", f.dir}) {
        Hook().Clear();
        f.dlg->OutputFileBox()->ChangeValue(wxString::FromUTF8(name));
        f.dlg.Press(IDC_CONVERT);
        ASSERT_EQ(Hook().seen.size(), 1U) << name; // no Save As dialog
        EXPECT_EQ(Hook().seen[0].message, "Please record a file first.");
        EXPECT_EQ(Hook().seen[0].caption, "Vestrel");
        EXPECT_TRUE(Hook().seen[0].style & wxICON_INFORMATION);
    }
}

TEST(ConvertGui, UnreadableRecordingSaysRecordAFileFirst) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    ConvertFixture f;
    chmod(f.recording.c_str(), 0);
    f.dlg.Press(IDC_CONVERT);
    ASSERT_EQ(Hook().seen.size(), 1U);
    EXPECT_EQ(Hook().seen[0].message, "Please record a file first.");
}

TEST(ConvertGui, CancelledSaveAsChangesNothing) {
    ConvertFixture f;
    f.dlg->Player().put_URL(wxString::FromUTF8(f.recording));
    f.dlg.Press(IDC_CONVERT); // no answer queued: cancelled
    Pump(50);
    EXPECT_EQ(f.dlg->GetTitle(), "Vestrel");
    EXPECT_EQ(f.dlg->Player().get_URL(), wxString::FromUTF8(f.recording));
    EXPECT_TRUE(f.dlg.Control(IDC_CONVERT)->IsEnabled());
}

TEST(ConvertGui, TheRecordingItselfIsRefusedAsTarget) {
    ConvertFixture f;
    const auto before = FileSize(f.recording);
    Hook().fileAnswers.push_back(wxString::FromUTF8(f.dir + "/./MyMP3.mp3"));
    f.dlg.Press(IDC_CONVERT);
    Pump(100);
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_NE(m[0].message.Find("is the recording itself"), wxNOT_FOUND) << m[0].message;
    EXPECT_EQ(FileSize(f.recording), before);
    EXPECT_EQ(FindTopLevel("CompletionBox"), nullptr);
}

TEST(ConvertGui, AnExistingTargetIsReplaced) {
    ConvertFixture f;
    g_szFormat = "flac";
    const std::string target = f.dir + "/old.flac";
    std::ofstream(target) << "old junk";
    EXPECT_EQ(WithoutFilePart(f.Convert(target)),
              "Converted and Saved\n\nThe file it replaced is in the Trash.");
    EXPECT_EQ(Probe(target).codec, "flac");
    std::ifstream kept(Env("HOME") + "/.local/share/Trash/files/old.flac");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old junk");
}

TEST(ConvertGui, ANameWithoutExtensionOverAnExistingFileAsksFirst) {
    ConvertFixture f;
    const std::string target = f.dir + "/note.mp3";
    std::ofstream(target) << "yesterday";
    // "note" becomes note.mp3: the question; No brings the dialog back,
    // whose cancel changes nothing.
    Hook().fileAnswers = {wxString::FromUTF8(f.dir + "/note")};
    Hook().messageAnswers = {wxID_NO};
    f.dlg.Press(IDC_CONVERT);
    Pump(100);
    ASSERT_EQ(Hook().seen.size(), 3U);
    EXPECT_EQ(Hook().seen[1].message,
              L"A file named \u201cnote.mp3\u201d already exists.  Do you want to replace it?");
    EXPECT_TRUE(Hook().seen[1].style & wxYES_NO);
    EXPECT_EQ(Hook().seen[2].kind, "file");
    EXPECT_EQ(FindTopLevel("CompletionBox"), nullptr);
    EXPECT_EQ(FileSize(target), 9);
    // Yes replaces it.
    Hook().Clear();
    Hook().messageAnswers = {wxID_YES};
    EXPECT_EQ(WithoutFilePart(f.Convert(f.dir + "/note")),
              "Converted and Saved\n\nThe file it replaced is in the Trash.");
    EXPECT_EQ(Probe(target).codec, "mp3");
}

TEST(ConvertGui, OddTargetNamesPassWhole) {
    ConvertFixture f;
    g_szFormat = "m4a";
    const std::string target = f.dir + "/Ann's \"talk\": Grüße & notes.m4a";
    EXPECT_EQ(WithoutFilePart(f.Convert(target)), "Converted and Saved");
    EXPECT_EQ(Probe(target).codec, "aac");
}

TEST(ConvertGui, AFailureIsNeverReportedAsSuccess) {
    ConvertFixture f;
    std::ofstream(f.recording, std::ios::trunc) << "not audio";
    g_szFormat = "wav";
    const wxString text = f.Convert(f.dir + "/out.wav");
    EXPECT_TRUE(text.StartsWith("The conversion failed:")) << text;
    EXPECT_NE(text.Find("exit status 1"), wxNOT_FOUND) << text;
    EXPECT_EQ(FileSize(f.dir + "/out.wav"), -1);
    EXPECT_EQ(f.dlg->GetTitle(), "Vestrel");
    EXPECT_TRUE(f.dlg.Control(IDOK_RECORD)->IsEnabled());
}

TEST(ConvertGui, AConverterThatCannotStartIsToldAndTheWindowComesBack) {
    ConvertFixture f;
    g_szConverterDir = wxString::FromUTF8(f.dir + "/");
    const wxString text = f.Convert(f.dir + "/out.wav");
    EXPECT_NE(text.Find("ffmpeg could not be started"), wxNOT_FOUND) << text;
    EXPECT_NE(text.Find(wxString::FromUTF8(f.dir)), wxNOT_FOUND) << text;
    EXPECT_EQ(f.dlg->GetTitle(), "Vestrel");
    EXPECT_TRUE(f.dlg.Control(IDC_CONVERT)->IsEnabled());
}
