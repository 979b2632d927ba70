#include "ui/CompletionBox.h"

#include "platform/Accessibility.h"
#include "platform/ShownText.h"
#include "platform/WindowPlacement.h"
#include "ui/DialogTemplate.h"

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
// Times are the key events' own, from the X server: a program busy
// redrawing for a moment does not take queued repeats for new presses.
class HeldReturn : public wxEventFilter {
  public:
    // Out of wxWidgets' list before it goes: the program may end with the
    // key still down.
    ~HeldReturn() override { Stop(); }

    static void Start(const wxKeyEvent& press) {
        HeldReturn& self = Instance();
        self.m_last = Time(press);
        if (!self.m_on) {
            self.m_on = true;
            wxEvtHandler::AddFilter(&self);
        }
    }

    int FilterEvent(wxEvent& e) override {
        if (!IsReturn(e)) {
            return Event_Skip;
        }
        if (e.GetEventType() == wxEVT_KEY_UP) {
            Stop();
            return Event_Processed;
        }
        const long now = Time(static_cast<const wxKeyEvent&>(e));
        if (now - m_last > kRepeatGapMs) {
            Stop(); // a new press
            return Event_Skip;
        }
        m_last = now;
        return Event_Processed;
    }

  private:
    // Longer than a key's delay before it repeats (660 ms in X by default).
    static constexpr long kRepeatGapMs = 900;

    static long Time(const wxKeyEvent& e) {
        if (e.GetTimestamp() != 0) {
            return e.GetTimestamp();
        }
        using namespace std::chrono;
        return static_cast<long>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
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
    long m_last = 0;
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
    platform::PresentAsAlert(box, ok ? "Conversion finished" : "Conversion failed");
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
            HeldReturn::Start(e);
            close();
            return;
        case WXK_ESCAPE:
            close();
            return;
        default:
            e.Skip();
        }
    });
    platform::OpenOverOwner(box);
    NoteShownText("box", text);
    box->Show();
    okButton->SetFocus();
}
