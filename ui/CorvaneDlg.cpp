#include "ui/CorvaneDlg.h"

#include "app/CorvaneApp.h"
#include "controls/AboutDlg.h"
#include "convert/ConvertJob.h"
#include "convert/OptionsDialog.h"
#include "platform/Paths.h"
#include "platform/WaveIn.h"
#include "recorder/Capture.h"
#include "recorder/RecordControl.h"
#include "ui/DialogTemplate.h"
#include "ui/MessageBox.h"
#include "ui/Resource.h"

#include <wx/brush.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

const char* const kRecordHelpText =
    "If you are unable to record then you need to select the line of source - \n\n - Double "
    "click on the volume icon in the tray\n\n - Goto Options - Properties - Recording - Ok \n\n "
    "- Select the source of recoding \n\n - Close and try your recording again";

wxIconBundle LoadAppIcons() {
    wxIconBundle icons;
    const std::string dirs[] = {platform::ExecutableDir() + "icons/",
                                platform::InstalledDataDir() + "../icons/hicolor/"};
    for (const int px : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const wxString rel = wxString::Format("%dx%d/apps/%s.png", px, px, platform::kAppId);
        for (const auto& d : dirs) {
            const wxString path = wxString::FromUTF8(d) + rel;
            if (wxFileName::FileExists(path)) {
                icons.AddIcon(path, wxBITMAP_TYPE_PNG);
                break;
            }
        }
    }
    return icons;
}

CCorvaneDlg::CCorvaneDlg() : m_hIcon(LoadAppIcons()) {
    const auto& t = ui::MainDialogTemplate();
    Create(nullptr, wxID_ANY, wxString::FromUTF8(t.caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);
    theApp->SetMainDialog(this);
    m_scale = ui::BuildDialog(this, t, [](wxWindow* parent, const ui::ControlTemplate& c) {
        if (c.id == IDC_PLAYER) {
            return COcx1::CreateControl(parent, c.id);
        }
        return CExplorer1::CreateControl(parent, c.id);
    });

    // Event wiring, in one place.
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { OnSysCommand(e.GetId()); }, IDM_ABOUTBOX);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnRecordStop(); }, IDOK_RECORD);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowse(); }, IDC_BROWSE);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnWebsite(); }, IDC_WEBSITE);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnRecordHelp(); }, IDC_RECORD_HELP);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnConvertOptions(); }, IDC_CONVERT_OPTIONS);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnConvert(); }, IDC_CONVERT);
    Bind(wxEVT_CHAR_HOOK, &CCorvaneDlg::OnCharHook, this);
    Bind(wxEVT_CONTEXT_MENU, &CCorvaneDlg::OnContextMenu, this);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndProgram(); });

    DoDataExchange();
    OnInitDialog();
    Centre();
}

CCorvaneDlg::~CCorvaneDlg() {
    SetRecordingFailureHandler(nullptr);
    if (theApp->GetMainDialog() == this) {
        theApp->SetMainDialog(nullptr);
    }
}

void CCorvaneDlg::DoDataExchange() {
    m_player.Attach(FindWindow(IDC_PLAYER));
    m_browser.Attach(FindWindow(IDC_BROWSER));
}

bool CCorvaneDlg::OnInitDialog() {
    m_browser.Navigate(wxString::FromUTF8(kInfoPageURL));
    // The About entry lives in the context menu (see MakeContextMenu).
    SetIcons(m_hIcon);
    g_optionsDlg = new COptionsDialog(this); // owned by this dialog, hidden until asked for
    m_pBkBrush = std::make_unique<wxBrush>(wxColour(0xFF, 0xFF, 0xFF));
    ApplyColours();
    FillDeviceList();
    if (DeviceList()->GetCount() == 0) {
        ShowMessageBox(this, "No Input Device Available", "Corvane", wxOK | wxICON_INFORMATION);
    }
    if (DeviceList()->GetCount() > 0) {
        DeviceList()->SetSelection(0);
    }
    BitrateList()->SetSelection(3);
    OutputFileBox()->ChangeValue(wxString::FromUTF8(platform::HomeDir() + "/MyMP3.mp3"));
    SetRecordingFailureHandler([this](const std::string& reason) {
        CallAfter([this, reason] { OnRecordingFailed(reason); });
    });
    g_hCaptureMutex = std::make_unique<std::mutex>();
    RecordButton()->SetFocus();
    return true;
}

void CCorvaneDlg::FillDeviceList() {
    wxChoice* list = DeviceList();
    const unsigned count = wavein::waveInGetNumDevs();
    for (unsigned dev = 0; dev < count; ++dev) {
        std::string name;
        if (!wavein::waveInGetDevName(dev, name)) {
            continue; // a device whose query fails is not listed
        }
        // The list sorts by name; the item keeps its device number.
        const int pos = list->Append(wxString::FromUTF8(name));
        list->SetClientData(static_cast<unsigned>(pos),
                            reinterpret_cast<void*>(static_cast<std::intptr_t>(dev)));
    }
}

const wxBrush* CCorvaneDlg::OnCtlColor(int kind) const {
    if (kind >= 0 && kind <= 7) {
        return m_pBkBrush.get();
    }
    return nullptr;
}

void CCorvaneDlg::ApplyColours() {
    if (const wxBrush* brush = OnCtlColor(4)) { // none before the initialisation made it
        ui::PaintBackgrounds(this, *brush, IDC_BROWSER);
    }
}

std::unique_ptr<wxMenu> CCorvaneDlg::MakeContextMenu() const {
    const wxString text = wxString::FromUTF8(LoadResString(IDS_ABOUTBOX));
    if (text.empty()) {
        return nullptr;
    }
    auto menu = std::make_unique<wxMenu>();
    menu->AppendSeparator();
    menu->Append(IDM_ABOUTBOX, text);
    return menu;
}

void CCorvaneDlg::OnContextMenu(wxContextMenuEvent& /*e*/) {
    if (auto menu = MakeContextMenu()) {
        PopupMenu(menu.get());
    }
}

void CCorvaneDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(this);
        dlgAbout.ShowModal();
    }
}

void CCorvaneDlg::OnBrowse() {
    wxFileDialog dlg(this, wxFileSelectorPromptStr, wxEmptyString, "MyMP3", "MP3 Files|*.mp3",
                     wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dlg.ShowModal() != wxID_OK) {
        return;
    }
    wxString path = dlg.GetPath();
    if (wxFileName(path).GetExt().empty()) {
        path += ".mp3"; // GTK adds no default extension
    }
    OutputFileBox()->ChangeValue(path);
}

void CCorvaneDlg::OnWebsite() {
    wxLaunchDefaultBrowser(wxString::FromUTF8(kHomePageURL));
}

void CCorvaneDlg::OnRecordHelp() {
    ShowMessageBox(this, wxString::FromUTF8(kRecordHelpText), wxEmptyString,
                   wxOK | wxICON_QUESTION);
}

void CCorvaneDlg::OnConvertOptions() {
    if (!g_optionsDlg) {
        return;
    }
    if (g_optionsDlg->IsShown()) {
        g_optionsDlg->Raise(); // already open: bring it forward
    } else {
        g_optionsDlg->Show();
    }
}

void CCorvaneDlg::OnConvert() {
    ::OnConvert(*this);
}

void CCorvaneDlg::OnCharHook(wxKeyEvent& e) {
    switch (e.GetKeyCode()) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER: {
        wxWindow* focus = FindFocus();
        auto* button = dynamic_cast<wxButton*>(focus);
        if (button != nullptr && button->GetId() != IDOK_RECORD) {
            e.Skip(); // Enter presses the focused button
            return;
        }
        if (RecordButton()->IsEnabled()) {
            OnRecordStop();
        }
        return;
    }
    case WXK_ESCAPE:
        EndProgram();
        return;
    case WXK_F1:
        ShowHelpFileMissing(this);
        return;
    default:
        e.Skip();
        return;
    }
}

void CCorvaneDlg::EndProgram() {
    if (g_bRecording || g_hRecordThread.load() != 0) {
        StopRecording(); // the take is finished and complete before the program ends
    }
    if (IsModal()) {
        EndModal(wxID_CANCEL);
    } else {
        Destroy();
    }
}

wxButton* CCorvaneDlg::RecordButton() const {
    return static_cast<wxButton*>(FindWindow(IDOK_RECORD));
}
wxChoice* CCorvaneDlg::DeviceList() const {
    return static_cast<wxChoice*>(FindWindow(IDC_DEVICE_LIST));
}
wxChoice* CCorvaneDlg::BitrateList() const {
    return static_cast<wxChoice*>(FindWindow(IDC_BITRATE));
}
wxTextCtrl* CCorvaneDlg::OutputFileBox() const {
    return static_cast<wxTextCtrl*>(FindWindow(IDC_OUTPUT_FILE));
}
