#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/IClock.h"
#include "platform/IRegistry.h"
#include "platform/IUserNotifications.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// Wake-ups of the program through the user's service manager (org.freedesktop.systemd1 on the
// session bus). A trigger becomes a transient timer unit "zentrova-<handle>.timer" with a service
// unit of the same name that runs the trigger's application with its arguments as the only
// argument (none when empty). The timer elapses at the trigger's start time, wakes the machine
// where the manager may do so, and unloads itself once it has fired (RemainAfterElapse=no), so a
// fired trigger is no longer pending, as on the phone.
//
// The triggers themselves (application, arguments, times) are kept in the registry under
// HKEY_CURRENT_USER kIndexKey, one sub-key per handle, so that every process of the home sees the
// same list; an entry whose timer the manager no longer has (it fired, or someone stopped it) is
// dropped whenever the list is read and the manager could be asked. The service manager outlives
// the process: nothing needs handing off when it ends.
class CLinuxUserNotifications : public IUserNotifications {
  public:
    static constexpr const char* kService = "org.freedesktop.systemd1";
    static constexpr const char* kIndexKey = "Software\\Zentrova\\Linux\\Notifications";
    static constexpr const char* kUnitPrefix = "zentrova-";

    // The bus thread, the registry and the clock must outlive the object. Probes the manager
    // (about a second at most) to fill unavailableReason().
    CLinuxUserNotifications(CDBusThread& bus, IRegistry& registry, IClock& clock);

    uint32_t setUserNotification(const UserNotificationTrigger& trigger) override;
    bool clearUserNotification(uint32_t handle) override;
    std::vector<uint32_t> getUserNotificationHandles() override;
    bool getUserNotification(uint32_t handle, UserNotificationTrigger& out) override;

    // Empty while the service manager answers; else a line naming it and the bus's error.
    std::string unavailableReason() const;

    // "zentrova-<handle>.timer" / ".service".
    static std::string unitName(uint32_t handle, const char* suffix);
    // The handle of one of our unit names; nullopt for any other name.
    static std::optional<uint32_t> handleOfUnit(const std::string& unit);
    // A calendar expression of the manager for one local time, rounded up to the whole second
    // (a timer never fires before the trigger's time): "2026-12-10 20:00:01".
    static std::string calendarText(const SYSTEMTIME& time);
    // Milliseconds since 1970 on the local calendar; the inverse of the clock's local time.
    static int64_t localMillisOf(const SYSTEMTIME& time);

  private:
    // The timers of ours the manager has loaded and that can still fire; nullopt when it cannot
    // be asked (no manager, or a manager without a unit listing).
    std::optional<std::set<std::string>> pendingTimers();
    // The entries of the registry, by handle, after dropping those whose timer is gone.
    std::map<uint32_t, UserNotificationTrigger> entries();
    bool readEntry(uint32_t handle, UserNotificationTrigger& out);
    bool writeEntry(uint32_t handle, const UserNotificationTrigger& trigger);
    void dropEntry(uint32_t handle);
    uint32_t nextHandle();
    // Starts the timer and its service; empty on success, else the bus error's name and text.
    std::string startUnits(uint32_t handle, const UserNotificationTrigger& trigger, bool wake,
                           std::string& errorName);
    // Waits briefly for the new timer to settle; true when the manager reports it failed.
    bool timerFailed(uint32_t handle);
    QDBusMessage manager(const QString& member, const QList<QVariant>& arguments = {}, int timeoutMs = 5000);

    CDBusThread& _bus;
    IRegistry& _registry;
    IClock& _clock;
    std::mutex _lock;  // one change of the index at a time in this process
    std::atomic<bool> _wakePermitted{true};
    mutable std::mutex _reasonLock;
    std::string _unavailable;
};

}  // namespace platform::lnx
