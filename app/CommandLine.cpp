#include "app/CommandLine.h"

#include <wx/cmdline.h>
#include <wx/msgout.h>

#include <cstdio>

#ifndef VESTREL_VERSION
#define VESTREL_VERSION "1.0.0"
#endif

namespace app {

std::string VersionText() {
    return "Vestrel " VESTREL_VERSION;
}

std::optional<int> HandleCommandLine(int argc, char** argv) {
    if (argc <= 1) {
        return std::nullopt;
    }
    static const wxCmdLineEntryDesc kOptions[] = {
        {wxCMD_LINE_SWITCH, "h", "help", "show this help and exit", wxCMD_LINE_VAL_NONE,
         wxCMD_LINE_OPTION_HELP},
        {wxCMD_LINE_SWITCH, nullptr, "version", "show the version and exit"},
        // GTK's own option, taken by the toolkit when the program starts.
        {wxCMD_LINE_OPTION, nullptr, "display", "X display to use", wxCMD_LINE_VAL_STRING,
         wxCMD_LINE_HIDDEN},
        {wxCMD_LINE_NONE},
    };
    // There is no application object yet: parse errors go to stderr directly.
    wxMessageOutputStderr toStderr;
    wxMessageOutput* const previous = wxMessageOutput::Set(&toStderr);
    wxCmdLineParser parser(kOptions, argc, argv);
    parser.SetLogo(
        wxString::FromUTF8(VersionText() + ": records from an input device to an MP3 file.\n"));
    const int rc = parser.Parse(false);
    std::optional<int> status;
    if (rc == -1) {
        std::fputs(parser.GetUsageString().utf8_str(), stdout);
        status = 0;
    } else if (rc != 0) {
        std::fputs(parser.GetUsageString().utf8_str(), stderr);
        status = 2;
    } else if (parser.Found("version")) {
        std::printf("%s\n", VersionText().c_str());
        status = 0;
    }
    wxMessageOutput::Set(previous);
    std::fflush(stdout);
    return status;
}

} // namespace app
