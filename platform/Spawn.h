// Runs a program as a child process from an argument vector: no shell,
// standard input from /dev/null, standard error kept for the user.
#pragma once

#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct ProcessResult {
    bool started = false;
    int startError = 0;      // errno when it could not be started
    int exitStatus = -1;     // exit code, or 128 + signal
    std::string errorOutput; // what the child wrote on standard error
    std::string output;      // its standard output, when it was kept
};

// One child process. Its standard output goes to /dev/null, or with
// `pipeOutput` into a pipe read through OutputFd(); standard error into
// an unnamed file. Signal() may be called from any thread until Wait()
// has returned: the child is never reaped before that, so its id cannot
// name another process meanwhile.
class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills and reaps a child that was not waited for.
    ~ChildProcess();

    // Starts argv[0] (looked up on PATH when it has no slash); false with
    // the reason in StartError() when it could not be started.
    bool Start(const std::vector<std::string>& argv, bool pipeOutput = false);
    int StartError() const { return startError_; }
    // The read end of the child's standard output (-1 without a pipe).
    int OutputFd() const { return out_; }
    // The first `max` bytes the child wrote on standard error so far.
    std::string ErrorHead(size_t max) const;
    // Sends `sig` unless the child has been reaped.
    void Signal(int sig);
    // Whether it has ended (it stays unreaped until Wait).
    bool Ended() const;
    // Waits for the end, reaps the child and collects its error output.
    ProcessResult Wait();

  private:
    void CloseFds();

    pid_t pid_ = -1;
    int startError_ = 0;
    int err_ = -1; // the unnamed file holding standard error
    int out_ = -1;
    mutable std::mutex lock_; // pid_ against reaping
};

// Runs argv[0] and waits for it; with `keepOutput` its standard output is
// collected too.
ProcessResult RunAndCollect(const std::vector<std::string>& argv, bool keepOutput = false);

// The last line of `text` that is not blank.
std::string LastLine(const std::string& text);

} // namespace platform
