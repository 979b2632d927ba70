#include "ui/CompletionBox.h"

#include "ui/DialogTemplate.h"
#include "ui/ShownText.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/eventfilter.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

#include <chrono>

namespace {

bool IsReturn(const wxEvent& e) {
    const wxEventType t = e.GetEventType();
    if (t != wxEVT_CHAR_HOOK && t != wxEVT_KEY_DOWN && t != wxEVT_CHAR && t != wxEVT_KEY_UP) {
        return false;
    }
    const int key = static_cast<const wxKeyEvent&>(e).GetKeyCode();
    return key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
}

// The Return that closed a box, held down, repeats into whatever has the
// focus next: swallowed until the key comes up (or, should its release
// be lost with the box, until a press comes after a pause no repeat has).
class HeldReturn : public wxEventFilter {
  public:
    using Clock = std::chrono::steady_clock;

    // Out of wxWidgets' list before it goes: the program may end with the
    // key still down.
    ~HeldReturn() override { Stop(); }

    static void Start() {
        HeldReturn& self = Instance();
        self.m_last = Clock::now();
        if (!self.m_on) {
            self.m_on = true;
            wxEvtHandler::AddFilter(&self);
        }
    }

    int FilterEvent(wxEvent& e) override {
        if (!IsReturn(e)) {
            return Event_Skip;
        }
        const auto now = Clock::now();
        if (e.GetEventType() == wxEVT_KEY_UP || now - m_last > std::chrono::milliseconds(900)) {
            Stop();
            return e.GetEventType() == wxEVT_KEY_UP ? Event_Processed : Event_Skip;
        }
        m_last = now;
        return Event_Processed;
    }

  private:
    static HeldReturn& Instance() {
        static HeldReturn filter;
        return filter;
    }
    void Stop() {
        if (m_on) {
            m_on = false;
            wxEvtHandler::RemoveFilter(this);
        }
    }

    bool m_on = false;
    Clock::time_point m_last{};
};

} // namespace

void ShowCompletionBox(wxWindow* owner, const wxString& text, bool ok, wxWindow* opener) {
    // Modeless, owned by the main dialog so that it goes with it; the main
    // dialog stays usable meanwhile.
    auto* box = new wxDialog(owner, wxID_ANY, "Vestrel", wxDefaultPosition, wxDefaultSize,
                             wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "CompletionBox");
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(
                 box, wxID_ANY,
                 wxArtProvider::GetBitmap(ok ? wxART_INFORMATION : wxART_ERROR, wxART_MESSAGE_BOX)),
             0, wxALL, 10);
    row->Add(new wxStaticText(box, wxID_STATIC, text), 1, wxALL | wxALIGN_CENTER_VERTICAL, 10);
    auto* col = new wxBoxSizer(wxVERTICAL);
    col->Add(row, 1, wxEXPAND);
    auto* okButton = new wxButton(box, wxID_OK, "OK");
    okButton->SetDefault();
    col->Add(okButton, 0, wxALIGN_CENTER | wxALL, 10);
    box->SetSizerAndFit(col);
    ui::PaintBackgrounds(box, *wxWHITE_BRUSH);
    box->SetEscapeId(wxID_NONE);
    // The focus goes back where the box came from, not to whatever the
    // main dialog would pick (Record/Stop, where a second Return records).
    const wxWeakRef<wxWindow> back(opener);
    const auto close = [box, back] {
        if (box->IsBeingDeleted()) {
            return;
        }
        box->Destroy();
        if (back && back->IsEnabled()) {
            back->SetFocus();
        }
    };
    box->Bind(
        wxEVT_BUTTON, [close](wxCommandEvent&) { close(); }, wxID_OK);
    box->Bind(wxEVT_CLOSE_WINDOW, [close](wxCloseEvent&) { close(); });
    box->Bind(wxEVT_CHAR_HOOK, [close](wxKeyEvent& e) {
        // Return and Escape close the box and go no further.
        switch (e.GetKeyCode()) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            HeldReturn::Start();
            close();
            return;
        case WXK_ESCAPE:
            close();
            return;
        default:
            e.Skip();
        }
    });
    if (owner != nullptr) {
        box->CentreOnParent();
    } else {
        box->Centre();
    }
    NoteShownText("box", text);
    box->Show();
    okButton->SetFocus();
}
