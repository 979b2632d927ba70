#include "tests/gui/GuiHarness.h"

#include "app/CorvaneApp.h"
#include "recorder/Capture.h"
#include "recorder/Encoder.h"
#include "tests/support/TestSupport.h"
#include "ui/AboutDlg.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <thread>

namespace gui {

int DialogHook::Enter(wxDialog* dialog) {
    if (auto* m = dynamic_cast<wxMessageDialog*>(dialog)) {
        SeenDialog s;
        s.kind = "message";
        s.message = m->GetMessage();
        s.caption = m->GetCaption();
        s.style = m->GetMessageDialogStyle();
        seen.push_back(s);
        if (!messageAnswers.empty()) {
            const int answer = messageAnswers.front();
            messageAnswers.pop_front();
            return answer;
        }
        return wxID_OK;
    }
    if (auto* f = dynamic_cast<wxFileDialog*>(dialog)) {
        SeenDialog s;
        s.kind = "file";
        s.wildcard = f->GetWildcard();
        s.fileName = f->GetFilename();
        s.style = f->GetWindowStyleFlag();
        seen.push_back(s);
        if (fileAnswers.empty()) {
            return wxID_CANCEL;
        }
        const wxString answer = fileAnswers.front();
        fileAnswers.pop_front();
        f->SetPath(answer);
        // GTK takes the folder in asynchronously.
        PumpUntil([&] { return f->GetPath() == answer; }, std::chrono::seconds(2));
        answeredAt = std::chrono::steady_clock::now();
        return wxID_OK;
    }
    if (dynamic_cast<CAboutDlg*>(dialog) != nullptr) {
        SeenDialog s;
        s.kind = "about";
        s.caption = dialog->GetTitle();
        seen.push_back(s);
        if (onAbout) {
            onAbout(dialog);
        }
        return wxID_CANCEL;
    }
    return wxID_NONE;
}

std::vector<SeenDialog> DialogHook::Messages() const {
    std::vector<SeenDialog> out;
    for (const auto& s : seen) {
        if (s.kind == "message") {
            out.push_back(s);
        }
    }
    return out;
}

DialogHook& Hook() {
    static DialogHook hook;
    return hook;
}

void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
            loop->YieldFor(wxEVT_CATEGORY_ALL);
        }
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

bool PumpUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
    return testsupport::WaitFor(cond, timeout, [] { Pump(); });
}

MainDialogFixture::MainDialogFixture() {
    auto* dlg = new CCorvaneDlg(); // destroys itself (Destroy) like any top-level window
    dlg_ = dlg;
    dlg->Show();
    Pump(200);
}

MainDialogFixture::~MainDialogFixture() {
    if (CCorvaneDlg* dlg = dlg_.get()) {
        dlg->EndProgram();
    }
    Pump(100);
}

void MainDialogFixture::Press(int id) {
    wxWindow* w = dlg_->FindWindow(id);
    wxCommandEvent e(wxEVT_BUTTON, id);
    e.SetEventObject(w);
    w->GetEventHandler()->ProcessEvent(e);
}

void MainDialogFixture::Key(int keyCode) {
    wxKeyEvent e(wxEVT_CHAR_HOOK);
    e.m_keyCode = keyCode;
    e.SetEventObject(dlg_.get());
    dlg_->GetEventHandler()->ProcessEvent(e);
}

bool ProcessHoldsOpen(const std::string& path) {
    DIR* d = opendir("/proc/self/fd");
    if (d == nullptr) {
        return false;
    }
    bool found = false;
    while (dirent* e = readdir(d)) {
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == path) {
            found = true;
        }
    }
    closedir(d);
    return found;
}

wxWindow* FindTopLevel(const wxString& name) {
    for (wxWindow* w : wxTopLevelWindows) {
        if (w->GetName() == name && !w->IsBeingDeleted()) {
            return w;
        }
    }
    return nullptr;
}

} // namespace gui

std::string gui::OpenedInBrowser(const std::function<void()>& act) {
    const std::string dir = testsupport::TempDir();
    const std::string record = dir + "/opened";
    {
        std::ofstream script(dir + "/xdg-open");
        script << "#!/bin/sh\necho \"$1\" > '" << record << ".part' && mv '" << record << ".part' '"
               << record << "'\n";
    }
    ::chmod((dir + "/xdg-open").c_str(), 0755);
    const std::string oldPath = testsupport::Env("PATH");
    ::setenv("PATH", (dir + ":" + oldPath).c_str(), 1);
    act();
    PumpUntil([&] { return access(record.c_str(), R_OK) == 0; }, std::chrono::seconds(5));
    ::setenv("PATH", oldPath.c_str(), 1);
    std::ifstream in(record);
    std::string line;
    std::getline(in, line);
    return line;
}
