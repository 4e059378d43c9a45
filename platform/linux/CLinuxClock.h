#pragma once

#include <chrono>
#include <cstdint>

#include "platform/IClock.h"

namespace platform::lnx {

// The machine's own clock: local time from the system, the tick count from the monotonic clock,
// always at speed 1. The system owns it: the program never sets it (see setLocalMillis).
class CLinuxClock : public IClock {
  public:
    SYSTEMTIME localTime() override;
    int64_t localMillis() override;
    uint32_t tickCount() override;
    void sleep(uint32_t ms) override;
    std::chrono::nanoseconds realDuration(uint32_t ms) override;
    double speed() override { return 1.0; }

    // Refused: throws PlatformError saying that the system clock is set with the system's tools.
    [[noreturn]] void setLocalMillis(int64_t localMs);
    // Local milliseconds since 1970-01-01 00:00 of the local calendar at the real UTC instant
    // `utcMs`, in the machine's time zone.
    static int64_t localAt(int64_t utcMs);
};

}  // namespace platform::lnx
