#include "ui/AboutDlg.h"

#include "convert/ConvertJob.h"
#include "convert/ConvertSettings.h"
#include "platform/Accessibility.h"
#include "platform/Paths.h"
#include "platform/Spawn.h"
#include "platform/Translate.h"
#include "ui/AppIcons.h"
#include "ui/DialogTemplate.h"
#include "ui/FocusRing.h"
#include "ui/MessageBox.h"
#include "ui/Resource.h"

#include <wx/brush.h>
#include <wx/dcclient.h>
#include <wx/filename.h>
#include <wx/stattext.h>

#include <unistd.h>

#include <algorithm>
#include <vector>
#include <cstdlib>
#include <sstream>

namespace {

// The ffmpeg Convert and Save runs, with the folder it was found in, and
// its version ("5.1.8-0+deb12u1"); empty when there is none.
struct FoundConverter {
    std::string path, version;
};

FoundConverter FindFfmpeg() {
    std::string path = FindConverter(g_szConverterDir, nullptr);
    if (path.find('/') == std::string::npos) {
        const char* dirs = std::getenv("PATH");
        std::string found;
        for (const wxString& dir : wxSplit(dirs != nullptr ? dirs : "", ':', '\0')) {
            const std::string candidate = dir.utf8_string() + "/" + path;
            if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) {
                found = candidate;
                break;
            }
        }
        path = found;
    }
    if (path.empty()) {
        return {};
    }
    // "ffmpeg version 5.1.8-0+deb12u1 Copyright (c) 2000-2025 ..."
    const platform::ProcessResult run = platform::RunAndCollect({path, "-version"}, true);
    std::istringstream first(run.output.substr(0, run.output.find('\n')));
    std::string name, word, version;
    first >> name >> word >> version;
    if (run.exitStatus != 0 || word != "version" || version.empty()) {
        return {};
    }
    return {path, version};
}

wxString FfmpegLine(wxWindow* line) {
    const FoundConverter found = FindFfmpeg();
    if (found.path.empty()) {
        return _("No ffmpeg was found beside the program or on PATH: Convert and Save needs one.");
    }
    // A long folder is shortened in its middle: the box keeps its size.
    const wxString version = wxString::FromUTF8(found.version);
    const wxString format = _("The ffmpeg found is version %s, at %s.");
    const int room =
        line->GetSize().x - line->GetTextExtent(wxString::Format(format, version, "")).x;
    const wxString path = wxControl::Ellipsize(wxString::FromUTF8(found.path), wxClientDC(line),
                                               wxELLIPSIZE_MIDDLE, std::max(room, 1));
    return wxString::Format(format, version, path);
}

} // namespace

wxString ThanksFilePath() {
    // In the language in use ("pt_BR", then "pt"), else the English one.
    std::vector<std::string> names;
    for (const auto& lang : platform::TranslationLanguageNames()) {
        names.push_back("thanks/" + lang + ".txt");
    }
    names.push_back("thanks.txt");
    std::string found;
    for (const auto& name : names) {
        if (found.empty()) {
            found = platform::FindIn(platform::DataDirs(), name);
        }
    }
    // Nothing found: the panel says that the file beside the program can't be read.
    return wxString::FromUTF8(found.empty() ? platform::ExecutableDir() + "thanks.txt" : found);
}

CAboutDlg::CAboutDlg(wxWindow* owner) {
    const auto& t = ui::AboutDialogTemplate();
    Create(owner, wxID_ANY, ui::TemplateText(t.caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    ui::BuildDialog(this, t, [](wxWindow* parent, const ui::ControlTemplate& c) {
        return CRichtextctrl1::CreateControl(parent, c.id);
    });
    m_richText.Attach(FindWindow(IDC_RICHTEXT));
    if (wxWindow* line = FindWindow(IDC_ABOUT_FFMPEG)) {
        line->SetLabel(FfmpegLine(line));
    }
    platform::SetAccessibleRole(this, platform::AccessibleRole::Dialog);
    SetIcons(LoadAppIcons());
    m_pBkBrush = std::make_unique<wxBrush>(wxColour(0xFF, 0xFF, 0xFF));
    ui::PaintBackgrounds(this, *m_pBkBrush, IDC_RICHTEXT);
    DrawFocusRingAround(FindWindow(IDC_RICHTEXT)); // a text view draws none
    ui::NoteLayoutWhenShown(this);
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
