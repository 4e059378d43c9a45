#pragma once

#include "platform/IUserNotifications.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the wake-ups over systemd user timers until that class joins the
// backend. Takes no wake-up (handle 0), lists none, clears none; the backend's unavailable lines
// name the service.
class CNotWiredNotifications : public IUserNotifications {
  public:
    uint32_t setUserNotification(const UserNotificationTrigger&) override { return 0; }
    bool clearUserNotification(uint32_t) override { return false; }
    std::vector<uint32_t> getUserNotificationHandles() override { return {}; }
    bool getUserNotification(uint32_t, UserNotificationTrigger&) override { return false; }
};

}  // namespace platform::lnx
