// Recording without a window: `vestrel --record FILE ...` and
// `vestrel --list-devices`, on the same engine as the window's Record/Stop.
// Runs before the toolkit starts and needs no display.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace app {

struct RecordOptions {
    std::string file; // may hold strftime patterns and a leading ~/
    std::optional<std::string> device;
    std::optional<std::string> bitrate;
    std::optional<std::string> duration;
    bool quiet = false;
};

// "90s", "45m", "1h30m", "2h", "h:mm:ss" in seconds; nothing
// when the text is none of these or comes to 0.
std::optional<long> ParseDuration(const std::string& text);

// `path` without its "." components and doubled slashes.
std::string TidyPath(const std::string& path);

// The file name for a take started at `now`: strftime patterns filled in,
// a leading ~/ made the home folder, a relative name made absolute and
// tidied, ".mp3" added to a name that does not end in it.
std::string TakeFileName(const std::string& pattern, std::time_t now);

// The bit rates the window's list offers, in kbit/s.
std::vector<unsigned> OfferedBitrates();

// Exit statuses: 0 the take was kept whole, 1 it ended by a fault or could
// not start, 2 a wrong command line.
int ListDevices();
int RecordFromCommandLine(const RecordOptions& options);

} // namespace app
