#include "app/CorvaneApp.h"

#include "platform/Accessibility.h"
#include "platform/EndSignals.h"
#include "platform/GlDrivers.h"
#include "platform/TextColours.h"
#include "platform/Translate.h"

#include <wx/image.h>

// Static objects, in the order they come into being.
const TheAppRef theApp;

CCorvaneApp* TheAppRef::operator->() const {
    return static_cast<CCorvaneApp*>(wxApp::GetInstance());
}
CCorvaneApp& TheAppRef::operator*() const {
    return *operator->();
}

namespace {

// A logout (SIGHUP, SIGTERM) or Ctrl+C in the terminal that started the
// window: the take is finished as Stop does and the program ends, status 0.
// Run from the main loop, not in the signal handler.
void OnEndSignal() {
    static bool ending = false;
    if (ending) {
        return; // a second signal while the take is being finished
    }
    ending = true;
    if (CCorvaneDlg* dlg = theApp->GetMainDialog()) {
        dlg->EndOnSignal();
    } else {
        theApp->ExitMainLoop();
    }
}

} // namespace

CCorvaneApp::CCorvaneApp() {
    // No application name of its own: message boxes without a caption show
    // the executable's name, which wxWidgets takes from argv[0].
}

bool CCorvaneApp::OnInit() {
    // main() has handled --help and --version; the base parser is skipped.
    platform::EndToolkitGlProbeSkip();
    wxInitAllImageHandlers();
    // Before any window, so that none is drawn in the dark variant first.
    platform::KeepLightTheme();
    platform::UseLanguageDirection();
    // "Vestrel", not the application id the windows carry.
    platform::SetApplicationName("Vestrel");
    // No window of the program handles idle events: not handing them to
    // every control after each timer tick keeps a recording's GUI work small.
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    // Nor does any ask for update-UI events, which idle time would send to
    // every one of them.
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    platform::OnEndSignals(&OnEndSignal);
    return true;
}

wxLayoutDirection CCorvaneApp::GetLayoutDirection() const {
    return platform::RightToLeftLanguage() ? wxLayout_RightToLeft : wxLayout_LeftToRight;
}

int CCorvaneApp::OnRun() {
    // The main dialog is a shown top-level window, not a modal one: a modal
    // grab would block the modeless Options window and completion boxes.
    // Its destruction ends the main loop.
    auto* dlg = new CCorvaneDlg(); // destroys itself when it closes
    m_mainDlg = dlg;
    SetTopWindow(dlg);
    dlg->Show();
    // Once the window is up, not on the way to it.
    dlg->CallAfter([] { platform::LoadToolkitTranslations(); });
    wxApp::OnRun();
    return 0;
}
