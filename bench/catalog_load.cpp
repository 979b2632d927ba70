// What choosing a language and loading its catalogs adds to the start:
// each sample is a fresh process that sets the translations up and
// translates one text, timed from before to after; then the toolkit's
// catalog, which is loaded once the window is up, timed on its own.
//   catalog_load [RUNS]   (the locales named below must exist)
#include "platform/Translate.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long CpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000000L + t.tv_nsec / 1000;
}

struct Sample {
    long wall = -1; // microseconds
    long cpu = -1;  // microseconds of processor time: what a loaded machine hides
    long toolkit = -1; // the toolkit's catalog, loaded later (wall, microseconds)
};

Sample OneRun(const char* lang) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("LANG", lang, 1);
        unsetenv("LANGUAGE");
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        const auto t0 = std::chrono::steady_clock::now();
        const long c0 = CpuMicroseconds();
        Sample s;
        {
            const platform::Translations translations;
            volatile const char* text = platform::Tr("The sound server is back.");
            (void)text;
            s.cpu = CpuMicroseconds() - c0;
            s.wall = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                           std::chrono::steady_clock::now() - t0)
                                           .count());
            const auto t1 = std::chrono::steady_clock::now();
            platform::LoadToolkitTranslations();
            s.toolkit = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now() - t1)
                                              .count());
        }
        (void)!write(fds[1], &s, sizeof s);
        _exit(0);
    }
    close(fds[1]);
    Sample s;
    if (read(fds[0], &s, sizeof s) != sizeof s) {
        s = {};
    }
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
    for (const char* lang : {"C.UTF-8", "de_DE.UTF-8", "ja_JP.UTF-8", "ar_EG.UTF-8"}) {
        std::vector<long> wall;
        std::vector<long> cpu;
        std::vector<long> toolkit;
        for (int i = 0; i < runs; ++i) {
            const Sample s = OneRun(lang);
            wall.push_back(s.wall);
            cpu.push_back(s.cpu);
            toolkit.push_back(s.toolkit);
        }
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        std::sort(toolkit.begin(), toolkit.end());
        std::printf("catalog_load LANG=%s wall median_us=%ld worst_us=%ld cpu median_us=%ld "
                    "(later, the toolkit's catalog: median_us=%ld)\n",
                    lang, wall[wall.size() / 2], wall.back(), cpu[cpu.size() / 2],
                    toolkit[toolkit.size() / 2]);
    }
    return 0;
}
