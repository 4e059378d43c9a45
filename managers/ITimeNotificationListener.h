#pragma once

#include "platform/SystemTime.h"

// Receives the timed notifications the phone's notification service delivers to the running
// program (forwarded by a second launch). Called on a thread of its own for each notification:
// implementations only post work to their own worker threads.
class ITimeNotificationListener {
  public:
    virtual ~ITimeNotificationListener() = default;
    virtual void TimeNotification(unsigned int id, long value, const SYSTEMTIME& time) = 0;
};
