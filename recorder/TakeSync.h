// Makes a take survive a power cut: after each encoded second its data are
// synced to the disk, and the first time also its folder, so that the
// file's own entry is there. Runs on the recording thread, never on the
// capture path.
#pragma once

#include <string>

struct SyncFigures {
    unsigned syncs = 0;      // fdatasync calls (the folder's fsync is counted apart)
    double wallSeconds = 0;  // time spent in every sync, the folder's included
    double cpuSeconds = 0;   // CPU time of the syncing thread in them
    double worstSeconds = 0; // the longest single sync
    bool folderSynced = false;
};

class TakeSync {
  public:
    // Starts over for the open file `fd` named `fileName`.
    void Begin(int fd, const std::string& fileName);
    // Syncs the file's data (and, the first time, its folder). false, with
    // errno set, when the disk refused it.
    bool Sync();
    void End() { m_fd = -1; }
    int Fd() const { return m_fd; }
    const SyncFigures& Figures() const { return m_figures; }

  private:
    int m_fd = -1;
    std::string m_folder;
    SyncFigures m_figures;
};
