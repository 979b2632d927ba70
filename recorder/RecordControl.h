// The recording engine: a take is started from a request and stopped, and
// the engine tells its front end (the main dialog, the command line) what
// happens through a RecordObserver. It knows no window.
#pragma once

#include <atomic>
#include <cstdint>
#include <pthread.h>
#include <string>

class wxString;

// 1 from Record until Stop. Written by the front end's thread only.
extern std::atomic<bool> g_bRecording;
// The running recording thread, 0 when there is none. The thread clears it
// once the device, the encoder stream and the file are closed.
extern std::atomic<pthread_t> g_hRecordThread;

// What a recording needs, read on the GUI thread before the thread starts.
struct RecordRequest {
    std::string fileName;
    unsigned bitrate = 128; // kbit/s
    int deviceId = -1;
};

// "%d Kbps"; 128 when the text doesn't begin with a number.
unsigned ParseBitrate(const wxString& text);

// Opens the encoder stream, the file and the device, then starts the
// recording thread. On failure nothing is left open, no thread runs and
// `error` says what went wrong.
bool StartRecording(const RecordRequest& req, std::string& error);

// Clears the flag and waits (100 ms polls) until the thread is done.
void StopRecording();

// The thread body: starts the device and keeps the recording going until
// the flag drops or the capture fails, then closes everything.
int RecordThreadProc();

// Polls for the stall of a silent source, in seconds.
constexpr double kStallSeconds = 5.0;

// Input under this level for this long is reported as silence.
constexpr double kSilenceDb = -50.0;
constexpr double kSilenceSeconds = 10.0;

// Free space for less than this much of the take is told once.
constexpr double kDiskWarnMinutes = 10.0;

// How a take ended, and what its file truly holds.
struct TakeEnd {
    std::string failure;     // why it ended by itself; "" after a Stop
    std::string fileName;    // the name it was recorded under
    std::string keptAt;      // where the take is ("" when it could not be saved)
    unsigned generation = 0; // the recording it is about (see IsCurrentTake)
    double seconds = 0;      // sound in the kept file, from its frames
    std::uint64_t bytes = 0; // the kept file's size
    // Where the file it replaced went: "the Trash", its new name beside it,
    // or "" when it replaced none.
    std::string earlier;
    // Nothing of the take could be written: its empty file is gone and the
    // earlier file is back under its own name.
    bool putBack = false;
};
// The last take's end, once the thread has closed everything.
TakeEnd LastTakeEnd();
// Whether `generation` is the recording started last: a report handled
// after a Stop and a new Record must leave the new recording running.
bool IsCurrentTake(unsigned generation);

// What the engine reports, on the recording thread; the front end moves
// it to its own thread.
class RecordObserver {
  public:
    virtual ~RecordObserver() = default;
    // The device has started.
    virtual void RecordingStarted() {}
    // Every 100 ms: the input's peak since the last report (0..32768, -1
    // when nothing came) and whether the input has stayed under
    // kSilenceDb for kSilenceSeconds (a pause is not silence).
    virtual void RecordingLevel(int /*peak*/, bool /*silent*/) {}
    // Once a take: the file system has room for less than
    // kDiskWarnMinutes of the take at its bit rate.
    virtual void DiskAlmostFull(double /*minutesLeft*/) {}
    // The device, the encoder stream and the file are closed.
    virtual void RecordingEnded(const TakeEnd& end) = 0;
};
// What the user is told, in the window's box or on the command line: that
// a take could not start (with StartRecording's `error`), and that a take
// ended by itself and where it is.
std::string StartFailureText(const std::string& error);
std::string TakeEndText(const TakeEnd& end);
// Where the file the take replaced is now ("" when it replaced none, or
// when it is back in its place).
std::string EarlierFileText(const TakeEnd& end);

// The one observer (nullptr for none). Returns once no call to the
// previous one is running.
void SetRecordObserver(RecordObserver* observer);
