// Runs a program as a child process from an argument vector: no shell,
// standard input from /dev/null, standard error kept for the user.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct ProcessResult {
    bool started = false;
    int startError = 0;      // errno when it could not be started
    int exitStatus = -1;     // exit code, or 128 + signal
    std::string errorOutput; // what the child wrote on standard error
};

// Runs argv[0] (looked up on PATH when it has no slash) and waits for it.
ProcessResult RunAndCollect(const std::vector<std::string>& argv);

// The last line of `text` that is not blank.
std::string LastLine(const std::string& text);

} // namespace platform
