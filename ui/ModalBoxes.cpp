#include "ui/ModalBoxes.h"

#include "platform/Translate.h"
#include "platform/WindowPlacement.h"
#include "ui/KeyGuard.h"

#include <wx/dialog.h>
#include <wx/modalhook.h>

#include <algorithm>
#include <vector>

namespace {

std::vector<wxDialog*> g_open; // GUI thread only; the newest last

class ModalBoxes : public wxModalDialogHook {
  public:
    ModalBoxes() { Register(); }
    ~ModalBoxes() override {
        Unregister();
        g_open.clear();
    }
    ModalBoxes(const ModalBoxes&) = delete;
    ModalBoxes& operator=(const ModalBoxes&) = delete;
    int Enter(wxDialog* dialog) override {
        // A message box's buttons are made when it is shown.
        platform::LoadToolkitTranslations();
        g_open.push_back(dialog);
        return wxID_NONE;
    }
    void Exit(wxDialog* dialog) override {
        const auto it = std::find(g_open.rbegin(), g_open.rend(), dialog);
        if (it != g_open.rend()) {
            g_open.erase(std::next(it).base());
        }
        KeyGuardModalBoxClosed(dialog);
    }
};

} // namespace

std::unique_ptr<wxModalDialogHook> TrackModalBoxes() {
    return std::make_unique<ModalBoxes>();
}

int OpenModalBoxes() {
    return static_cast<int>(g_open.size());
}

void CancelModalBoxes() {
    const std::vector<wxDialog*> open = g_open;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        wxDialog* box = *it;
        // One GTK runs itself does not know EndModal.
        if (!platform::CancelGtkDialog(box) && box->IsModal()) {
            box->EndModal(wxID_CANCEL);
        }
    }
}
