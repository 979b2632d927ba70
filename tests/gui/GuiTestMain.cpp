// Tests with the real windows: wxWidgets runs in this process under the
// test desktop's display.
#include "app/CorvaneApp.h"
#include "tests/gui/GuiHarness.h"

#include <gtest/gtest.h>
#include <wx/evtloop.h>

#include <csignal>

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new CCorvaneApp()); // NOLINT: wxWidgets owns and deletes it
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit()) {
        return 2;
    }
    int rc = 0;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        gui::Hook().Register();
        rc = RUN_ALL_TESTS();
        gui::Hook().Unregister();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
