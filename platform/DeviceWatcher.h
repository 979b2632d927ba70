// Tells when the sound server's sources come and go (a USB microphone
// plugged in or out), on a connection of its own.
#pragma once

#include <functional>
#include <memory>

namespace wavein {

class DeviceWatcher {
  public:
    // `onChange` runs on the watcher's own thread: it must only hand the
    // news on (CallAfter), never touch a window.
    explicit DeviceWatcher(std::function<void()> onChange);
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // false when no server could be reached; the list then stays as it is.
    bool Start();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace wavein
