// Where the program and the user's files are.
#pragma once

#include <string>
#include <vector>

#ifndef VESTREL_APP_ID
#define VESTREL_APP_ID "example.vestrel.Vestrel"
#endif

namespace platform {

// The desktop's id for the program: desktop file, metainfo and icon names.
constexpr const char* kAppId = VESTREL_APP_ID;

// Full path of the running executable (from /proc/self/exe).
std::string ExecutablePath();
// The executable's folder with a trailing '/'.
std::string ExecutableDir();
// The user's home folder, without a trailing '/'.
std::string HomeDir();
// Installed data folder (<prefix>/share/vestrel/), with a trailing '/'.
std::string InstalledDataDir();
// Where the program's data files are looked for, in order, each with a
// trailing '/': beside the executable, ../share/vestrel/ from it (an
// install to any prefix, also once moved), then the compiled-in prefix.
std::vector<std::string> DataDirs();
// The same for the hicolor icon theme folders (NxN/apps/vestrel.png).
std::vector<std::string> IconDirs();
// The first of `dirs` + `name` that exists; empty when none does.
std::string FindIn(const std::vector<std::string>& dirs, const std::string& name);
// True when both names refer to the same existing file.
bool SameFile(const std::string& a, const std::string& b);
// True when `path` is a regular file this process can read.
bool IsReadableFile(const std::string& path);

// Outside a desktop session (cron, a service) XDG_RUNTIME_DIR is unset and
// the sound server's socket is not found: it is set to the user's own
// /run/user/UID when that folder exists and is the user's.
void FindSessionRuntimeDir();

} // namespace platform
