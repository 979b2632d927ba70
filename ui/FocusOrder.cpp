#include "ui/FocusOrder.h"

#include "ui/DialogTemplate.h"
#include "ui/Resource.h"

#include <wx/window.h>

namespace ui {

namespace {

bool IsLive(const wxWindow* w) {
    return w->IsShownOnScreen() && w->IsEnabled() && w->CanAcceptFocusFromKeyboard();
}

void AddTabStops(wxWindow* w, bool whole, std::vector<wxWindow*>& out) {
    if (whole || w->GetChildren().empty()) {
        out.push_back(w);
        return;
    }
    for (wxWindow* child : w->GetChildren()) {
        if (!child->IsTopLevel()) {
            AddTabStops(child, false, out);
        }
    }
}

} // namespace

std::vector<wxWindow*> TabStops(const wxWindow* dlg) {
    std::vector<wxWindow*> out;
    for (const auto& c : MainDialogTemplate().controls) {
        if (!c.tabStop) {
            continue;
        }
        if (wxWindow* w = dlg->FindWindow(c.id)) {
            AddTabStops(w, c.id == IDC_BROWSER, out); // the web view's insides are WebKit's
        }
    }
    return out;
}

void MoveFocus(wxWindow* dlg, bool forward) {
    const std::vector<wxWindow*> stops = TabStops(dlg);
    if (stops.empty()) {
        return;
    }
    const int n = static_cast<int>(stops.size());
    // Where the focus is: the stop that is it or holds it (WebKit focuses
    // widgets of its own inside the web view).
    int at = -1;
    for (wxWindow* f = wxWindow::FindFocus(); f != nullptr && at < 0 && f != dlg;
         f = f->GetParent()) {
        for (int i = 0; i < n; ++i) {
            if (stops[static_cast<size_t>(i)] == f) {
                at = i;
            }
        }
    }
    if (at < 0) {
        at = forward ? n - 1 : 0;
    }
    for (int k = 1; k <= n; ++k) {
        const int i = ((at + (forward ? k : -k)) % n + n) % n;
        wxWindow* w = stops[static_cast<size_t>(i)];
        if (IsLive(w)) {
            w->SetFocus();
            return;
        }
    }
}

void KeepFocusLive(wxWindow* dlg, bool toRecord) {
    wxWindow* record = dlg->FindWindow(IDOK_RECORD);
    const bool recordLive = record != nullptr && record->IsEnabled();
    wxWindow* focus = wxWindow::FindFocus();
    const bool here = focus != nullptr && wxGetTopLevelParent(focus) == dlg;
    if (here && IsLive(focus) && !(toRecord && recordLive)) {
        return;
    }
    // Also when another window is active: what this dialog had focused may
    // be greyed now, and GTK would give it back with no keys working.
    if (recordLive) {
        record->SetFocus();
        return;
    }
    for (wxWindow* w : TabStops(dlg)) {
        if (IsLive(w)) {
            w->SetFocus();
            return;
        }
    }
}

} // namespace ui
