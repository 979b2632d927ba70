// The About box's text panel: shows a UTF-8 text file.
#pragma once

#include <wx/string.h>
#include <wx/weakref.h>

class wxTextCtrl;
class wxWindow;

class CRichtextctrl1 {
  public:
    static wxWindow* CreateControl(wxWindow* parent, int id);

    void Attach(wxWindow* control);
    bool HasControl() const { return m_text.get() != nullptr; }
    // Loads and shows the file. A file that can't be read is said so in the
    // panel itself: no message box, which would only change the activation
    // and reload again.
    void put_FileName(const wxString& path);
    wxString GetText() const;

  private:
    wxWeakRef<wxTextCtrl> m_text;
};
