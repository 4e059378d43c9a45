#pragma once

#include <cstdint>

#include "platform/SystemTime.h"

namespace platform {

// Milliseconds from 1970-01-01 00:00:00 to `time`, both read as the same local calendar (no zone
// is applied); negative before 1970. The day of the week is ignored.
int64_t SystemTimeToMillis(const SYSTEMTIME& time);

}  // namespace platform
