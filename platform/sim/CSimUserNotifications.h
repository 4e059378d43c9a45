#pragma once

#include <filesystem>
#include <memory>

#include "platform/CHome.h"
#include "platform/IClock.h"
#include "platform/IUserNotifications.h"

namespace platform::sim {

// The notification database of the simulated phone, kept in a SQLite file of the home so that
// every process of that home sees the same pending triggers.
// A hosting instance (the running program) watches the triggers on a thread of its own: when the
// phone clock reaches a trigger's start time (also by a jump of the clock), the trigger is removed
// and its application is started as a new, detached process with the trigger's arguments as its
// only argument (none when empty). A trigger is fired exactly once even when several processes
// watch the same home. When a hosting instance ends with triggers still pending, it starts a
// detached runner (`zentrova-device --home H notifications run`, next to the running executable)
// that fires them.
class CSimUserNotifications : public IUserNotifications {
  public:
    CSimUserNotifications(const CHome& home, IClock& clock, bool hostTriggers);
    ~CSimUserNotifications() override;

    uint32_t setUserNotification(const UserNotificationTrigger& trigger) override;
    bool clearUserNotification(uint32_t handle) override;
    std::vector<uint32_t> getUserNotificationHandles() override;
    bool getUserNotification(uint32_t handle, UserNotificationTrigger& out) override;

    // Fires every trigger whose start time has come; returns how many were fired.
    int fireDue();
    // The detached runner's loop: fires triggers as they come due and returns when none is
    // pending or when a hosting program of this home runs (it then takes over).
    void runUntilIdle();
    // For a hosting process about to end without its destructors: stops watching (so that no
    // trigger is left half fired) and starts the detached runner when triggers are pending.
    // Nothing to do for an instance that does not host.
    void handOffPending() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

}  // namespace platform::sim
