#include "recorder/TakeSync.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

double Now(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        return false;
    }
    const bool ok = ::fsync(dir) == 0;
    const int err = errno;
    ::close(dir);
    errno = err;
    return ok;
}

} // namespace

void TakeSync::Begin(int fd, const std::string& fileName) {
    m_fd = fd;
    const auto slash = fileName.rfind('/');
    m_folder = slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
    m_figures = SyncFigures{};
}

bool TakeSync::Sync() {
    if (m_fd < 0) {
        return true;
    }
    const double wall0 = Now(CLOCK_MONOTONIC);
    const double cpu0 = Now(CLOCK_THREAD_CPUTIME_ID);
    bool ok = ::fdatasync(m_fd) == 0;
    ++m_figures.syncs;
    if (ok && !m_figures.folderSynced) {
        // A file synced into a folder whose entry for it never reached the
        // disk is lost with the folder's next state.
        ok = SyncFolder(m_folder);
        m_figures.folderSynced = ok;
    }
    const int err = errno;
    const double wall = Now(CLOCK_MONOTONIC) - wall0;
    m_figures.wallSeconds += wall;
    m_figures.cpuSeconds += Now(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    m_figures.worstSeconds = std::max(m_figures.worstSeconds, wall);
    errno = err;
    return ok;
}
