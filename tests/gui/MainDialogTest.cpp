// The main window, its panels and the About box, as built on screen.
#include "app/CorvaneApp.h"
#include "controls/LevelMeter.h"
#include "convert/ConvertSettings.h"
#include "platform/Paths.h"
#include "recorder/Capture.h"
#include "recorder/RecordControl.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/TestSupport.h"
#include "ui/AboutDlg.h"
#include "ui/DialogTemplate.h"
#include "ui/EnableControls.h"
#include "ui/MessageBox.h"
#include "ui/OptionsDialog.h"
#include "ui/Resource.h"
#include "ui/StatusRow.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <fstream>
#include <thread>

using namespace gui;
using namespace std::chrono_literals;

namespace {

struct Row {
    int id;
    ui::Kind kind;
    std::string text;
    int x, y, w, h;
};

std::vector<Row> Rows(const ui::DialogTemplate& t) {
    std::vector<Row> rows;
    for (const auto& c : t.controls) {
        rows.push_back({c.id, c.kind, c.text, c.x, c.y, c.w, c.h});
    }
    return rows;
}

bool operator==(const Row& a, const Row& b) {
    return a.id == b.id && a.kind == b.kind && a.text == b.text && a.x == b.x && a.y == b.y &&
           a.w == b.w && a.h == b.h;
}

std::vector<wxString> Items(wxChoice* c) {
    std::vector<wxString> out;
    for (unsigned i = 0; i < c->GetCount(); ++i) {
        out.push_back(c->GetString(i));
    }
    return out;
}

using K = ui::Kind;

} // namespace

TEST(MainDialogTemplates, TablesHoldEveryControlInTemplateOrder) {
    const std::vector<Row> main = {
        {1, K::DefPushButton, "Record", 63, 78, 50, 14},
        {1000, K::ComboDropListSorted, "", 25, 23, 228, 30},
        {1001, K::EditReadOnly, "", 7, 55, 195, 14},
        {1002, K::PushButton, "Select output file...", 205, 55, 71, 14},
        {1003, K::ComboDropList, "", 7, 79, 48, 15},
        {1004, K::PushButton, "Website", 7, 135, 50, 14},
        {1006, K::PushButton, "Help", 59, 135, 50, 14},
        {-1, K::GroupBox, "Select Source", 7, 7, 269, 40},
        {3, K::PushButton, "Convert Options", 203, 78, 73, 14},
        {4, K::PushButton, "Convert and Save", 118, 78, 80, 14},
        {1008, K::Player, "", 7, 99, 270, 27},
        {1011, K::Browser, "", 7, 150, 278, 47},
        // The status row, after the twelve, in the strip right of Help.
        {1012, K::PushButton, "Pause", 115, 135, 40, 14},
        {1013, K::StatusText, "", 158, 135, 72, 14},
        {1014, K::LevelMeter, "", 232, 135, 53, 14},
    };
    EXPECT_EQ(Rows(ui::MainDialogTemplate()), main);
    EXPECT_EQ(ui::MainDialogTemplate().width, 292);
    EXPECT_EQ(ui::MainDialogTemplate().height, 199);

    const std::vector<Row> options = {
        {1, K::DefPushButton, "OK", 31, 104, 50, 14}, {2, K::PushButton, "Cancel", 85, 104, 50, 14},
        {-1, K::GroupBox, "Format", 7, 7, 153, 40},   {-1, K::GroupBox, "Bitrate", 7, 56, 153, 40},
        {1000, K::ComboDropList, "", 58, 23, 48, 30}, {1003, K::ComboDropList, "", 57, 72, 48, 30},
    };
    EXPECT_EQ(Rows(ui::OptionsDialogTemplate()), options);

    const auto about = Rows(ui::AboutDialogTemplate());
    ASSERT_EQ(about.size(), 5U);
    EXPECT_EQ(about[1].text, "This software basically provides a user interface to a great "
                             "software FFMPEG released under GPL.");
    EXPECT_EQ(about[2].text, "Vestrel brings no ffmpeg of its own: Convert and Save runs the "
                             "ffmpeg installed on this system.");
    EXPECT_TRUE((about[3] == Row{IDC_ABOUT_FFMPEG, K::Static, "", 7, 50, 350, 8}));
    EXPECT_TRUE((about[4] == Row{1010, K::RichText, "", 7, 63, 337, 126}));
    EXPECT_EQ(std::string(LoadResString(IDS_ABOUTBOX)), "&About Vestrel...");
}

TEST(MainDialog, BuiltFromItsTemplateWithEveryTextWhole) {
    MainDialogFixture dlg;
    EXPECT_EQ(dlg->GetTitle(), "Vestrel");
    const long style = dlg->GetWindowStyleFlag();
    EXPECT_TRUE(style & wxMINIMIZE_BOX);
    EXPECT_FALSE(style & wxMAXIMIZE_BOX);
    EXPECT_FALSE(style & wxRESIZE_BORDER);
    EXPECT_EQ(dlg->GetMinSize(), dlg->GetMaxSize());

    // Tab order: the focusable controls in template order.
    std::vector<int> order;
    for (wxWindow* w : dlg->GetChildren()) {
        if (dynamic_cast<wxStaticBox*>(w) == nullptr && !w->IsTopLevel()) {
            order.push_back(w->GetId());
        }
    }
    const std::vector<int> want = {1, 1000, 1001, 1002, 1003, 1004, 1006,
                                   3, 4,    1008, 1011, 1012, 1013, 1014};
    EXPECT_EQ(order, want);
    EXPECT_EQ(dlg->GetDefaultItem(), dlg.Control(1));

    const double scale = dlg->LayoutScale();
    EXPECT_GE(scale, 1.0);
    for (const auto& c : ui::MainDialogTemplate().controls) {
        if (c.id == -1) {
            continue;
        }
        SCOPED_TRACE(c.id);
        wxWindow* w = dlg.Control(c.id);
        ASSERT_NE(w, nullptr);
        const ui::PixelRect r = ui::ToPixels(dlg.get(), c, scale);
        EXPECT_EQ(w->GetPosition(), wxPoint(r.x, r.y));
        EXPECT_EQ(w->GetSize().x, r.w);
        // Nothing clipped: each control is at least as big as its content.
        EXPECT_GE(w->GetSize().x, w->GetBestSize().x);
        EXPECT_GE(w->GetSize().y, w->GetBestSize().y);
        if (!c.text[0]) {
            continue;
        }
        EXPECT_EQ(w->GetLabel(), wxString::FromUTF8(c.text));
    }
}

TEST(MainDialog, ListsAndOutputFileStartFromTheDefaults) {
    MainDialogFixture dlg;
    const std::vector<wxString> rates = {"16 Kbps", "32 Kbps",  "48 Kbps",  "64 Kbps",
                                         "96 Kbps", "128 Kbps", "160 Kbps", "256 Kbps"};
    EXPECT_EQ(Items(dlg->BitrateList()), rates);
    EXPECT_EQ(dlg->BitrateList()->GetSelection(), 3);
    EXPECT_EQ(dlg->BitrateList()->GetStringSelection(), "64 Kbps");
    EXPECT_FALSE(dlg->BitrateList()->HasFlag(wxCB_SORT));
    EXPECT_TRUE(dlg->DeviceList()->HasFlag(wxCB_SORT));
    EXPECT_EQ(dlg->OutputFileBox()->GetValue(),
              wxString::FromUTF8(testsupport::Env("HOME") + "/MyMP3.mp3"));
    EXPECT_FALSE(dlg->OutputFileBox()->IsEditable());
    EXPECT_EQ(g_szFormat, "mp3");
    EXPECT_EQ(g_szBitrate, "128k");
    EXPECT_EQ(g_szConverterDir, "");
    EXPECT_NE(g_hCaptureMutex, nullptr);
}

TEST(MainDialog, DeviceListIsSortedAndKeepsDeviceNumbers) {
    MainDialogFixture dlg;
    wxChoice* list = dlg->DeviceList();
    // The server lists Zeta first (device 0), Alpha second (device 1), the
    // null output's monitor third (device 2); then come Zeta and Alpha with
    // the desktop's sound (3 and 4).
    const std::vector<wxString> names = {"Alpha Line In", "Alpha Line In + desktop audio",
                                         "Monitor of Null Output", "Zeta Microphone",
                                         "Zeta Microphone + desktop audio"};
    ASSERT_EQ(Items(list), names);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(list->GetClientData(0)), 1);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(list->GetClientData(1)), 4);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(list->GetClientData(2)), 2);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(list->GetClientData(3)), 0);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(list->GetClientData(4)), 3);
    EXPECT_EQ(list->GetSelection(), 0);
    EXPECT_TRUE(Hook().Messages().empty());
}

TEST(MainDialog, WhiteEverywhereOnceInitialised) {
    MainDialogFixture dlg;
    EXPECT_EQ(dlg->GetBackgroundColour(), *wxWHITE);
    for (const int id : {1, 1000, 1001, 1002, 1003, 1004, 1006, 3, 4}) {
        EXPECT_EQ(dlg.Control(id)->GetBackgroundColour(), *wxWHITE) << id;
    }
    for (int kind = 0; kind <= 7; ++kind) {
        ASSERT_NE(dlg->OnCtlColor(kind), nullptr);
        EXPECT_EQ(dlg->OnCtlColor(kind)->GetColour(), *wxWHITE);
    }
    EXPECT_EQ(dlg->OnCtlColor(8), nullptr);
}

TEST(MainDialog, HelpBoxHasTheTextQuestionIconAndProgramName) {
    Hook().Clear();
    MainDialogFixture dlg;
    dlg.Press(IDC_RECORD_HELP);
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_EQ(m[0].message,
              "If you are unable to record then you need to select the source of recording - "
              "\n\n - Open your desktop's Sound settings and go to Input (or open PulseAudio "
              "Volume Control, tab \"Input Devices\" or \"Recording\")\n\n - Choose the source "
              "you record from\n\n - Make sure it is not muted and its level is up\n\n - Close "
              "and try your recording again");
    EXPECT_EQ(m[0].caption, "gui_test"); // the executable's name
    EXPECT_TRUE(m[0].style & wxICON_QUESTION);
    EXPECT_TRUE(m[0].style & wxOK);
    EXPECT_FALSE(m[0].style & wxCANCEL);
}

TEST(MainDialog, F1OpensTheHelpPageBesideTheProgram) {
    Hook().Clear();
    MainDialogFixture dlg;
    const std::string page = platform::ExecutableDir() + "help/index.html";
    ASSERT_EQ(HelpPagePath(), page);
    const std::string opened = OpenedInBrowser([&] { dlg.Key(WXK_F1); });
    EXPECT_NE(opened.find(page), std::string::npos) << opened;
    EXPECT_TRUE(Hook().Messages().empty());
}

TEST(MainDialog, SelectOutputFileAddsMp3AndCancelKeepsTheName) {
    Hook().Clear();
    MainDialogFixture dlg;
    const std::string dir = testsupport::TempDir();
    Hook().fileAnswers.push_back(wxString::FromUTF8(dir + "/lecture one"));
    dlg.Press(IDC_BROWSE);
    EXPECT_EQ(dlg->OutputFileBox()->GetValue(), wxString::FromUTF8(dir + "/lecture one.mp3"));
    ASSERT_EQ(Hook().seen.size(), 1U);
    EXPECT_EQ(Hook().seen[0].wildcard, "MP3 Files|*.mp3");
    EXPECT_EQ(Hook().seen[0].fileName, "MyMP3");
    EXPECT_TRUE(Hook().seen[0].style & wxFD_SAVE);
    EXPECT_TRUE(Hook().seen[0].style & wxFD_OVERWRITE_PROMPT);

    Hook().fileAnswers.push_back(wxString::FromUTF8(dir + "/notes.MP3"));
    dlg.Press(IDC_BROWSE);
    EXPECT_EQ(dlg->OutputFileBox()->GetValue(), wxString::FromUTF8(dir + "/notes.MP3"));
    dlg.Press(IDC_BROWSE); // no answer: cancelled
    EXPECT_EQ(dlg->OutputFileBox()->GetValue(), wxString::FromUTF8(dir + "/notes.MP3"));

    // Another extension would put MP3 data under a wav name: .mp3 goes
    // after it, with the question when that names an existing file.
    std::ofstream(dir + "/take.wav.mp3") << "kept";
    Hook().Clear();
    Hook().fileAnswers = {wxString::FromUTF8(dir + "/take.wav")};
    Hook().messageAnswers = {wxID_YES};
    dlg.Press(IDC_BROWSE);
    EXPECT_EQ(dlg->OutputFileBox()->GetValue(), wxString::FromUTF8(dir + "/take.wav.mp3"));
    ASSERT_EQ(Hook().seen.size(), 2U);
    EXPECT_EQ(Hook().seen[1].message,
              L"A file named \u201ctake.wav.mp3\u201d already exists.  Do you want to replace it?");
}

TEST(MainDialog, EnterPressesRecordStopUnlessOnAnotherButton) {
    Hook().Clear();
    MainDialogFixture dlg;
    dlg->OutputFileBox()->ChangeValue(wxString::FromUTF8(testsupport::TempDir() + "/e.mp3"));
    dlg->DeviceList()->SetFocus();
    Pump(50);
    dlg.Key(WXK_RETURN);
    EXPECT_EQ(dlg->RecordButton()->GetLabel(), "Stop");
    dlg->RecordButton()->SetFocus();
    Pump(50);
    dlg.Key(WXK_NUMPAD_ENTER);
    EXPECT_EQ(dlg->RecordButton()->GetLabel(), "Record");
    EXPECT_EQ(g_hRecordThread.load(), 0U);
    // On the Help button Enter is the Help button's.
    dlg.Control(IDC_RECORD_HELP)->SetFocus();
    Pump(50);
    if (wxWindow::FindFocus() == dlg.Control(IDC_RECORD_HELP)) {
        dlg.Key(WXK_RETURN);
        EXPECT_EQ(dlg->RecordButton()->GetLabel(), "Record");
    }
    EXPECT_TRUE(Hook().Messages().empty());
}

TEST(MainDialog, EscapeAndCloseEndTheDialogAndTheOptionsWindow) {
    {
        MainDialogFixture dlg;
        EXPECT_TRUE(g_optionsDlg);
        dlg.Key(WXK_ESCAPE);
        Pump(100);
        EXPECT_FALSE(dlg.Alive());
        EXPECT_FALSE(g_optionsDlg);
    }
    {
        MainDialogFixture dlg;
        dlg->Close();
        Pump(100);
        EXPECT_FALSE(dlg.Alive());
    }
}

TEST(MainDialog, ContextMenuCarriesTheAboutEntryAfterASeparator) {
    MainDialogFixture dlg;
    auto menu = dlg->MakeContextMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->GetMenuItemCount(), 2U);
    EXPECT_TRUE(menu->FindItemByPosition(0)->IsSeparator());
    EXPECT_EQ(menu->FindItemByPosition(1)->GetId(), 0x10);
    EXPECT_EQ(menu->FindItemByPosition(1)->GetItemLabel(), "&About Vestrel...");
}

TEST(MainDialog, WebPanelGoesToTheInformationPage) {
    MainDialogFixture dlg;
    EXPECT_EQ(std::string(kInfoPageURL), "https://www.vestrel.example/info.php?n=corvane");
    EXPECT_EQ(std::string(kHomePageURL), "https://www.vestrel.example/");
    if (!dlg->Browser().HasControl()) {
        GTEST_SKIP() << "no web engine here";
    }
    EXPECT_TRUE(PumpUntil([&] { return dlg->Browser().CurrentURL().Contains("info.php"); }, 5s))
        << dlg->Browser().CurrentURL();
}

TEST(EnableControls, FromAWorkerThreadInTheFixedOrder) {
    MainDialogFixture dlg;
    const int all[] = {1002, 1004, 1006, 4, 3, 1000, 1003};
    EXPECT_FALSE(dlg.Control(IDC_PAUSE)->IsEnabled()); // nothing to pause yet
    std::thread([w = dlg.get()] { EnableControls(w, false, true); }).join();
    Pump(100);
    for (const int id : all) {
        EXPECT_FALSE(dlg.Control(id)->IsEnabled()) << id;
    }
    EXPECT_TRUE(dlg.Control(1)->IsEnabled());
    EXPECT_TRUE(dlg.Control(IDC_PAUSE)->IsEnabled()); // exactly while recording
    EXPECT_TRUE(dlg.Control(1001)->IsEnabled());
    EXPECT_TRUE(dlg.Control(1008)->IsEnabled());
    EnableControls(dlg.get(), true, true);
    dlg->BitrateList()->SetFocus();
    Pump(50);
    EnableControls(dlg.get(), false,
                   true); // the focused list goes grey: Record/Stop takes the keys
    EXPECT_EQ(wxWindow::FindFocus(), dlg.Control(1));
    std::thread([w = dlg.get()] { EnableControls(w, false, false); }).join();
    Pump(100);
    EXPECT_FALSE(dlg.Control(1)->IsEnabled());
    EXPECT_FALSE(dlg.Control(IDC_PAUSE)->IsEnabled()); // a conversion has nothing to pause
    // Everything greyed: the keys go to the first live tab stop, the box.
    EXPECT_EQ(wxWindow::FindFocus(), dlg.Control(1001));
    std::thread([w = dlg.get()] { EnableControls(w, true, false); }).join();
    Pump(100);
    for (const int id : all) {
        EXPECT_TRUE(dlg.Control(id)->IsEnabled()) << id;
    }
    EXPECT_TRUE(dlg.Control(1)->IsEnabled());
    EXPECT_FALSE(dlg.Control(IDC_PAUSE)->IsEnabled());
    EXPECT_EQ(wxWindow::FindFocus(), dlg.Control(1));
}

TEST(MainDialog, TabCyclesThroughTheTabStopsInTemplateOrder) {
    MainDialogFixture dlg;
    const std::vector<wxWindow*> stops = dlg->TabStops();
    std::vector<int> ids;
    for (const wxWindow* w : stops) {
        if (w->GetParent() == dlg.get()) {
            ids.push_back(w->GetId());
        } else {
            EXPECT_EQ(w->GetParent(), dlg.Control(1008)); // the player's own controls
        }
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 1000, 1001, 1002, 1003, 1004, 1006, 3, 4, 1011, 1012}));
    dlg.Control(1)->SetFocus();
    dlg->MoveFocus(false); // Shift+Tab from Record: the web panel
    EXPECT_EQ(wxWindow::FindFocus(), dlg.Control(1011));
    dlg->MoveFocus(true); // and Tab from it: Record
    EXPECT_EQ(wxWindow::FindFocus(), dlg.Control(1));
    // A greyed control is passed over.
    dlg.Control(1000)->Disable();
    dlg->MoveFocus(true);
    EXPECT_EQ(wxWindow::FindFocus(), dlg.Control(1001));
    dlg.Control(1000)->Enable();
}

namespace {

// Swaps the program's thanks.txt for one test.
class ThanksFile {
  public:
    ThanksFile() : path_(ThanksFilePath().utf8_string()), backup_(path_ + ".saved") {
        std::rename(path_.c_str(), backup_.c_str());
    }
    ~ThanksFile() { std::rename(backup_.c_str(), path_.c_str()); }
    ThanksFile(const ThanksFile&) = delete;
    ThanksFile& operator=(const ThanksFile&) = delete;
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    void Remove() { std::remove(path_.c_str()); }

  private:
    std::string path_, backup_;
};

void Activate(CAboutDlg& about) {
    wxActivateEvent e(wxEVT_ACTIVATE, true, about.GetId());
    e.SetEventObject(&about);
    about.GetEventHandler()->ProcessEvent(e);
}

} // namespace

TEST(About, OpensFromTheAboutCommandShowingThanks) {
    Hook().Clear();
    MainDialogFixture dlg;
    wxString shown;
    Hook().onAbout = [&](wxDialog* d) {
        auto* about = static_cast<CAboutDlg*>(d);
        Activate(*about);
        shown = about->RichText().GetText();
    };
    dlg->OnSysCommand(0x10);
    ASSERT_EQ(Hook().seen.size(), 1U);
    EXPECT_EQ(Hook().seen[0].kind, "about");
    EXPECT_EQ(Hook().seen[0].caption, "About Vestrel");
    EXPECT_NE(shown.Find("LAME"), wxNOT_FOUND);
    EXPECT_NE(shown.Find(wxString::FromUTF8("Спасибо")), wxNOT_FOUND); // UTF-8 read as such
    dlg->OnSysCommand(0x20);
    EXPECT_EQ(Hook().seen.size(), 1U);
    EXPECT_EQ(ThanksFilePath(), wxString::FromUTF8(platform::ExecutableDir()) + "thanks.txt");
}

TEST(About, ReloadsOnEveryActivationAndSaysWhenTheFileIsMissing) {
    Hook().Clear();
    MainDialogFixture dlg;
    ThanksFile thanks;
    thanks.Write("first");
    CAboutDlg about(dlg.get());
    about.Show();
    Activate(about);
    EXPECT_EQ(about.RichText().GetText(), "first");
    thanks.Write("second — zweite");
    Activate(about);
    EXPECT_EQ(about.RichText().GetText(), wxString::FromUTF8("second — zweite"));
    thanks.Remove();
    for (int i = 0; i < 3; ++i) {
        Activate(about);
    }
    EXPECT_NE(about.RichText().GetText().Find("could not be read"), wxNOT_FOUND);
    EXPECT_TRUE(Hook().Messages().empty()); // no storm of boxes
    EXPECT_GE(about.LoadCount(), 5);
    about.Hide();
}

TEST(About, StaticTextsOnWhiteAndNoButtons) {
    MainDialogFixture dlg;
    CAboutDlg about(dlg.get());
    EXPECT_EQ(about.GetTitle(), "About Vestrel");
    EXPECT_EQ(about.GetBackgroundColour(), *wxWHITE);
    int statics = 0;
    for (wxWindow* w : about.GetChildren()) {
        EXPECT_EQ(dynamic_cast<wxButton*>(w), nullptr);
        if (dynamic_cast<wxStaticText*>(w) != nullptr) {
            ++statics;
            EXPECT_EQ(w->GetBackgroundColour(), *wxWHITE);
            EXPECT_GE(w->GetSize().x, w->GetBestSize().x) << w->GetLabel();
        }
    }
    EXPECT_EQ(statics, 4);
    EXPECT_EQ(about.FindWindow(IDC_RICHTEXT)->GetBackgroundColour(),
              wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
}

TEST(Player, PathPlaysAndEmptyLetsGoOfTheFile) {
    MainDialogFixture dlg;
    COcx1& player = dlg->Player();
    if (!player.HasControl()) {
        GTEST_SKIP() << "no media backend here";
    }
    const std::string file = testsupport::MakeRecording(testsupport::TempDir() + "/play.mp3");
    ASSERT_FALSE(file.empty());
    player.put_URL("");
    EXPECT_FALSE(player.panel()->MediaCreated()) << "made before any take was loaded";
    player.put_URL(wxString::FromUTF8(file));
    EXPECT_TRUE(player.panel()->MediaCreated());
    EXPECT_EQ(player.get_URL(), wxString::FromUTF8(file));
    EXPECT_TRUE(PumpUntil([&] { return player.panel()->IsPlaying(); }, 10s));
    EXPECT_EQ(player.panel()->Volume(), 50);
    EXPECT_TRUE(ProcessHoldsOpen(file));
    player.put_URL("");
    Pump(200);
    EXPECT_FALSE(ProcessHoldsOpen(file));
    EXPECT_FALSE(player.panel()->IsPlaying());
    player.put_URL(""); // twice is harmless
    EXPECT_EQ(player.get_URL(), "");
}

TEST(Player, WrappersWithoutAControlIgnoreEveryCall) {
    COcx1 player;
    CExplorer1 browser;
    CRichtextctrl1 text;
    EXPECT_FALSE(player.HasControl());
    player.put_URL("/tmp/anything.mp3");
    player.put_URL("");
    EXPECT_EQ(player.get_URL(), "");
    browser.Navigate("http://www.vestrel.example/");
    EXPECT_EQ(browser.CurrentURL(), "");
    text.put_FileName("/nonexistent");
    EXPECT_EQ(text.GetText(), "");
    // Attaching something that is not the control is the same as none.
    player.Attach(nullptr);
    player.put_URL("/tmp/x.mp3");
    EXPECT_FALSE(player.HasControl());
}

TEST(NoServer, NoDeviceBoxAndAnEmptyList) {
    Hook().Clear();
    MainDialogFixture dlg;
    const auto m = Hook().Messages();
    ASSERT_EQ(m.size(), 1U);
    EXPECT_EQ(m[0].message, "No Input Device Available");
    EXPECT_EQ(m[0].caption, "Corvane");
    EXPECT_TRUE(m[0].style & wxICON_INFORMATION);
    EXPECT_EQ(dlg->DeviceList()->GetCount(), 0U);
    EXPECT_EQ(dlg->DeviceList()->GetSelection(), wxNOT_FOUND);
    // The rest of the window is as usual.
    EXPECT_EQ(dlg->BitrateList()->GetStringSelection(), "64 Kbps");
}

TEST(MainDialogStatusRow, TimesSizesAndLevels) {
    EXPECT_EQ(FormatTakeTime(0), "0:00");
    EXPECT_EQ(FormatTakeTime(42.4), "0:42");
    EXPECT_EQ(FormatTakeTime(599.6), "10:00");
    EXPECT_EQ(FormatTakeTime(3599.4), "59:59");
    EXPECT_EQ(FormatTakeTime(3723), "1:02:03"); // h:mm:ss from an hour
    EXPECT_EQ(FormatTakeSize(999), "999 bytes");
    EXPECT_EQ(FormatTakeSize(336000), "336 KB");
    EXPECT_EQ(FormatTakeSize(999499), "999 KB");
    EXPECT_EQ(FormatTakeSize(1536000), "1.5 MB");
    EXPECT_EQ(FormatTakeSize(12400000), "12.4 MB");
    EXPECT_NEAR(PeakToDb(16384), -6.02, 0.01);
    EXPECT_DOUBLE_EQ(PeakToDb(32768), 0.0);
    EXPECT_DOUBLE_EQ(PeakToDb(0), -60.0);
    EXPECT_DOUBLE_EQ(PeakToDb(1), -60.0); // -90 dB shows as the meter's floor
}
