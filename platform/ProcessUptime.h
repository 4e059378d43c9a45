#pragma once

namespace platform {

// Milliseconds since the calling process started, as the kernel counts its start (in clock
// ticks, so to some ten milliseconds); -1 when it cannot be read.
long MillisecondsSinceProcessStart();
// The wall clock in microseconds since 1970: what a launcher compares with its own launch time
// for a start-up figure finer than the kernel's ticks.
long long WallClockMicroseconds();

}  // namespace platform
