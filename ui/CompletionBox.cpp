#include "ui/CompletionBox.h"

#include "platform/Accessibility.h"
#include "platform/ShownText.h"
#include "platform/WindowPlacement.h"
#include "ui/DialogTemplate.h"
#include "ui/KeyGuard.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/intl.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

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
    auto* okButton = new wxButton(box, wxID_OK, _("OK"));
    okButton->SetDefault();
    col->Add(okButton, 0, wxALIGN_CENTER | wxALL, 10);
    box->SetSizerAndFit(col);
    // TRANSLATORS: what a screen reader calls the completion box.
    platform::PresentAsAlert(box, ok ? _("Conversion finished") : _("Conversion failed"));
    ui::PaintBackgrounds(box, *wxWHITE_BRUSH);
    box->SetEscapeId(wxID_NONE);
    // The focus goes back where the box came from, not to whatever the
    // main dialog would pick (Record/Stop, where a second Return records).
    const wxWeakRef<wxWindow> back(opener);
    const auto close = [box, back, owner](const wxKeyEvent* key) {
        if (box->IsBeingDeleted()) {
            return;
        }
        box->Destroy();
        KeyGuardBoxClosed(owner, key);
        if (back && back->IsEnabled()) {
            back->SetFocus();
        }
    };
    box->Bind(
        wxEVT_BUTTON, [close](wxCommandEvent&) { close(nullptr); }, wxID_OK);
    box->Bind(wxEVT_CLOSE_WINDOW, [close](wxCloseEvent&) { close(nullptr); });
    box->Bind(wxEVT_CHAR_HOOK, [close](wxKeyEvent& e) {
        // Return and Escape close the box and go no further.
        switch (e.GetKeyCode()) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
        case WXK_ESCAPE:
            close(&e);
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
