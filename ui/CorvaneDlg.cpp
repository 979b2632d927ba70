#include "ui/CorvaneDlg.h"

#include "platform/Paths.h"
#include "platform/WaveIn.h"
#include "platform/WindowPlacement.h"
#include "recorder/Capture.h"
#include "recorder/RecordControl.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcons.h"
#include "ui/ConvertAndSave.h"
#include "ui/DialogTemplate.h"
#include "ui/FocusOrder.h"
#include "ui/FocusRing.h"
#include "ui/KeyGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalBoxes.h"
#include "ui/OptionsDialog.h"
#include "ui/Resource.h"
#include "ui/StatusRow.h"

#include <wx/app.h>
#include <wx/brush.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/textctrl.h>
#include <wx/uri.h>
#include <wx/utils.h>

#include <cstdlib>

// TRANSLATORS: the box behind the main window's Help button.
const char* const kRecordHelpText = wxTRANSLATE(
    "If you are unable to record then you need to select the source of recording - \n\n - Open "
    "your desktop's Sound settings and go to Input (or open PulseAudio Volume Control, tab "
    "\"Input Devices\" or \"Recording\")\n\n - Choose the source you record from\n\n - Make "
    "sure it is not muted and its level is up\n\n - Close and try your recording again");

wxString InfoPageURL() {
    static const wxString url = [] {
        const char* env = std::getenv("VESTREL_INFO_URL");
        const wxString given = env != nullptr ? wxString::FromUTF8(env) : wxString();
        wxURI uri;
        // Anything else (a file, a script, a typing error) would put a page of
        // another kind in the panel: ignored.
        if (uri.Create(given) && uri.HasServer() &&
            (uri.GetScheme().Lower() == "http" || uri.GetScheme().Lower() == "https")) {
            return given;
        }
        return wxString::FromUTF8(kInfoPageURL);
    }();
    return url;
}

CCorvaneDlg::CCorvaneDlg() : m_hIcon(LoadAppIcons()) {
    const auto& t = ui::MainDialogTemplate();
    Create(nullptr, wxID_ANY, ui::TemplateText(t.caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);
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
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) { OnCloseRequest(e.CanVeto()); });

    ui::NoteLayoutWhenShown(this);
    DoDataExchange();
    OnInitDialog();
    Centre();
    platform::KeepOnWorkArea(this); // wider than the screen: from its left edge
}

CCorvaneDlg::~CCorvaneDlg() {
    WatchRecordings(false);
    // Closing the main dialog ends the program, whatever else is open.
    if (wxTheApp != nullptr) {
        wxTheApp->ExitMainLoop();
    }
}

void CCorvaneDlg::DoDataExchange() {
    m_player.Attach(FindWindow(IDC_PLAYER));
    m_browser.Attach(FindWindow(IDC_BROWSER));
}

bool CCorvaneDlg::OnInitDialog() {
    m_browser.OnOpenOutside([this](const wxString& url) {
        // TRANSLATORS: %s is a web address.
        OpenInBrowserOrSay(
            this,
            wxString::Format(_("The page %s could not be opened: no web browser was found."), url),
            url);
    });
    m_browser.Navigate(InfoPageURL());
    // The About entry lives in the context menu (see MakeContextMenu).
    SetIcons(m_hIcon);
    g_optionsDlg = new COptionsDialog(this); // owned by this dialog, hidden until asked for
    m_pBkBrush = std::make_unique<wxBrush>(wxColour(0xFF, 0xFF, 0xFF));
    ApplyColours();
    DrawFocusRingAround(FindWindow(IDC_BROWSER)); // WebKit draws none
    FillDeviceList();
    if (DeviceList()->GetCount() == 0) {
        ShowMessageBox(this, _("No Input Device Available"), "Corvane", wxOK | wxICON_INFORMATION);
    }
    // Alphabetical, starting on the source the desktop records from.
    SelectDeviceSource(DeviceList(), wavein::waveInGetDefaultSource());
    BitrateList()->SetSelection(3);
    OutputFileBox()->ChangeValue(wxString::FromUTF8(platform::HomeDir() + "/MyMP3.mp3"));
    WatchRecordings(true);
    g_hCaptureMutex = std::make_unique<std::mutex>();
    m_modalBoxes = TrackModalBoxes();
    m_statusRow = std::make_unique<CStatusRow>(this);
    m_convert = std::make_unique<CConvertAndSave>(*this, m_player, m_statusRow.get());
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
    const wxString text = ui::TemplateText(LoadResString(IDS_ABOUTBOX));
    if (text.empty()) {
        return nullptr;
    }
    auto menu = std::make_unique<wxMenu>();
    menu->AppendSeparator();
    menu->Append(IDM_ABOUTBOX, text);
    return menu;
}

void CCorvaneDlg::OnContextMenu(wxContextMenuEvent& e) {
    auto menu = MakeContextMenu();
    if (!menu) {
        return;
    }
    // A right click opens it at the pointer; Shift+F10 and the Menu key
    // at the focused control (without a position GTK puts it at the
    // window's corner on Wayland).
    if (e.GetPosition() == wxDefaultPosition) {
        PopupMenu(menu.get(), MenuPointFor(FindFocus()));
    } else {
        PopupMenu(menu.get());
    }
}

wxPoint CCorvaneDlg::MenuPointFor(wxWindow* focus) const {
    // Summed up the parent chain, not through screen coordinates, which a
    // Wayland client does not know.
    wxPoint at;
    wxWindow* w = focus;
    for (; w != nullptr && w != this && !w->IsTopLevel(); w = w->GetParent()) {
        at += w->GetPosition();
    }
    if (w != this) {
        return wxPoint(0, 0);
    }
    const wxSize size = focus->GetSize();
    return at + wxPoint(size.x / 4, size.y / 2);
}

void CCorvaneDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(this);
        dlgAbout.ShowModal();
    }
}

void CCorvaneDlg::OnBrowse() {
    const wxString path = ChooseSaveFile(this, "MyMP3", _("MP3 Files") + "|*.mp3", ".mp3",
                                         OutputFileBox()->GetValue(), true);
    if (!path.empty()) {
        OutputFileBox()->ChangeValue(path);
    }
}

void CCorvaneDlg::OnWebsite() {
    const wxString url = wxString::FromUTF8(kHomePageURL);
    // TRANSLATORS: %s is the program's web address.
    OpenInBrowserOrSay(
        this,
        wxString::Format(_("The website %s could not be opened: no web browser was found."), url),
        url);
}

void CCorvaneDlg::OnRecordHelp() {
    ShowMessageBox(this, wxGetTranslation(kRecordHelpText), wxEmptyString, wxOK | wxICON_QUESTION);
}

void CCorvaneDlg::OnConvertOptions() {
    if (!g_optionsDlg) {
        return;
    }
    if (g_optionsDlg->IsShown()) {
        g_optionsDlg->Raise(); // already open: bring it forward
    } else {
        platform::OpenOverOwner(g_optionsDlg); // as every other box opens
        g_optionsDlg->Show();
    }
}

void CCorvaneDlg::OnConvert() {
    m_convert->OnConvert();
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
        OnCloseRequest();
        return;
    case WXK_TAB:
        // Done here for every control: the web panel would keep Tab to
        // itself, and the wrap must follow the template order.
        if (e.HasAnyModifiers() && e.GetModifiers() != wxMOD_SHIFT) {
            e.Skip();
            return;
        }
        MoveFocus(!e.ShiftDown());
        return;
    case WXK_F1:
        ShowHelp(this);
        return;
    default:
        e.Skip();
        return;
    }
}

void CCorvaneDlg::OnCloseRequest(bool canVeto) {
    const auto taking = [] { return g_bRecording || g_hRecordThread.load() != 0; };
    if (canVeto && taking()) {
        if (m_askingToQuit) {
            return; // the question is open already
        }
        m_askingToQuit = true;
        const bool quit = AskStopAndQuit(this);
        m_askingToQuit = false;
        if (!quit) {
            return;
        }
    }
    EndProgram();
}

void CCorvaneDlg::EndOnSignal() {
    if (g_bRecording || g_hRecordThread.load() != 0) {
        StopRecording(); // first: a session that ends kills what is left soon
    }
    if (m_convert) {
        m_convert->CancelAndWait();
    }
    if (OpenModalBoxes() == 0) {
        EndProgram();
        return;
    }
    // Ending from inside a box's loop would delete this window under the
    // code that opened the box; the loops return once they are cancelled.
    CancelModalBoxes();
    if (!m_endTimer.IsRunning()) {
        m_endTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { EndOnSignal(); });
        m_endTimer.Start(50);
    }
}

void CCorvaneDlg::EndProgram() {
    m_endTimer.Stop();
    if (g_bRecording || g_hRecordThread.load() != 0) {
        StopRecording(); // the take is finished and complete before the program ends
    }
    if (m_convert) {
        m_convert->CancelAndWait(); // no ffmpeg left behind, nor half a file
    }
    if (IsModal()) {
        EndModal(wxID_CANCEL);
    } else if (!IsBeingDeleted()) {
        Destroy();
        // The window goes at the next idle time, which an idle program
        // ended by a signal would never reach by itself.
        wxWakeUpIdle();
    }
}

std::vector<wxWindow*> CCorvaneDlg::TabStops() const {
    return ui::TabStops(this);
}

void CCorvaneDlg::MoveFocus(bool forward) {
    ui::MoveFocus(this, forward);
}

void CCorvaneDlg::KeepFocusLive(bool toRecord) {
    ui::KeepFocusLive(this, toRecord);
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
