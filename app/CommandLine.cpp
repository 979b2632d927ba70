#include "app/CommandLine.h"

#include "app/RecordCommand.h"
#include "platform/Translate.h"

#include <wx/cmdline.h>
#include <wx/msgout.h>
#include <wx/translation.h>

#include <cstdio>

#ifndef VESTREL_VERSION
#define VESTREL_VERSION "1.0.0"
#endif

namespace app {

std::string VersionText() {
    return "Vestrel " VESTREL_VERSION;
}

namespace {

// After the options in --help. Commands, options and file names stay as they
// are; the sentences around them are translated, each paragraph whole.
wxString RecordExamples() {
    wxString text = "\n";
    // TRANSLATORS: a heading in --help, above command lines.
    text += _("Examples:") + "\n";
    text += "  vestrel --record ~/Lectures/%Y-%m-%d-%H%M.mp3 --for 1h30m --bitrate 128\n";
    text +=
        // TRANSLATORS: %s is a command line; "(Ctrl+C ends it)" says how the recording it starts
        // ends. Keep the spaces before it.
        wxString::Format(_("  %s   (Ctrl+C ends it)"),
                         "vestrel --record take.mp3 --device \"Built-in Audio Analog Stereo\"") +
        "\n\n";
    // TRANSLATORS: in --help, above a timer's two files; the path is a folder's.
    text += wxString::Format(_("Every Monday at 10:00 with a systemd user timer, in %s:"),
                             "~/.config/systemd/user/") +
            "\n";
    text += "  lecture.service:  [Service]\n"
            "                    ExecStart=/usr/bin/vestrel --record %h/Lectures/%%Y-%%m-%%d.mp3 "
            "--for 1h30m\n"
            "  lecture.timer:    [Timer]\n"
            "                    OnCalendar=Mon 10:00\n"
            "                    [Install]\n"
            "                    WantedBy=timers.target\n";
    text +=
        // TRANSLATORS: %s is a command that starts the timer above.
        wxString::Format(_("  then: %s"), "systemctl --user enable --now lecture.timer") + "\n\n";
    // xgettext:no-c-format
    // TRANSLATORS: in --help, above a crontab line; "%" and "\%" are written as they are typed.
    text += _("The same with cron (crontab -e; % must be written \\%):") + "\n";
    text += "  0 10 * * 1  vestrel --quiet --record ~/Lectures/\\%Y-\\%m-\\%d.mp3 --for 1h30m\n\n";
    // TRANSLATORS: a paragraph of --help; keep its lines under 80 characters. FILE is the
    // name given to --record and stays as it is.
    text += _("While recording, a disk with room for less than ten minutes of the take is told\n"
              "once on standard error. A file replaced by the take goes to the Trash, or where\n"
              "there is none is kept as FILE~; the end says where. When a full disk lets no\n"
              "sound of the take be written, the earlier file is put back under its name.") +
            "\n\n";
    // TRANSLATORS: a paragraph of --help; keep its lines under 80 characters.
    text += _("Exit status: 0 the take is kept whole, 1 it ended by a fault (what was recorded is\n"
              "kept) or could not start, 2 a wrong command line.") +
            "\n";
    return text;
}

std::optional<int> RunWithoutWindow(const wxCmdLineParser& parser) {
    wxString value;
    if (parser.Found("list-devices")) {
        for (const char* name : {"record", "device", "bitrate", "for", "quiet"}) {
            if (parser.Found(name)) {
                const wxString text =
                    wxString::Format(_("--list-devices goes alone, not with --%s"), name);
                std::fprintf(stderr, "vestrel: %s\n", text.utf8_str().data());
                return 2;
            }
        }
        return ListDevices();
    }
    if (!parser.Found("record", &value)) {
        for (const char* name : {"device", "bitrate", "for", "quiet"}) {
            if (parser.Found(name)) {
                // TRANSLATORS: %s is an option's name without its dashes (device, for, ...).
                const wxString text = wxString::Format(_("--%s goes with --record"), name);
                std::fprintf(stderr, "vestrel: %s\n", text.utf8_str().data());
                return 2;
            }
        }
        return std::nullopt; // the window
    }
    RecordOptions o;
    o.file = value.utf8_string();
    if (parser.Found("device", &value)) {
        o.device = value.utf8_string();
    }
    if (parser.Found("bitrate", &value)) {
        o.bitrate = value.utf8_string();
    }
    if (parser.Found("for", &value)) {
        o.duration = value.utf8_string();
    }
    o.quiet = parser.Found("quiet");
    return RecordFromCommandLine(o);
}

} // namespace

std::optional<int> HandleCommandLine(int argc, char** argv) {
    if (argc <= 1) {
        return std::nullopt;
    }
    platform::LoadToolkitTranslations(); // the parser's own words
    static const wxCmdLineEntryDesc kOptions[] = {
        // The descriptions are translated by the parser (wxGetTranslation).
        {wxCMD_LINE_SWITCH, "h", "help", wxTRANSLATE("show this help and exit"),
         wxCMD_LINE_VAL_NONE, wxCMD_LINE_OPTION_HELP},
        {wxCMD_LINE_SWITCH, nullptr, "version", wxTRANSLATE("show the version and exit")},
        {wxCMD_LINE_OPTION, nullptr, "record",
         // xgettext:no-c-format
         // TRANSLATORS: --help's text for --record; FILE stays as it is, as do the pattern and
         // ".mp3".
         wxTRANSLATE("record to FILE without a window, until Ctrl+C or SIGTERM (FILE may hold "
                     "strftime patterns such as %Y-%m-%d-%H%M; a name not ending in .mp3 gets "
                     ".mp3 added)"),
         wxCMD_LINE_VAL_STRING, 0},
        {wxCMD_LINE_OPTION, nullptr, "device",
         wxTRANSLATE("with --record: the device as --list-devices shows it, or its source name "
                     "(default: the sound server's default source)"),
         wxCMD_LINE_VAL_STRING, 0},
        {wxCMD_LINE_OPTION, nullptr, "bitrate",
         wxTRANSLATE("with --record: the MP3 bit rate in kbit/s, one the window offers (default: "
                     "64)"),
         wxCMD_LINE_VAL_STRING, 0},
        {wxCMD_LINE_OPTION, nullptr, "for",
         // TRANSLATORS: --help's text for --for; DURATION and the examples stay as they are.
         wxTRANSLATE("with --record: stop after DURATION (90s, 45m, 1h30m, 90m or h:mm:ss such "
                     "as 1:30:00)"),
         wxCMD_LINE_VAL_STRING, 0},
        {wxCMD_LINE_SWITCH, nullptr, "quiet",
         wxTRANSLATE("with --record: print nothing but errors"), wxCMD_LINE_VAL_NONE, 0},
        {wxCMD_LINE_SWITCH, nullptr, "list-devices",
         wxTRANSLATE("list the input devices (* marks the default) and exit; goes alone"),
         wxCMD_LINE_VAL_NONE, 0},
        // GTK's own option, taken by the toolkit when the program starts.
        {wxCMD_LINE_OPTION, nullptr, "display", "X display to use", wxCMD_LINE_VAL_STRING,
         wxCMD_LINE_HIDDEN},
        {wxCMD_LINE_NONE},
    };
    // There is no application object yet: parse errors go to stderr directly.
    wxMessageOutputStderr toStderr;
    wxMessageOutput* const previous = wxMessageOutput::Set(&toStderr);
    wxCmdLineParser parser(kOptions, argc, argv);
    // TRANSLATORS: the first line of --help; %s is the program's name and version.
    parser.SetLogo(wxString::Format(_("%s: records from an input device to an MP3 file."),
                                    wxString::FromUTF8(VersionText())) +
                   "\n");
    parser.AddUsageText(RecordExamples());
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
    } else {
        status = RunWithoutWindow(parser);
    }
    wxMessageOutput::Set(previous);
    std::fflush(stdout);
    return status;
}

} // namespace app
