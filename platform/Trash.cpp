#include "platform/Trash.h"

#include <gio/gio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace platform {
namespace {

struct GObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};

// A free name beside `path`: "path~", then "path~2", "path~3", ...
std::string FreeBackupName(const std::string& path) {
    std::string name = path + "~";
    struct stat st {};
    for (int n = 2; lstat(name.c_str(), &st) == 0; ++n) {
        name = path + "~" + std::to_string(n);
    }
    return name;
}

} // namespace

KeptFile KeepBeforeReplacing(const std::string& path) {
    KeptFile k;
    struct stat st {};
    // Only a file with something in it is worth keeping; anything else
    // (nothing there, a folder) is left for the caller's open to report.
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        k.ok = true;
        return k;
    }
    std::unique_ptr<GFile, GObjectUnref> file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    if (g_file_trash(file.get(), nullptr, &raw) != FALSE) {
        k.ok = true;
        k.trashed = true;
        k.keptAs = "the Trash";
        return k;
    }
    std::unique_ptr<GError, GErrorFree> err(raw);
    // No Trash on this file system: keep it under another name. rename()
    // never replaces the backup name, which is checked free just before.
    const std::string backup = FreeBackupName(path);
    if (std::rename(path.c_str(), backup.c_str()) == 0) {
        k.ok = true;
        k.keptAs = backup;
        return k;
    }
    k.error = std::string(std::strerror(errno));
    if (err != nullptr && err->message != nullptr) {
        k.error = std::string(err->message) + "; renaming it failed too: " + k.error;
    }
    return k;
}

} // namespace platform
