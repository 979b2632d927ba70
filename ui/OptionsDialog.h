// The Options window: target format and bit rate of a conversion.
// Modeless and hidden between uses; OK stores the choices, Cancel, Escape
// and the close box drop them.
#pragma once

#include <wx/dialog.h>
#include <wx/weakref.h>

#include <memory>

#include <wx/brush.h>
class wxChoice;

class COptionsDialog : public wxDialog {
  public:
    explicit COptionsDialog(wxWindow* owner);

    void OnBnClickedOk();
    void OnCancel();
    // Reselects the stored settings, on every show and hide.
    void OnShowWindow(wxShowEvent& e);
    const wxBrush* OnCtlColor(int kind) const;

    wxChoice* FormatList() const;
    wxChoice* BitrateList() const;

  private:
    bool OnInitDialog();
    void OnCharHook(wxKeyEvent& e);
    std::unique_ptr<wxBrush> m_pBkBrush;
};

// The list's select-string rule: the first item after `start` whose text
// begins with `text`, case-insensitively, wrapping round; -1 when none.
int FindStringPrefix(const wxChoice* list, int start, const wxString& text);
// Selects that item; leaves the selection alone when nothing matches.
void SelectString(wxChoice* list, int start, const wxString& text);

// The one Options dialog. Its window is created hidden by the main dialog
// and belongs to it; the reference clears itself when the window goes.
extern wxWeakRef<COptionsDialog> g_optionsDlg;
