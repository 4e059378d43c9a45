#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/SystemTime.h"

namespace platform {

inline constexpr uint32_t CNT_TIME = 2;

// A time trigger of the notification database: at `start` the service starts `application`
// with `arguments` as its command line.
struct UserNotificationTrigger {
    uint32_t size = 52;
    uint32_t type = CNT_TIME;
    uint32_t event = 0;
    std::string application;  // full path of the executable
    std::string arguments;    // one command line; empty for none
    SYSTEMTIME start;
    SYSTEMTIME end;
};

class IUserNotifications {
  public:
    virtual ~IUserNotifications() = default;
    // Returns the new trigger's handle, 0 when it could not be registered.
    virtual uint32_t setUserNotification(const UserNotificationTrigger& trigger) = 0;
    // False when no trigger has that handle.
    virtual bool clearUserNotification(uint32_t handle) = 0;
    // Handles of the pending triggers, oldest first.
    virtual std::vector<uint32_t> getUserNotificationHandles() = 0;
    virtual bool getUserNotification(uint32_t handle, UserNotificationTrigger& out) = 0;
    // For a process about to end without its destructors (an abrupt restart): makes sure the
    // pending triggers still fire after it. Nothing to do for a service that outlives the process.
    virtual void handOffPending() {}
};

}  // namespace platform
