#pragma once

#include <chrono>
#include <cstdint>

#include "platform/SystemTime.h"

namespace platform {

// The phone's clock. Every time read, tick count and sleep of the system goes through it, so that
// the simulated phone can run its clock faster than real time or jump it.
class IClock {
  public:
    virtual ~IClock() = default;
    // Local time now.
    virtual SYSTEMTIME localTime() = 0;
    // Local time now in milliseconds since 1970-01-01 00:00:00 of the local calendar.
    virtual int64_t localMillis() = 0;
    // Milliseconds since an arbitrary origin; never jumps with a clock change, runs at the speed factor.
    virtual uint32_t tickCount() = 0;
    // Sleeps for `ms` milliseconds of the phone's time.
    virtual void sleep(uint32_t ms) = 0;
    // Real duration that `ms` milliseconds of phone time take now, for waits with a time-out.
    virtual std::chrono::nanoseconds realDuration(uint32_t ms) = 0;
    virtual double speed() = 0;
};

}  // namespace platform
