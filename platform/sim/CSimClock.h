#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>

#include "platform/IClock.h"

namespace platform::sim {

// The simulated phone's clock. Phone time = base + (real time since the base) x speed. The base
// and the speed live in a small file of the home, so every process of the same home (the
// program, zentrova-device) shares one clock: a change written by one is seen by the others
// within a few milliseconds. With no file the clock is the machine's local time at speed 1.
class CSimClock : public IClock {
  public:
    explicit CSimClock(std::filesystem::path stateFile);

    SYSTEMTIME localTime() override;
    int64_t localMillis() override;
    uint32_t tickCount() override;
    void sleep(uint32_t ms) override;
    std::chrono::nanoseconds realDuration(uint32_t ms) override;
    double speed() override;

    // Changes are written to the state file at once (atomically: temporary file and rename).
    // Throws PlatformError when the file cannot be written.
    void setSpeed(double factor);
    void setLocalMillis(int64_t localMs);
    void advance(int64_t ms);

    // Conversions between the local calendar and milliseconds since 1970-01-01 00:00 of it.
    static SYSTEMTIME fromMillis(int64_t localMs);
    static int64_t toMillis(const SYSTEMTIME& t);

  private:
    struct State {
        int64_t baseRealMs = 0;   // real UTC milliseconds at the base
        int64_t baseLocalMs = 0;  // phone local milliseconds at the base
        double speed = 1.0;
        bool fromFile = false;  // false: the machine's local time at speed 1
    };
    // What identifies one version of the state file; a rename gives a new inode, a rewrite a new
    // change time, so comparing all of them catches two writes within one timestamp tick.
    struct FileStamp {
        bool exists = false;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t mtimeNs = 0;
        int64_t ctimeNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    // The callers hold _lock.
    void reloadIfChanged(bool force);
    FileStamp currentStamp() const;
    void load();
    void write(const State& s);
    void adopt(const State& s);
    int64_t localAt(const State& s, int64_t realMs) const;
    double tickNow(std::chrono::steady_clock::time_point now) const;

    std::filesystem::path _file;
    std::mutex _lock;
    State _state;
    std::chrono::steady_clock::time_point _lastCheck{};
    bool _checkedOnce = false;
    FileStamp _stamp;
    bool _reportedCorrupt = false;
    // Tick count: accumulated phone milliseconds, independent of jumps of the calendar.
    std::chrono::steady_clock::time_point _tickBaseReal;
    double _tickBase = 0;
};

}  // namespace platform::sim
