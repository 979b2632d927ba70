// The About box: notices and the credits from thanks.txt.
#pragma once

#include "controls/Richtextctrl1.h"

#include <wx/dialog.h>

#include <memory>

#include <wx/brush.h>

class CAboutDlg : public wxDialog {
  public:
    explicit CAboutDlg(wxWindow* owner);

    CRichtextctrl1& RichText() { return m_richText; }
    int LoadCount() const { return m_loads; }
    void OnActivate(wxActivateEvent& e);
    const wxBrush* OnCtlColor(int kind) const;

  private:
    void OnCharHook(wxKeyEvent& e);

    CRichtextctrl1 m_richText;
    std::unique_ptr<wxBrush> m_pBkBrush;
    int m_loads = 0;
};

// thanks.txt beside the executable, else in the data folders of an
// installed program (see platform::DataDirs).
wxString ThanksFilePath();
