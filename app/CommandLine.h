// The program's command line: --help, --version, and recording without a
// window (--record, --list-devices).
#pragma once

#include <optional>
#include <string>

namespace app {

// "Vestrel 1.0.0"
std::string VersionText();

// Handles the options that end the program before any window opens. Returns
// the exit status (0 for --help and --version, 2 for a wrong argument, with
// the usage on standard error), or nothing when the program starts as usual.
// Runs before the toolkit starts, so it works without a display.
std::optional<int> HandleCommandLine(int argc, char** argv);

} // namespace app
