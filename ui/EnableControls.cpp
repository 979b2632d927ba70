#include "ui/EnableControls.h"

#include "app/CorvaneApp.h"
#include "ui/CorvaneDlg.h"
#include "ui/Resource.h"

#include <wx/thread.h>

namespace {

constexpr int kOrder[] = {IDC_BROWSE,          IDC_WEBSITE, IDC_RECORD_HELP, IDC_CONVERT,
                          IDC_CONVERT_OPTIONS, IDOK_RECORD, IDC_DEVICE_LIST, IDC_BITRATE};

template <typename F> void OnGuiThread(F&& f) {
    if (wxTheApp == nullptr) {
        return;
    }
    if (wxThread::IsMain()) {
        f();
    } else {
        wxTheApp->CallAfter(std::forward<F>(f));
    }
}

} // namespace

void EnableControls(bool enable, bool spareRecordStop) {
    OnGuiThread([enable, spareRecordStop] {
        CCorvaneDlg* dlg = theApp->GetMainDialog();
        if (dlg == nullptr) {
            return;
        }
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
        dlg->KeepFocusLive(enable);
    });
}

void SetMainCaption(const char* caption) {
    const wxString text = wxString::FromUTF8(caption);
    OnGuiThread([text] {
        if (CCorvaneDlg* dlg = theApp->GetMainDialog()) {
            dlg->SetTitle(text);
        }
    });
}
