// Convert and Save on a 10-minute recording, through the real main window:
// the time from the Save As answer to the completion box (progress in the
// status row, ffprobe for the box's text included), against running the
// same ffmpeg words directly with the same progress report read to its end.
//   convert_overhead [minutes]       (inside tests/env/session.sh)
#include "app/CorvaneApp.h"
#include "convert/ConvertJob.h"
#include "convert/ConvertSettings.h"
#include "platform/Spawn.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/TestSupport.h"
#include "ui/Resource.h"

#include <wx/evtloop.h>
#include <wx/textctrl.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double TimeThroughWindow(gui::MainDialogFixture& dlg, const std::string& target) {
    gui::Hook().fileAnswers.push_back(wxString::FromUTF8(target));
    dlg.Press(IDC_CONVERT);
    const auto t0 = gui::Hook().answeredAt; // the moment Save As was answered
    while (gui::FindTopLevel("CompletionBox") == nullptr) {
        wxEventLoopBase::GetActive()->YieldFor(wxEVT_CATEGORY_ALL);
        wxTheApp->ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double s = Since(t0);
    gui::FindTopLevel("CompletionBox")->Destroy();
    gui::Pump(20);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10;
    wxApp::SetInstance(new CCorvaneApp()); // NOLINT: wxWidgets owns it
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit()) {
        return 2;
    }
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        gui::Hook().Register();
        const std::string dir = testsupport::TempDir();
        const std::string rec = testsupport::MakeRecording(dir + "/MyMP3.mp3", minutes * 60);
        gui::MainDialogFixture dlg;
        dlg->OutputFileBox()->ChangeValue(wxString::FromUTF8(rec));
        std::printf("conversion of a %.0f-minute recording at 128k (program vs ffmpeg alone, "
                    "both with -progress)\n",
                    minutes);
        for (const char* fmt : {"mp3", "wav", "aac", "wma", "flac", "m4a", "ac3"}) {
            g_szFormat = fmt;
            g_szBitrate = "128k";
            const std::string target = dir + "/out." + fmt;
            const ConvertJob job = MakeConvertJob("", wxString::FromUTF8(rec), "128k", fmt,
                                                  wxString::FromUTF8(target));
            // Alternate the two, best of three each, so neither gets the warm cache alone
            // and a moment of another load on the machine counts for neither.
            double ours = 1e9;
            double direct = 1e9;
            for (int round = 0; round < 3; ++round) {
                unlink(target.c_str());
                const auto t0 = Clock::now();
                // The same words, spawned the same way, the report read.
                platform::RunAndCollect(ArgsWithProgress(job), true);
                direct = std::min(direct, Since(t0));
                ours = std::min(ours, TimeThroughWindow(dlg, target));
            }
            const double over = ours - direct;
            std::printf(
                "  %-4s program %7.3f s  ffmpeg %7.3f s  overhead %+6.0f ms (%+5.1f%%)  %s\n", fmt,
                ours, direct, over * 1000, 100 * over / direct,
                over <= std::max(0.1, 0.05 * direct) ? "within goal" : "OVER GOAL");
        }
        gui::Hook().Unregister();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
