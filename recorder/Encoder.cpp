#include "recorder/Encoder.h"

#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"
#include "platform/Translate.h"
#include "recorder/TakeSync.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

std::atomic<int> g_bEncoderLoaded{0};
EncoderEntryPoints g_encoder;
BE_CONFIG g_beConfig;
BE_DWORD g_dwChunkSamples = 0;
BE_DWORD g_dwMP3BufferSize = 0;
HBE_STREAM g_hbeStream = 0;
std::atomic<bool> g_bStreamOpen{false};
FilePtr g_outFile;
std::atomic<bool> g_bOutputIncomplete{false};

namespace {
std::mutex g_loadMutex;
std::string g_outFileName; // the name g_outFile was opened under
TakeSync g_takeSync;       // used on the recording thread once the take runs

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CannotCreateText(const std::string& fileName, int err) {
    // TRANSLATORS: the file's full path, then the system's reason, such as "Permission denied".
    return platform::Printf(platform::Tr("The file %s could not be created: %s."), fileName.c_str(),
                            std::strerror(err));
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Copies everything in the open file `from` into a new file `to`.
bool CopyOut(int from, const std::string& to, std::string& why) {
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        why = std::strerror(errno);
        return false;
    }
    std::vector<char> buf(256 * 1024);
    off_t at = 0;
    bool ok = true;
    for (;;) {
        const ssize_t n = pread(from, buf.data(), buf.size(), at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) {
            break;
        }
        at += n;
    }
    if (!ok) {
        why = std::strerror(errno);
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (!ok) {
        ::unlink(to.c_str());
    }
    return ok;
}

// The take of an unlinked file, saved from its open descriptor.
std::string Rescue(int fd, const std::string& fileName, std::string& why) {
    struct stat st {};
    const std::string folder = FolderOf(fileName);
    if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        const std::string to = Exists(fileName) ? RecoveredName(folder, fileName) : fileName;
        if (CopyOut(fd, to, why)) {
            return to;
        }
    }
    const std::string to = RecoveredName(platform::HomeDir(), fileName);
    return CopyOut(fd, to, why) ? to : std::string();
}

} // namespace

namespace {

// The process that holds the lock on `fileName` (see OpenOutputFile), as
// /proc/locks names it; 0 when it is not found.
pid_t LockHolder(const std::string& fileName) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0) {
        return 0;
    }
    std::unique_ptr<std::FILE, FileCloser> locks(std::fopen("/proc/locks", "re"));
    char line[256];
    while (locks && std::fgets(line, sizeof line, locks.get()) != nullptr) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; "1: -> ..." waits.
        char kind[16], mode[16], access[16];
        int pid = 0;
        unsigned maj = 0, min = 0;
        unsigned long long ino = 0;
        if (std::sscanf(line, "%*d: %15s %15s %15s %d %x:%x:%llu", kind, mode, access, &pid, &maj,
                        &min, &ino) == 7 &&
            std::strcmp(kind, "FLOCK") == 0 && ino == st.st_ino && maj == major(st.st_dev) &&
            min == minor(st.st_dev)) {
            return pid;
        }
    }
    return 0;
}

// Whether process `pid` is a command-line take (`vestrel --record`).
bool IsCommandLineTake(pid_t pid) {
    std::unique_ptr<std::FILE, FileCloser> in(
        std::fopen(("/proc/" + std::to_string(pid) + "/cmdline").c_str(), "re"));
    std::string args;
    char buf[4096];
    for (std::size_t n; in && (n = std::fread(buf, 1, sizeof buf, in.get())) > 0;) {
        args.append(buf, n);
    }
    // Each argument ends in a NUL; "--record FILE" or "--record=FILE".
    for (std::size_t at = 0; at < args.size(); at = args.find('\0', at) + 1) {
        const std::string arg = args.c_str() + at;
        if (arg == "--record" || arg.rfind("--record=", 0) == 0) {
            return true;
        }
        if (args.find('\0', at) == std::string::npos) {
            break;
        }
    }
    return false;
}

} // namespace

std::string BeingRecordedText(const std::string& fileName) {
    const pid_t holder = LockHolder(fileName);
    const std::string proc = "/proc/" + std::to_string(holder);
    char exe[4096] = {}, self[4096] = {};
    const bool known = holder != 0 &&
                       ::readlink((proc + "/exe").c_str(), exe, sizeof exe - 1) > 0 &&
                       ::readlink("/proc/self/exe", self, sizeof self - 1) > 0;
    if (known && std::strcmp(exe, self) != 0) {
        // Not this program: another one holds the file with the same lock.
        std::string name;
        std::unique_ptr<std::FILE, FileCloser> comm(std::fopen((proc + "/comm").c_str(), "re"));
        char buf[64] = {};
        if (comm && std::fgets(buf, sizeof buf, comm.get()) != nullptr) {
            name = buf;
            name.erase(name.find_last_not_of('\n') + 1);
        }
        return platform::Printf(
            // TRANSLATORS: the file's full path, the other program's name, its process number.
            platform::Tr("The file %s is in use by another program (%s, process "
                         "%d). Choose another output file."),
            fileName.c_str(), name.c_str(), static_cast<int>(holder));
    }
    if (known && IsCommandLineTake(holder)) {
        // TRANSLATORS: the file's full path, then the process number of the other recording.
        return platform::Printf(platform::Tr("The file %s is being recorded by another Vestrel "
                                             "(vestrel --record, process %d). Choose another "
                                             "output file."),
                                fileName.c_str(), static_cast<int>(holder));
    }
    if (known) {
        // TRANSLATORS: %s is the file's full path.
        return platform::Printf(platform::Tr("The file %s is being recorded by another Vestrel "
                                             "window. Choose another output file."),
                                fileName.c_str());
    }
    // TRANSLATORS: %s is the file's full path.
    return platform::Printf(platform::Tr("The file %s is being recorded by another Vestrel. Choose "
                                         "another output file."),
                            fileName.c_str());
}

bool IsBeingRecorded(const std::string& fileName) {
    // A recording holds its file with an exclusive lock (see OpenOutputFile);
    // a shared one is refused while it does.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

bool SyncOutputFile(std::string* error) {
    if (g_takeSync.Sync()) {
        return true;
    }
    if (error != nullptr) {
        // TRANSLATORS: why a recording stopped; %s is the system's reason, such as
        // "Input/output error".
        *error = platform::Printf(platform::Tr("the file could not be written to the disk (%s)"),
                                  std::strerror(errno));
    }
    return false;
}

bool OutputSpaceLeft(std::uint64_t* bytes) {
    struct statvfs fs {};
    if (g_takeSync.Fd() < 0 || fstatvfs(g_takeSync.Fd(), &fs) != 0) {
        return false;
    }
    *bytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
    return true;
}

SyncFigures OutputSyncFigures() {
    return g_takeSync.Figures();
}

std::string RecoveredName(const std::string& dir, const std::string& fileName) {
    std::string base = BaseName(fileName);
    std::string ext;
    const auto dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        ext = base.substr(dot);
        base.resize(dot);
    }
    std::string name = dir + "/" + base + " (recovered)" + ext;
    for (int n = 2; Exists(name); ++n) {
        name = dir + "/" + base + " (recovered " + std::to_string(n) + ")" + ext;
    }
    return name;
}

int LoadEncoder(std::string* error) {
    if (g_bEncoderLoaded.load() == 1) {
        return 1;
    }
    std::lock_guard<std::mutex> lk(g_loadMutex);
    if (g_bEncoderLoaded.load() == 1) {
        return 1;
    }
    platform::DynamicLibrary lib(kEncoderLibraryName);
    if (!lib.IsLoaded()) {
        if (error != nullptr) {
            *error =
                // TRANSLATORS: the library's file name, then the system's reason.
                platform::Printf(platform::Tr("The encoder library %s could not be loaded: %s"),
                                 kEncoderLibraryName, lib.Error().c_str());
        }
        return 0;
    }
    EncoderEntryPoints ep;
    ep.beInitStream = lib.Symbol<BEINITSTREAM>("beInitStream");
    ep.beEncodeChunk = lib.Symbol<BEENCODECHUNK>("beEncodeChunk");
    ep.beDeinitStream = lib.Symbol<BEDEINITSTREAM>("beDeinitStream");
    ep.beCloseStream = lib.Symbol<BECLOSESTREAM>("beCloseStream");
    ep.beVersion = lib.Symbol<BEVERSION>("beVersion");
    ep.beWriteVBRHeader = lib.Symbol<BEWRITEVBRHEADER>("beWriteVBRHeader");
    ep.beWriteInfoTag = lib.Symbol<BEWRITEINFOTAG>("beWriteInfoTag");

    const std::pair<const char*, bool> required[] = {
        {"beInitStream", ep.beInitStream != nullptr},
        {"beEncodeChunk", ep.beEncodeChunk != nullptr},
        {"beDeinitStream", ep.beDeinitStream != nullptr},
        {"beCloseStream", ep.beCloseStream != nullptr},
        {"beVersion", ep.beVersion != nullptr},
        {"beWriteVBRHeader", ep.beWriteVBRHeader != nullptr},
    };
    for (const auto& [name, present] : required) {
        if (!present) {
            if (error != nullptr) {
                *error = platform::Printf(
                    // TRANSLATORS: the library's file name, then a function's name in it.
                    platform::Tr("The encoder library %s is not usable: it lacks the entry point "
                                 "%s."),
                    kEncoderLibraryName, name);
            }
            return 0; // `lib` closes the library
        }
    }
    g_encoder = ep;
    lib.Release(); // stays loaded for the rest of the run
    g_bEncoderLoaded = 1;
    return 1;
}

void FillEncoderConfig(BE_CONFIG& cfg, unsigned bitrate) {
    std::memset(&cfg, 0, sizeof cfg);
    cfg.dwConfig = BE_CONFIG_LAME;
    auto& l = cfg.format.LHV1;
    l.dwStructVersion = 1;
    l.dwStructSize = sizeof(BE_CONFIG);
    l.dwSampleRate = 44100;
    l.dwReSampleRate = 0;
    l.nMode = BE_MP3_MODE_JSTEREO;
    l.dwBitrate = bitrate;
    l.dwMaxBitrate = 0;
    l.nPreset = LQP_CBR;
    l.dwMpegVersion = bitrate > 32U ? MPEG1 : MPEG2;
    l.bPrivate = 1;
    l.bCRC = 0;
    l.bCopyright = 1;
    l.bOriginal = 1;
    l.bNoRes = 1;
    // The first frame is kept for the Info tag written at Stop (see
    // CloseEncoderStream), where the library can write one.
    l.bWriteVBRHeader = g_encoder.beWriteInfoTag != nullptr ? 1 : 0;
}

int InitEncoderStream(unsigned bitrate, std::string* error) {
    if (LoadEncoder(error) == 0) {
        return 0;
    }
    g_dwChunkSamples = 0;
    g_dwMP3BufferSize = 0;
    g_hbeStream = 0;
    FillEncoderConfig(g_beConfig, bitrate);
    const BE_ERR rc =
        g_encoder.beInitStream(&g_beConfig, &g_dwChunkSamples, &g_dwMP3BufferSize, &g_hbeStream);
    if (rc != BE_ERR_SUCCESS) {
        if (error != nullptr) {
            // TRANSLATORS: the library's file name, the bit rate, the library's error number.
            *error = platform::Printf(platform::Tr("The encoder library %s could not start an MP3 "
                                                   "stream at %u kbit/s (error %ld)."),
                                      kEncoderLibraryName, bitrate, static_cast<long>(rc));
        }
        return 0;
    }
    g_bStreamOpen = true;
    return 1;
}

bool CheckOutputFile(const std::string& fileName, std::string* error) {
    auto refuse = [&](int err) {
        if (error != nullptr) {
            *error = CannotCreateText(fileName, err);
        }
        return false;
    };
    if (fileName.empty()) {
        return refuse(ENOENT);
    }
    struct stat st {};
    if (stat(fileName.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return refuse(EISDIR);
        }
        if (S_ISREG(st.st_mode) && IsBeingRecorded(fileName)) {
            if (error != nullptr) {
                *error = BeingRecordedText(fileName);
            }
            return false;
        }
        // Replacing it goes through the folder (the old one is moved away)
        // or, for a device, through the file itself.
        if (!S_ISREG(st.st_mode)) {
            return access(fileName.c_str(), W_OK) == 0 ? true : refuse(errno);
        }
    } else if (errno != ENOENT) {
        return refuse(errno);
    }
    const std::string folder = FolderOf(fileName);
    if (stat(folder.c_str(), &st) != 0) {
        return refuse(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return refuse(ENOTDIR);
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return refuse(errno);
    }
    return true;
}

bool OpenOutputFile(const std::string& fileName, std::string* error) {
    // Read-write: a take whose name is lost is copied out of it. Emptied
    // only once it is locked, so that a file another copy of the program
    // has just begun to record is left whole.
    const auto fail = [&](int err) {
        if (error != nullptr) {
            *error = CannotCreateText(fileName, err);
        }
        return false;
    };
    const int fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        return fail(errno);
    }
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // The lock lives as long as the open file: while the take is recorded.
    if (regular && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            if (error != nullptr) {
                *error = BeingRecordedText(fileName);
            }
            return false;
        }
        return fail(err);
    }
    if (regular && ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    g_outFile.reset(::fdopen(fd, "w+b"));
    if (g_outFile == nullptr) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    g_outFileName = fileName;
    g_bOutputIncomplete = false;
    g_takeSync.Begin(fileno(g_outFile.get()), fileName);
    return true;
}

int OpenEncoderStream(const std::string& fileName, unsigned bitrate, std::string* error) {
    if (InitEncoderStream(bitrate, error) == 0) {
        return 0;
    }
    if (!OpenOutputFile(fileName, error)) {
        CloseEncoderStream();
        return 0;
    }
    return 1;
}

bool CloseEncoderStream(std::string* error, std::string* keptAt, bool* rescued) {
    bool ok = true;
    std::string why;
    if (g_bStreamOpen) {
        // The encoder still holds up to a frame and a half: write it out so
        // the end of the take is in the file.
        std::vector<BE_BYTE> tail(16 * 1024);
        BE_DWORD n = 0;
        // (Not after a write failed: the file ends with the last whole second
        // written, and the tail does not follow it.)
        if (g_encoder.beDeinitStream(g_hbeStream, tail.data(), &n) == BE_ERR_SUCCESS && n > 0 &&
            g_outFile != nullptr && !g_bOutputIncomplete) {
            if (std::fwrite(tail.data(), 1, n, g_outFile.get()) != n) {
                ok = false;
                why = std::strerror(errno);
            }
        }
        if (g_outFile != nullptr && ok && std::fflush(g_outFile.get()) != 0) {
            ok = false;
            why = std::strerror(errno);
        }
        // The Info tag makes players show the exact length and play the take
        // gapless. It names every frame encoded: written only when they are
        // all in the file. Through /proc, the open file is the one tagged,
        // also once its name is gone.
        const bool whole = ok && g_outFile != nullptr && !g_bOutputIncomplete;
        if (whole && g_encoder.beWriteInfoTag != nullptr) {
            const std::string self = "/proc/self/fd/" + std::to_string(fileno(g_outFile.get()));
            g_encoder.beWriteInfoTag(g_hbeStream, self.c_str()); // closes the stream
        } else {
            g_encoder.beCloseStream(g_hbeStream);
        }
        g_bStreamOpen = false;
    }
    std::string kept;
    if (rescued != nullptr) {
        *rescued = false;
    }
    if (g_outFile != nullptr) {
        kept = g_outFileName;
        struct stat st {};
        if (std::fflush(g_outFile.get()) != 0 && ok) {
            ok = false;
            why = std::strerror(errno);
        }
        const bool named = fstat(fileno(g_outFile.get()), &st) != 0 || st.st_nlink > 0;
        if (named && !g_takeSync.Sync() && ok) {
            ok = false;
            why = std::strerror(errno);
        }
        g_takeSync.End();
        if (!named) {
            // Its name is gone: the open file is the only copy of the take.
            std::string rescueWhy;
            if (rescued != nullptr) {
                *rescued = true;
            }
            kept = Rescue(fileno(g_outFile.get()), g_outFileName, rescueWhy);
            if (kept.empty() && ok) {
                ok = false;
                // TRANSLATORS: why a recording stopped; %s is the system's reason.
                why = platform::Printf(platform::Tr("the take could not be saved anywhere (%s)"),
                                       rescueWhy.c_str());
            }
        }
        if (std::fclose(g_outFile.release()) != 0 && ok) {
            ok = false;
            why = std::strerror(errno);
        }
    }
    if (keptAt != nullptr) {
        *keptAt = kept;
    }
    if (!ok && error != nullptr) {
        // TRANSLATORS: why a recording stopped; %s is the reason, such as "No space left on
        // device".
        *error = platform::Printf(platform::Tr("the file could not be completed: %s"), why.c_str());
    }
    return ok;
}
