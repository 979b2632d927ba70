// Running the real dialogs inside the test process: an event loop to pump,
// and a hook that answers modal dialogs and remembers what they said.
#pragma once

#include "ui/CorvaneDlg.h"

#include <wx/modalhook.h>
#include <wx/weakref.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace gui {

struct SeenDialog {
    std::string kind; // "message", "file", "about"
    wxString message;
    wxString caption;
    long style = 0;
    wxString wildcard;
    wxString fileName;
};

class DialogHook : public wxModalDialogHook {
  public:
    std::vector<SeenDialog> seen;
    std::deque<wxString> fileAnswers; // an empty queue cancels the file dialog
    std::deque<int> messageAnswers;   // answers to message boxes; then wxID_OK
    std::function<void(wxDialog*)> onAbout;
    std::chrono::steady_clock::time_point answeredAt; // last file dialog answered

    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* /*dialog*/) override {}
    std::vector<SeenDialog> Messages() const;
    void Clear() {
        seen.clear();
        fileAnswers.clear();
        messageAnswers.clear();
        onAbout = nullptr;
    }
};

DialogHook& Hook();

// Handles pending GUI events for `ms` milliseconds (at least one round).
void Pump(int ms = 0);
bool PumpUntil(const std::function<bool()>& cond,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A main dialog shown modelessly for one test, destroyed at the end.
class MainDialogFixture {
  public:
    MainDialogFixture();
    ~MainDialogFixture();
    MainDialogFixture(const MainDialogFixture&) = delete;
    MainDialogFixture& operator=(const MainDialogFixture&) = delete;
    CCorvaneDlg* operator->() const { return dlg_.get(); }
    CCorvaneDlg* get() const { return dlg_.get(); }
    bool Alive() const { return dlg_.get() != nullptr; }

    void Press(int id);    // a click on a button
    void Key(int keyCode); // a key as the dialog's char hook sees it
    wxWindow* Control(int id) const { return dlg_->FindWindow(id); }

  private:
    wxWeakRef<CCorvaneDlg> dlg_;
};

// Runs `act` with a stand-in `xdg-open` first on PATH; returns what the
// desktop's browser was asked to open ("" when nothing within 5 s).
std::string OpenedInBrowser(const std::function<void()>& act);

// Whether this process holds `path` open.
bool ProcessHoldsOpen(const std::string& path);
// The top-level window with this name, if any.
wxWindow* FindTopLevel(const wxString& name);

} // namespace gui
