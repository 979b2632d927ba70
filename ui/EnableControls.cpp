#include "ui/EnableControls.h"

#include "ui/FocusOrder.h"
#include "ui/Resource.h"

#include <wx/thread.h>
#include <wx/window.h>

namespace {

constexpr int kOrder[] = {IDC_BROWSE,          IDC_WEBSITE, IDC_RECORD_HELP, IDC_CONVERT,
                          IDC_CONVERT_OPTIONS, IDOK_RECORD, IDC_DEVICE_LIST, IDC_BITRATE};

void Apply(wxWindow* dlg, bool enable, bool spareRecordStop) {
    for (const int id : kOrder) {
        if (id == IDOK_RECORD && spareRecordStop) {
            continue;
        }
        if (wxWindow* w = dlg->FindWindow(id)) {
            w->Enable(enable);
        }
    }
    if (wxWindow* pause = dlg->FindWindow(IDC_PAUSE)) {
        pause->Enable(!enable && spareRecordStop); // exactly while recording
    }
    // GTK drops the keyboard focus of a control that is disabled, and
    // with it Enter and Escape; when the control comes back the focus
    // does not.
    ui::KeepFocusLive(dlg, enable);
}

} // namespace

void EnableControls(wxWindow* dlg, bool enable, bool spareRecordStop) {
    if (dlg == nullptr) {
        return;
    }
    if (wxThread::IsMain()) {
        Apply(dlg, enable, spareRecordStop);
    } else {
        // Queued to the dialog itself: dropped with it if it goes first.
        dlg->CallAfter([dlg, enable, spareRecordStop] { Apply(dlg, enable, spareRecordStop); });
    }
}
