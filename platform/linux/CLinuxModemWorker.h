#pragma once

#include "platform/CCallbackThread.h"

namespace platform::lnx {

// The worker of the cellular classes: calls that must not run on the bus thread or on the caller's
// (blocking calls to the modem service, and the answers and notifications the managers receive,
// whose callbacks may call back into the service and wait for it) run on it in the order they were
// posted. It is the shared callback thread without a clock.
using CLinuxModemWorker = platform::CCallbackThread;

}  // namespace platform::lnx
