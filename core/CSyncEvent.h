#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// An event that threads wait on: set, reset and wait with a time-out in phone milliseconds.
// An auto-reset event lets one waiter through per Set and is reset by that waiter; a manual-reset
// event stays set until Reset.
class CSyncEvent {
  public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFF;

    explicit CSyncEvent(bool autoReset, bool initiallySet = false)
        : _autoReset(autoReset), _set(initiallySet) {}

    void Set();
    void Reset();
    // True when the event was set within the time-out.
    bool Wait(uint32_t timeoutMs);
    bool IsSet() const;

  private:
    const bool _autoReset;
    mutable std::mutex _lock;
    std::condition_variable _changed;
    bool _set;
};
