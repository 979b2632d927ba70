#include "platform/Spawn.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

extern char** environ;

namespace platform {
namespace {

class FileActions {
  public:
    FileActions() { posix_spawn_file_actions_init(&fa_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&fa_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &fa_; }

  private:
    posix_spawn_file_actions_t fa_{};
};

int UnnamedFile() {
    int fd = open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        char name[] = "/tmp/vestrel-stderr-XXXXXX";
        fd = mkostemp(name, O_CLOEXEC);
        if (fd >= 0) {
            unlink(name);
        }
    }
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        Signal(SIGKILL);
        Wait();
    }
    CloseFds();
}

void ChildProcess::CloseFds() {
    CloseFd(err_);
    CloseFd(out_);
}

bool ChildProcess::Start(const std::vector<std::string>& args, bool pipeOutput) {
    if (args.empty()) {
        startError_ = EINVAL;
        return false;
    }
    // Standard error goes to an unnamed file rather than a pipe: a child
    // that outlives this process must not die of SIGPIPE.
    err_ = UnnamedFile();
    int pipeFds[2] = {-1, -1};
    if (pipeOutput && pipe2(pipeFds, O_CLOEXEC) != 0) {
        startError_ = errno;
        CloseFds();
        return false;
    }
    out_ = pipeFds[0];

    FileActions fa;
    posix_spawn_file_actions_addopen(fa.get(), 0, "/dev/null", O_RDONLY, 0);
    if (pipeFds[1] >= 0) {
        posix_spawn_file_actions_adddup2(fa.get(), pipeFds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(fa.get(), 1, "/dev/null", O_WRONLY, 0);
    }
    if (err_ >= 0) {
        posix_spawn_file_actions_adddup2(fa.get(), err_, 2);
    } else {
        posix_spawn_file_actions_addopen(fa.get(), 2, "/dev/null", O_WRONLY, 0);
    }
    // Nothing else of ours reaches the child: not the sound server's or the
    // display's sockets, not the web panel's, nor any file a library opened
    // without close-on-exec. A child that outlives the program holds none.
    posix_spawn_file_actions_addclosefrom_np(fa.get(), 3);

    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], fa.get(), nullptr, argv.data(), environ);
    CloseFd(pipeFds[1]); // the child's end: EOF once the child is gone
    if (rc != 0) {
        startError_ = rc;
        CloseFds();
        return false;
    }
    const std::lock_guard<std::mutex> hold(lock_);
    pid_ = pid;
    return true;
}

std::string ChildProcess::ErrorHead(size_t max) const {
    std::string head(max, '\0');
    const ssize_t n = err_ >= 0 ? pread(err_, head.data(), max, 0) : 0;
    head.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return head;
}

void ChildProcess::Signal(int sig) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (pid_ > 0) {
        ::kill(pid_, sig);
    }
}

bool ChildProcess::Ended() const {
    const std::lock_guard<std::mutex> hold(lock_);
    if (pid_ <= 0) {
        return true;
    }
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid_;
}

ProcessResult ChildProcess::Wait() {
    ProcessResult result;
    pid_t pid = 0;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        pid = pid_;
    }
    if (pid <= 0) {
        result.startError = startError_;
        return result;
    }
    result.started = true;
    // Waits without reaping, so that Signal() never meets a reused id.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    int status = 0;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitStatus = 128 + WTERMSIG(status);
    }

    // Keep the tail of the error output; ffmpeg can be chatty.
    if (err_ >= 0) {
        constexpr off_t kKeep = 64 * 1024;
        const off_t size = lseek(err_, 0, SEEK_END);
        off_t from = size > kKeep ? size - kKeep : 0;
        std::array<char, 8192> buf{};
        for (;;) {
            const ssize_t n = pread(err_, buf.data(), buf.size(), from);
            if (n <= 0) {
                break;
            }
            result.errorOutput.append(buf.data(), static_cast<size_t>(n));
            from += n;
        }
    }
    return result;
}

ProcessResult RunAndCollect(const std::vector<std::string>& args, bool keepOutput) {
    ChildProcess child;
    if (!child.Start(args, keepOutput)) {
        ProcessResult result;
        result.startError = child.StartError();
        return result;
    }
    std::string output;
    if (keepOutput) {
        std::array<char, 8192> buf{};
        for (;;) {
            const ssize_t n = read(child.OutputFd(), buf.data(), buf.size());
            if (n > 0) {
                output.append(buf.data(), static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
    }
    ProcessResult result = child.Wait();
    result.output = std::move(output);
    return result;
}

std::string LastLine(const std::string& text) {
    size_t end = text.size();
    while (end > 0) {
        while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' ' ||
                           text[end - 1] == '\t')) {
            --end;
        }
        if (end == 0) {
            break;
        }
        size_t start = text.find_last_of("\r\n", end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        return text.substr(start, end - start);
    }
    return {};
}

} // namespace platform
