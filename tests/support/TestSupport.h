// Helpers shared by the tests: running tools, reading audio back, feeding
// the test sources.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Runs argv and returns its standard output ("" when it fails to start).
std::string RunOutput(const std::vector<std::string>& argv, int* status = nullptr);

struct ProbeInfo {
    std::string formatName;
    std::string codec;
    int sampleRate = 0;
    int channels = 0;
    long bitRate = 0;       // the stream's, else the file's
    long formatBitRate = 0; // the file's: its size over its length
    double duration = 0;
};
ProbeInfo Probe(const std::string& file);

// Decodes to 16-bit mono at 44,100 Hz.
std::vector<std::int16_t> DecodeMono(const std::string& file);
// Frequency from zero crossings, and RMS level (0..1), of the middle part.
double ToneFrequency(const std::vector<std::int16_t>& s, int rate = 44100);
double RmsLevel(const std::vector<std::int16_t>& s);
// Seconds of sound (10 ms steps louder than -26 dB): what was fed, without
// the silence a clocked source (PipeWire) records before and after it.
double AudibleSeconds(const std::vector<std::int16_t>& s, int rate = 44100);

// Interleaved stereo sine, 16-bit, `seconds` long.
std::vector<std::uint8_t> Sine(double freq, double amplitude, double seconds);

// Writes PCM into a test source's FIFO from a thread, at real-time pace
// 0.3 s ahead of the clock (bytesPerSecond > 0), or as fast as the source
// takes it (0: at once on PulseAudio, at real-time pace on PipeWire, whose
// pipe sources are clocked). Stops at the end of the data, or when stopped.
class FifoWriter {
  public:
    FifoWriter(std::string fifo, std::vector<std::uint8_t> pcm, double bytesPerSecond,
               bool loop = false);
    ~FifoWriter();
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;
    void Stop();
    std::size_t Written() const { return written_; }
    // How far a paced writer keeps ahead of the clock.
    static constexpr double kLeadSeconds = 0.3;

  private:
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> written_{0};
    std::thread thread_;
};

// Hands `pcm` to the capture handler one second per buffer, the last one
// partly filled as at a Stop, the way the device does.
void EncodeThroughHandler(const std::vector<std::uint8_t>& pcm);
// A finished recording made through the real encoder from an 800 Hz tone;
// returns the file name, or "" when the encoder did not open.
std::string MakeRecording(const std::string& file, double seconds = 3.0, unsigned kbps = 128);

// Throws away what earlier writers left unread in the test sources' FIFOs,
// which would otherwise reach the next recording as stale audio. Call it
// before a recording starts.
void DrainTestSources();

// What the sound server and this process hold: recording streams open on
// the server, threads and open descriptors of this process.
int SourceOutputCount();
int ThreadCount();
int OpenFdCount();
// Makes server source `sourceName` the default one (pactl).
bool SetDefaultSource(const std::string& sourceName);
// Unloads the server module that made source `sourceName`; false when
// there is none.
bool UnloadSource(const std::string& sourceName);
// The whole content of a file ("" when it can't be read).
std::string FileText(const std::string& path);
void WriteText(const std::string& path, const std::string& content);

std::string Env(const char* name);
std::string TempDir(); // a fresh folder for one test
bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout,
             const std::function<void()>& pump = nullptr);
std::int64_t FileSize(const std::string& path);

} // namespace testsupport
