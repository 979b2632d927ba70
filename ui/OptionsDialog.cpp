#include "ui/OptionsDialog.h"

#include "convert/ConvertSettings.h"
#include "platform/Accessibility.h"
#include "platform/WindowPlacement.h"
#include "ui/AppIcons.h"
#include "ui/DialogTemplate.h"
#include "ui/KeyGuard.h"
#include "ui/MessageBox.h"
#include "ui/Resource.h"

#include <wx/brush.h>
#include <wx/button.h>
#include <wx/choice.h>

wxWeakRef<COptionsDialog> g_optionsDlg;

int FindStringPrefix(const wxChoice* list, int start, const wxString& text) {
    const int n = static_cast<int>(list->GetCount());
    if (n == 0) {
        return -1;
    }
    const wxString want = text.Lower();
    for (int k = 1; k <= n; ++k) {
        const int i = ((start < 0 ? -1 : start) + k) % n;
        if (list->GetString(static_cast<unsigned>(i)).Lower().StartsWith(want)) {
            return i;
        }
    }
    return -1;
}

void SelectString(wxChoice* list, int start, const wxString& text) {
    const int i = FindStringPrefix(list, start, text);
    if (i >= 0) {
        list->SetSelection(i);
    }
}

COptionsDialog::COptionsDialog(wxWindow* owner) {
    const auto& t = ui::OptionsDialogTemplate();
    Create(owner, wxID_ANY, ui::TemplateText(t.caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    ui::BuildDialog(this, t, nullptr);
    platform::SetAccessibleRole(this, platform::AccessibleRole::Dialog);
    SetIcons(LoadAppIcons());
    SetEscapeId(wxID_NONE);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedOk(); }, IDC_OK);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, IDC_CANCEL);
    Bind(wxEVT_SHOW, &COptionsDialog::OnShowWindow, this);
    ui::NoteLayoutWhenShown(this);
    Bind(wxEVT_CHAR_HOOK, &COptionsDialog::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
        if (e.CanVeto()) {
            e.Veto(); // closing only hides it; the main dialog destroys it
            OnCancel();
        } else {
            Destroy();
        }
    });
    OnInitDialog();
}

bool COptionsDialog::OnInitDialog() {
    m_pBkBrush = std::make_unique<wxBrush>(wxColour(255, 255, 255));
    ui::PaintBackgrounds(this, *m_pBkBrush);
    SelectString(FormatList(), 0, "mp3");
    SelectString(BitrateList(), 0, "128k");
    return true;
}

void COptionsDialog::OnBnClickedOk() {
    g_szFormat = FormatList()->GetStringSelection();
    g_szBitrate = BitrateList()->GetStringSelection();
    Hide();
    KeyGuardBoxClosed(GetParent(), nullptr);
}

void COptionsDialog::OnCancel() {
    Hide();
    KeyGuardBoxClosed(GetParent(), nullptr);
}

void COptionsDialog::OnShowWindow(wxShowEvent& e) {
    e.Skip();
    SelectString(FormatList(), 0, g_szFormat);
    SelectString(BitrateList(), 0, g_szBitrate);
}

const wxBrush* COptionsDialog::OnCtlColor(int kind) const {
    return kind >= 0 && kind <= 7 ? m_pBkBrush.get() : nullptr;
}

void COptionsDialog::OnCharHook(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_F1) {
        ShowHelp(this);
        return;
    }
    if (e.GetKeyCode() == WXK_ESCAPE) {
        OnCancel();
        return;
    }
    if ((e.GetKeyCode() == WXK_RETURN || e.GetKeyCode() == WXK_NUMPAD_ENTER) &&
        dynamic_cast<wxButton*>(FindFocus()) == nullptr) {
        OnBnClickedOk(); // OK is the default button
        return;
    }
    e.Skip();
}

wxChoice* COptionsDialog::FormatList() const {
    return static_cast<wxChoice*>(FindWindow(IDC_FORMAT));
}
wxChoice* COptionsDialog::BitrateList() const {
    return static_cast<wxChoice*>(FindWindow(IDC_BITRATE));
}
