// Tells when the sound server's sources come and go (a USB microphone
// plugged in or out), on a connection of its own; when the server goes
// away (an update, a restart, a crash) it connects again by itself.
#pragma once

#include <functional>
#include <memory>

namespace wavein {

class DeviceWatcher {
  public:
    enum class Change {
        Sources,    // a source came or went
        ServerLost, // the connection to the server broke
        ServerBack, // connected again after a loss: every source may be new
    };

    // `onChange` runs on the watcher's own thread: it must only hand the
    // news on (CallAfter), never touch a window.
    explicit DeviceWatcher(std::function<void(Change)> onChange);
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // false when no server could be reached now; the watcher then keeps
    // trying, and reports the server as back when it comes.
    bool Start();

    // The first retry after a loss, and the longest wait between two: a
    // returning server is noticed within about a second, and a missing one
    // costs a connection attempt a second.
    static constexpr int kFirstRetryMs = 100;
    static constexpr int kLongestRetryMs = 1000;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace wavein
