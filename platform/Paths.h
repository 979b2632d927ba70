// Where the program and the user's files are.
#pragma once

#include <string>

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
// True when both names refer to the same existing file.
bool SameFile(const std::string& a, const std::string& b);
// True when `path` is a regular file this process can read.
bool IsReadableFile(const std::string& path);

} // namespace platform
