#include "platform/Trash.h"

#include "platform/Translate.h"

#include <gio/gio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The trash folders a file of `path`'s file system may have gone to: the
// home Trash, and the top of its mount's own ($topdir/.Trash/$uid,
// $topdir/.Trash-$uid).
std::vector<std::string> TrashDirs(const std::string& path) {
    std::vector<std::string> dirs{std::string(g_get_user_data_dir()) + "/Trash"};
    std::string top = path;
    struct stat st {};
    if (stat(path.substr(0, path.rfind('/') + 1).c_str(), &st) != 0) {
        return dirs;
    }
    const dev_t dev = st.st_dev;
    for (size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = top.rfind('/')) {
        const std::string up = top.substr(0, slash);
        struct stat ust {};
        if (stat(up.empty() ? "/" : up.c_str(), &ust) != 0 || ust.st_dev != dev) {
            break;
        }
        top = up;
    }
    const std::string uid = std::to_string(getuid());
    dirs.push_back(top + "/.Trash/" + uid);
    dirs.push_back(top + "/.Trash-" + uid);
    return dirs;
}

} // namespace

bool PutBack(const KeptFile& kept, const std::string& path) {
    if (!kept.ok || kept.keptAs.empty()) {
        return true;
    }
    if (!kept.trashed) {
        return std::rename(kept.keptAs.c_str(), path.c_str()) == 0;
    }
    // The Trash renames what it takes: the entry is the one that is still
    // the same file (a rename keeps its inode).
    for (const std::string& trash : TrashDirs(path)) {
        const std::string files = trash + "/files";
        std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(files.c_str()), &closedir);
        if (!dir) {
            continue;
        }
        while (const dirent* e = readdir(dir.get())) {
            const std::string name = e->d_name;
            struct stat st {};
            if (lstat((files + "/" + name).c_str(), &st) != 0 || st.st_ino != kept.inode ||
                st.st_dev != kept.device) {
                continue;
            }
            if (std::rename((files + "/" + name).c_str(), path.c_str()) != 0) {
                return false;
            }
            std::remove((trash + "/info/" + name + ".trashinfo").c_str());
            return true;
        }
    }
    return false;
}

KeptFile KeepBeforeReplacing(const std::string& path) {
    KeptFile k;
    struct stat st {};
    // Only a file with something in it is worth keeping; anything else
    // (nothing there, a folder) is left for the caller's open to report.
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        k.ok = true;
        return k;
    }
    k.device = st.st_dev;
    k.inode = st.st_ino;
    std::unique_ptr<GFile, GObjectUnref> file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    if (g_file_trash(file.get(), nullptr, &raw) != FALSE) {
        k.ok = true;
        k.trashed = true;
        k.keptAs = kInTrash;
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
        // TRANSLATORS: why a file could not be moved to the Trash, then why renaming it
        // failed, such as "Permission denied".
        k.error = Printf(Tr("%s; renaming it failed too: %s"), err->message, k.error.c_str());
    }
    return k;
}

} // namespace platform
