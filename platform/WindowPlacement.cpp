#include "platform/WindowPlacement.h"

#include "platform/DynamicLibrary.h"

#include <wx/display.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <algorithm>
#include <memory>
#include <string>

namespace platform {

bool OnWayland() {
    return wxGetDisplayInfo().type == wxDisplayWayland;
}

void OpenOverOwner(wxTopLevelWindow* box) {
    if (box == nullptr) {
        return;
    }
    wxWindow* owner = box->GetParent();
    if (owner == nullptr) {
        box->Centre();
        return;
    }
    // X11: the program places it. (wxWidgets has made it a transient of
    // its owner, which window managers keep above the owner.)
    box->CentreOnParent();
    if (!OnWayland()) {
        return;
    }
    // Wayland: the compositor centres a transient over its parent only when
    // it is a modal dialog; any other window goes where there is room (the
    // screen's top-left corner). So the box is modal while it first maps,
    // and modeless again once it is on screen: its place stays, and the
    // owner takes input again.
    using SetModal = void (*)(void*, int);
    auto setModal = LinkedSymbol<SetModal>("gtk_window_set_modal");
    if (setModal == nullptr || box->GetHandle() == nullptr) {
        return;
    }
    setModal(box->GetHandle(), 1);
    // The compositor places the box when it first shows the box's first
    // frame; GTK draws a second frame only once the compositor has shown
    // the first. So the second paint (asked for by the first) comes after
    // the placement.
    // (A box shown again, hidden in between, is placed anew: each showing
    // has its own count, and a count that is done stays done.)
    auto paints = std::make_shared<int>(0);
    box->Bind(wxEVT_PAINT, [box, setModal, paints](wxPaintEvent& e) {
        e.Skip();
        if (*paints >= 2) {
            return;
        }
        if (++*paints == 1) {
            box->CallAfter([box] { box->Refresh(); });
        } else if (*paints == 2) {
            box->CallAfter([box, setModal] { setModal(box->GetHandle(), 0); });
        }
    });
}

wxRect WorkAreaOf(const wxWindow* window) {
    int index = window != nullptr ? wxDisplay::GetFromWindow(window) : wxNOT_FOUND;
    if (index == wxNOT_FOUND) {
        index = 0;
    }
    return wxDisplay(static_cast<unsigned>(index)).GetClientArea();
}

void KeepOnWorkArea(wxTopLevelWindow* window) {
    const wxRect area = WorkAreaOf(window);
    const wxRect r = window->GetRect();
    const wxPoint at(std::max(r.x, area.x), std::max(r.y, area.y));
    if (at != r.GetPosition()) {
        window->Move(at);
    }
}

bool CancelGtkDialog(wxWindow* box) {
    using GetType = unsigned long (*)();
    using IsA = int (*)(void*, unsigned long);
    using Respond = void (*)(void*, int);
    static const auto dialogType = LinkedSymbol<GetType>("gtk_dialog_get_type");
    static const auto isA = LinkedSymbol<IsA>("g_type_check_instance_is_a");
    static const auto respond = LinkedSymbol<Respond>("gtk_dialog_response");
    void* widget = box != nullptr ? box->GetHandle() : nullptr;
    if (widget == nullptr || dialogType == nullptr || isA == nullptr || respond == nullptr ||
        isA(widget, dialogType()) == 0) {
        return false;
    }
    constexpr int kResponseCancel = -6; // GTK_RESPONSE_CANCEL
    respond(widget, kResponseCancel);
    return true;
}

} // namespace platform
