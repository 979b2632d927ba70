#include "ui/FocusRing.h"

#include "platform/TextColours.h"

#include <wx/dcclient.h>
#include <wx/pen.h>
#include <wx/window.h>

namespace {

constexpr int kRingWidth = 2;

wxRect RingRect(const wxWindow* control) {
    return control->GetRect().Inflate(kRingWidth);
}

} // namespace

void DrawFocusRingAround(wxWindow* control) {
    wxWindow* parent = control != nullptr ? control->GetParent() : nullptr;
    if (parent == nullptr) {
        return;
    }
    auto redraw = [control, parent](wxFocusEvent& e) {
        e.Skip();
        parent->RefreshRect(RingRect(control));
    };
    control->Bind(wxEVT_SET_FOCUS, redraw);
    control->Bind(wxEVT_KILL_FOCUS, redraw);
    parent->Bind(wxEVT_PAINT, [control, parent](wxPaintEvent& e) {
        e.Skip();
        wxPaintDC dc(parent);
        if (wxWindow::FindFocus() != control || !control->IsShownOnScreen()) {
            return;
        }
        const wxRect r = RingRect(control);
        dc.SetPen(wxPen(
            wxColour(platform::kFocusRingRed, platform::kFocusRingGreen, platform::kFocusRingBlue),
            kRingWidth));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        // The pen is centred on the outline: half a width in, so the whole
        // ring lies outside the control.
        dc.DrawRectangle(r.x + kRingWidth / 2, r.y + kRingWidth / 2, r.width - kRingWidth + 1,
                         r.height - kRingWidth + 1);
    });
}
