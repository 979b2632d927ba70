#include "ui/MessageBox.h"

#include "platform/Paths.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style) {
    const wxString title =
        caption.empty() && wxTheApp != nullptr ? wxTheApp->GetAppName() : caption;
    wxMessageDialog box(owner, text, title, style);
    return box.ShowModal();
}

void ShowHelpFileMissing(wxWindow* owner) {
    const wxString helpFile = wxString::FromUTF8(platform::ExecutablePath()) + ".HLP";
    ShowMessageBox(owner, "The help file " + helpFile + " is not installed.", wxEmptyString,
                   wxOK | wxICON_INFORMATION);
}
