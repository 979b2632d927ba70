#include "ui/MessageBox.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style) {
    const wxString title =
        caption.empty() && wxTheApp != nullptr ? wxTheApp->GetAppName() : caption;
    wxMessageDialog box(owner, text, title, style);
    return box.ShowModal();
}
