#include "platform/Spawn.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

extern char** environ;

namespace platform {
namespace {

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int get() const { return fd_; }
    void reset(int fd) {
        Close();
        fd_ = fd;
    }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

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

} // namespace

ProcessResult RunAndCollect(const std::vector<std::string>& args) {
    ProcessResult result;
    if (args.empty()) {
        result.startError = EINVAL;
        return result;
    }
    // Standard error goes to an unnamed file rather than a pipe: a child
    // that outlives this process must not die of SIGPIPE.
    Fd errFile(open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (errFile.get() < 0) {
        char name[] = "/tmp/vestrel-stderr-XXXXXX";
        errFile.reset(mkostemp(name, O_CLOEXEC));
        if (errFile.get() >= 0) {
            unlink(name);
        }
    }

    FileActions fa;
    posix_spawn_file_actions_addopen(fa.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(fa.get(), 1, "/dev/null", O_WRONLY, 0);
    if (errFile.get() >= 0) {
        posix_spawn_file_actions_adddup2(fa.get(), errFile.get(), 2);
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
    if (rc != 0) {
        result.startError = rc;
        return result;
    }
    result.started = true;

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return result;
        }
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitStatus = 128 + WTERMSIG(status);
    }

    // Keep the tail of the error output; ffmpeg can be chatty.
    if (errFile.get() >= 0) {
        constexpr off_t kKeep = 64 * 1024;
        const off_t size = lseek(errFile.get(), 0, SEEK_END);
        off_t from = size > kKeep ? size - kKeep : 0;
        std::array<char, 8192> buf{};
        for (;;) {
            const ssize_t n = pread(errFile.get(), buf.data(), buf.size(), from);
            if (n <= 0) {
                break;
            }
            result.errorOutput.append(buf.data(), static_cast<size_t>(n));
            from += n;
        }
    }
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
