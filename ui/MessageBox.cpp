#include "ui/MessageBox.h"

#include "platform/Paths.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style) {
    const wxString title =
        caption.empty() && wxTheApp != nullptr ? wxTheApp->GetAppName() : caption;
    wxMessageDialog box(owner, text, title, style);
    return box.ShowModal();
}

std::string HelpPagePath() {
    for (const std::string& dir : {platform::ExecutableDir(), platform::InstalledDataDir()}) {
        const std::string page = dir + "help/index.html";
        if (platform::IsReadableFile(page)) {
            return page;
        }
    }
    return "";
}

void ShowHelp(wxWindow* owner) {
    const std::string page = HelpPagePath();
    if (page.empty()) {
        ShowHelpFileMissing(owner);
    } else if (!wxLaunchDefaultBrowser("file://" + wxString::FromUTF8(page))) {
        ShowMessageBox(owner,
                       "The help page " + wxString::FromUTF8(page) +
                           " could not be opened: no web browser was found.",
                       wxEmptyString, wxOK | wxICON_INFORMATION);
    }
}

void ShowHelpFileMissing(wxWindow* owner) {
    const wxString helpFile = wxString::FromUTF8(platform::ExecutableDir() + "help/index.html");
    ShowMessageBox(owner, "The help file " + helpFile + " is not installed.", wxEmptyString,
                   wxOK | wxICON_INFORMATION);
}
