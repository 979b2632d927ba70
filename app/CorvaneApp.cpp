#include "app/CorvaneApp.h"

#include "platform/GlDrivers.h"

#include <wx/image.h>

#include <csignal>

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
// wxWidgets runs this from the main loop, not in the signal handler.
void OnEndSignal(int /*signal*/) {
    static bool ending = false;
    if (ending) {
        return; // a second signal while the take is being finished
    }
    ending = true;
    if (CCorvaneDlg* dlg = theApp->GetMainDialog()) {
        dlg->EndProgram();
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
    // No window of the program handles idle events: not handing them to
    // every control after each timer tick keeps a recording's GUI work small.
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    // Nor does any ask for update-UI events, which idle time would send to
    // every one of them.
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    // A SIGHUP ignored from the start (nohup) stays ignored; SIGINT is
    // taken even so, as on the command line: a shell starts its background
    // commands with it ignored.
    struct sigaction hup {};
    const bool hupIgnored = sigaction(SIGHUP, nullptr, &hup) == 0 && hup.sa_handler == SIG_IGN;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        if (signal != SIGHUP || !hupIgnored) {
            SetSignalHandler(signal, &OnEndSignal);
        }
    }
    return true;
}

int CCorvaneApp::OnRun() {
    // The main dialog is a shown top-level window, not a modal one: a modal
    // grab would block the modeless Options window and completion boxes.
    // Its destruction ends the main loop.
    auto* dlg = new CCorvaneDlg(); // destroys itself when it closes
    m_mainDlg = dlg;
    SetTopWindow(dlg);
    dlg->Show();
    wxApp::OnRun();
    return 0;
}
