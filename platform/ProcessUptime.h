#pragma once

namespace platform {

// Milliseconds since the calling process started, as the kernel counts its start (in clock
// ticks, so to some ten milliseconds); -1 when it cannot be read.
long MillisecondsSinceProcessStart();

}  // namespace platform
