// Replacing a user's file never destroys it: the old one goes to the
// desktop's Trash, or where there is none, beside itself under a new name.
#pragma once

#include <string>

namespace platform {

// KeptFile::keptAs of a file in the Trash.
constexpr const char* kInTrash = "the Trash";

struct KeptFile {
    bool ok = false;      // the old file is out of the way, and kept
    bool trashed = false; // in the Trash (else renamed beside itself)
    std::string keptAs;   // where it now is: the Trash, or the new name
    std::string error;    // why it could not be moved (ok == false)
    // The file itself, to find it again in the Trash.
    unsigned long long device = 0;
    unsigned long long inode = 0;
};

// Moves an existing, non-empty regular file `path` out of the way before
// it is replaced. Anything else needs nothing: ok with keptAs empty.
// Tries the freedesktop.org Trash (GIO) first; on a file system without
// one renames it to "path~" (or "path~2", ... when that is taken).
KeptFile KeepBeforeReplacing(const std::string& path);

// Puts a file kept by KeepBeforeReplacing back at `path` (which must be
// free): renamed back from its kept name, or moved out of the Trash with
// its entry there removed. True when it is back, or nothing was kept.
bool PutBack(const KeptFile& kept, const std::string& path);

} // namespace platform
