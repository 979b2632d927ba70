#include "platform/Paths.h"

#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#ifndef VESTREL_DATADIR
#define VESTREL_DATADIR "/usr/local/share/vestrel"
#endif

namespace platform {

std::string ExecutablePath() {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<size_t>(n) < buf.size()) {
            return std::string(buf.data(), static_cast<size_t>(n));
        }
        buf.resize(buf.size() * 2);
    }
}

std::string ExecutableDir() {
    const std::string exe = ExecutablePath();
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

std::string HomeDir() {
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0') {
        std::string home(h);
        while (home.size() > 1 && home.back() == '/') {
            home.pop_back();
        }
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/tmp";
}

std::string InstalledDataDir() {
    return std::string(VESTREL_DATADIR) + "/";
}

std::vector<std::string> DataDirs() {
    const std::string exe = ExecutableDir();
    return {exe, exe + "../share/vestrel/", InstalledDataDir()};
}

std::vector<std::string> IconDirs() {
    const std::string exe = ExecutableDir();
    return {exe + "icons/", exe + "../share/icons/hicolor/",
            InstalledDataDir() + "../icons/hicolor/"};
}

std::string FindIn(const std::vector<std::string>& dirs, const std::string& name) {
    for (const auto& d : dirs) {
        struct stat st {};
        if (stat((d + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            return d + name;
        }
    }
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) {
        return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool IsReadableFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return ok;
}

void FindSessionRuntimeDir() {
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr || std::getenv("PULSE_SERVER") != nullptr) {
        return;
    }
    const std::string dir = "/run/user/" + std::to_string(::getuid());
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) {
        ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
    }
}

} // namespace platform
