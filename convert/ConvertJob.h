// Convert and Save's job: runs ffmpeg on the recorded file on a worker
// thread, keeps its progress where any thread can read it, and reports the
// outcome. It knows no window: whoever starts it decides what to show.
#pragma once

#include "platform/Spawn.h"
#include "platform/Trash.h"

#include <wx/string.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ConvertJob {
    wxString commandLine;          // the words as text: what messages show
    std::vector<std::string> argv; // the same words, as they are run
    std::string target;
    std::string format;   // "mp3", "wav", ...
    std::string bitrate;  // as chosen, "128k"
    std::string lookedIn; // where the converter was searched, for messages
    wxString keptNote;    // where the file the target replaced went, if any
    platform::KeptFile kept;
};

// "<dir>ffmpeg" -i "<recorded>" -b:a <rate>[ -acodec wmav2] "<target>"
wxString BuildCommandLine(const wxString& converterDir, const wxString& recorded,
                          const wxString& bitrate, const wxString& format, const wxString& target);
// The program to run: `converterDir` + "ffmpeg" when a folder is set;
// else ffmpeg beside the executable, else "ffmpeg" looked up on PATH.
std::string FindConverter(const wxString& converterDir, std::string* lookedIn);
ConvertJob MakeConvertJob(const wxString& converterDir, const wxString& recorded,
                          const wxString& bitrate, const wxString& format, const wxString& target);

// The job's words with ffmpeg's progress report on its standard output
// (`-progress pipe:1`), a few times a second.
std::vector<std::string> ArgsWithProgress(const ConvertJob& job);
// Runs the converter and waits for it.
platform::ProcessResult RunAndWait(const ConvertJob& job);

// What the completion box says first; true when the conversion succeeded.
bool DescribeOutcome(const ConvertJob& job, const platform::ProcessResult& r, wxString& text);

// What a written file holds, from ffmpeg's own report: the codec from its
// description of the output (`errorOutput`), the length its progress
// reached, the size on disk, and the bit rate they give (as a file
// manager's properties would: size over length, container included).
struct WrittenFile {
    std::string codec; // "AAC", "MP3", "PCM", ...
    long bitRate = 0;  // bits per second; 0 when unknown
    double seconds = -1;
    long long bytes = -1;
};
WrittenFile DescribeWritten(const std::string& target, const std::string& errorOutput,
                            double seconds);
// Why the chosen rate was not what was written, or "" when it was (near
// enough): "mp3 goes up to 320k", "wav is uncompressed: the bit rate does
// not apply", "aac gave 263k of the 512k chosen: ...".
std::string RateNote(const std::string& format, const std::string& chosen, long written);

struct ConvertOutcome {
    enum class Kind { Converted, Failed, Cancelled };
    Kind kind = Kind::Failed;
    wxString text;     // the first part of the box: "Converted and Saved" or why it failed
    WrittenFile file;  // Converted: what the target holds
    std::string note;  // Converted: RateNote
    wxString keptNote; // where the file the target replaced went
    std::string target;
    bool restored = false; // Cancelled: the replaced file is back
};

// One running conversion. The worker reads ffmpeg's progress report;
// Position() and Length() may be read from any thread at any time.
class ConvertRun {
  public:
    using Finished = std::function<void(const ConvertOutcome&)>;
    static constexpr std::chrono::milliseconds kKillAfter{2000};

    // Starts `job` on a worker thread; `finished` is called there, once,
    // at the end.
    ConvertRun(ConvertJob job, Finished finished);
    // Cancels a job still running and waits for its end.
    ~ConvertRun();
    ConvertRun(const ConvertRun&) = delete;
    ConvertRun& operator=(const ConvertRun&) = delete;

    // Ends ffmpeg (SIGTERM, SIGKILL after kKillAfter); the worker then
    // removes the partial target, puts the replaced file back and reports
    // Cancelled. From any thread; returns at once.
    void Cancel();
    // Waits for the worker's end (the outcome has been reported).
    void Wait();
    bool Done() const { return done_; }

    // Seconds converted so far and the take's length (< 0: not known yet).
    double Position() const { return position_; }
    double Length() const { return length_; }

  private:
    void Work();
    void ReadProgress(platform::ChildProcess& child);
    ConvertOutcome Conclude(const platform::ProcessResult& r);

    ConvertJob job_;
    Finished finished_;
    std::atomic<double> position_{0};
    std::atomic<double> length_{-1};
    double written_ = -1; // the last position ffmpeg reported (worker only)
    std::atomic<bool> done_{false};
    std::mutex lock_; // child_ and cancelAt_
    platform::ChildProcess* child_ = nullptr;
    bool cancelled_ = false;
    std::chrono::steady_clock::time_point cancelAt_{};
    std::thread worker_;
};
