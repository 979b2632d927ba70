#include "ui/AboutDlg.h"

#include "platform/Accessibility.h"
#include "platform/Paths.h"
#include "ui/AppIcons.h"
#include "ui/DialogTemplate.h"
#include "ui/FocusRing.h"
#include "ui/MessageBox.h"
#include "ui/Resource.h"

#include <wx/brush.h>
#include <wx/filename.h>

wxString ThanksFilePath() {
    const std::string found = platform::FindIn(platform::DataDirs(), "thanks.txt");
    // Nothing found: the panel says that the file beside the program can't be read.
    return wxString::FromUTF8(found.empty() ? platform::ExecutableDir() + "thanks.txt" : found);
}

CAboutDlg::CAboutDlg(wxWindow* owner) {
    const auto& t = ui::AboutDialogTemplate();
    Create(owner, wxID_ANY, wxString::FromUTF8(t.caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    ui::BuildDialog(this, t, [](wxWindow* parent, const ui::ControlTemplate& c) {
        return CRichtextctrl1::CreateControl(parent, c.id);
    });
    m_richText.Attach(FindWindow(IDC_RICHTEXT));
    platform::SetAccessibleRole(this, platform::AccessibleRole::Dialog);
    SetIcons(LoadAppIcons());
    m_pBkBrush = std::make_unique<wxBrush>(wxColour(0xFF, 0xFF, 0xFF));
    ui::PaintBackgrounds(this, *m_pBkBrush, IDC_RICHTEXT);
    DrawFocusRingAround(FindWindow(IDC_RICHTEXT)); // a text view draws none
    SetEscapeId(wxID_NONE);
    Bind(wxEVT_ACTIVATE, &CAboutDlg::OnActivate, this);
    Bind(wxEVT_CHAR_HOOK, &CAboutDlg::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
        if (IsModal()) {
            EndModal(wxID_CANCEL);
        } else {
            Hide();
        }
    });
    CentreOnParent();
}

void CAboutDlg::OnActivate(wxActivateEvent& e) {
    e.Skip();
    m_richText.put_FileName(ThanksFilePath());
    ++m_loads;
}

const wxBrush* CAboutDlg::OnCtlColor(int kind) const {
    return kind >= 0 && kind <= 7 ? m_pBkBrush.get() : nullptr;
}

void CAboutDlg::OnCharHook(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_F1) {
        ShowHelp(this);
        return;
    }
    if (e.GetKeyCode() == WXK_ESCAPE) {
        if (IsModal()) {
            EndModal(wxID_CANCEL);
        } else {
            Hide();
        }
        return;
    }
    e.Skip();
}
