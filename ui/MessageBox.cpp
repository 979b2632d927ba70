#include "ui/MessageBox.h"

#include "platform/Paths.h"
#include "platform/ShownText.h"
#include "platform/TextColours.h"
#include "platform/Translate.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <vector>

namespace {

// The desktop's icon for a box's kind, as the completion box shows it.
const char* IconName(long style) {
    if ((style & wxICON_ERROR) != 0) {
        return "dialog-error";
    }
    if ((style & wxICON_WARNING) != 0) {
        return "dialog-warning";
    }
    if ((style & wxICON_QUESTION) != 0) {
        return "dialog-question";
    }
    if ((style & wxICON_INFORMATION) != 0) {
        return "dialog-information";
    }
    return nullptr;
}

} // namespace

int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style) {
    const wxString title =
        caption.empty() && wxTheApp != nullptr ? wxTheApp->GetAppName() : caption;
    wxMessageDialog box(owner, text, title, style);
    NoteShownText("box", text);
    return platform::ShowModalWithIcon(box, IconName(style));
}

bool OpenInBrowser(const wxString& url) {
    const wxLogNull quiet; // its "Failed to open URL ... (error N: ...)" box
    return wxLaunchDefaultBrowser(url);
}

void OpenInBrowserOrSay(wxWindow* owner, const wxString& failure, const wxString& url) {
    if (!OpenInBrowser(url)) {
        ShowMessageBox(owner, failure, wxEmptyString, wxOK | wxICON_INFORMATION);
    }
}

std::string HelpPagePath() {
    // The page in the language in use ("pt_BR"), else in its language
    // without the country ("pt"), else the English one.
    std::vector<std::string> pages;
    for (const auto& lang : platform::TranslationLanguageNames()) {
        pages.push_back("help/" + lang + "/index.html");
    }
    pages.push_back("help/index.html");
    for (const std::string& page : pages) {
        for (const std::string& dir : {platform::ExecutableDir(), platform::InstalledDataDir()}) {
            if (platform::IsReadableFile(dir + page)) {
                return dir + page;
            }
        }
    }
    return "";
}

void ShowHelp(wxWindow* owner) {
    const std::string page = HelpPagePath();
    if (page.empty()) {
        ShowHelpFileMissing(owner);
    } else {
        // TRANSLATORS: %s is the help file's path.
        OpenInBrowserOrSay(owner,
                           wxString::Format(_("The help page %s could not be opened: no web "
                                              "browser was found."),
                                            wxString::FromUTF8(page)),
                           "file://" + wxString::FromUTF8(page));
    }
}

void ShowHelpFileMissing(wxWindow* owner) {
    const wxString helpFile = wxString::FromUTF8(platform::ExecutableDir() + "help/index.html");
    // TRANSLATORS: %s is the help file's path.
    ShowMessageBox(owner, wxString::Format(_("The help file %s is not installed."), helpFile),
                   wxEmptyString, wxOK | wxICON_INFORMATION);
}

bool AskStopAndQuit(wxWindow* owner) {
    const wxString title = "Vestrel"; // as the recording's other boxes
    const wxString text = _("A recording is running. Stop it and quit?");
    wxMessageDialog box(owner, text, title, wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    box.SetYesNoLabels(_("Stop and quit"), _("Keep recording"));
    NoteShownText("box", text);
    // Escape and the box's close box answer neither: they keep recording.
    return platform::ShowModalWithIcon(box, IconName(wxICON_QUESTION)) == wxID_YES;
}

bool AskReplace(wxWindow* owner, const wxString& path) {
    const wxFileName name(path);
    const wxString title = wxTheApp != nullptr ? wxTheApp->GetAppName() : wxString();
    wxMessageDialog box(
        owner,
        // TRANSLATORS: %s is a file's name; the file dialog asks the same.
        wxString::Format(
            _(L"A file named \u201c%s\u201d already exists.  Do you want to replace it?"),
            name.GetFullName()),
        title, wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    // TRANSLATORS: %s is a folder's path.
    box.SetExtendedMessage(wxString::Format(
        _(L"The file already exists in \u201c%s\u201d.  Replacing it will overwrite its contents."),
        name.GetPath()));
    return platform::ShowModalWithIcon(box, IconName(wxICON_QUESTION)) == wxID_YES;
}

wxString ChooseSaveFile(wxWindow* owner, const wxString& defaultName, const wxString& filter,
                        const wxString& ext, const wxString& near, bool extOnly) {
    wxString dir = wxFileName(near).GetPath();
    if (dir.empty() || !wxFileName::DirExists(dir)) {
        dir = wxString::FromUTF8(platform::HomeDir());
    }
    wxString name = defaultName;
    for (;;) {
        // The toolkit's own title, in our catalog: the toolkit's catalogs
        // lack it, or lack the language.
        // TRANSLATORS: the title of the Save As window.
        wxFileDialog dlg(owner, _("Select a file"), dir, name, filter,
                         wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (dlg.ShowModal() != wxID_OK) {
            return wxString();
        }
        wxString path = dlg.GetPath();
        const wxString typedExt = wxFileName(path).GetExt();
        if (!typedExt.empty() && (!extOnly || "." + typedExt.Lower() == ext.Lower())) {
            return path; // the dialog asked already
        }
        path += ext; // GTK adds no default extension, nor asks about the name it makes
        if (!wxFileName::Exists(path) || AskReplace(owner, path)) {
            return path;
        }
        const wxFileName typed(path);
        dir = typed.GetPath();
        name = typed.GetFullName();
    }
}
