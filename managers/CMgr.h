#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/CSyncEvent.h"
#include "core/WorkerThread.h"
#include "managers/IStatusListener.h"
#include "managers/ITimeNotificationListener.h"

class IMainPanel;

// The common base of every switchable device or service. A manager has an id, a status, a worker
// thread on which every change of its device runs, and status listeners. Changes are asked for
// with ForceStatus (any thread), carried out by ForceStatusChild on the worker thread, and read
// back by RefreshStatus, which logs the change and tells the listeners. A change can be limited
// in time: the phone's notification service then starts the program again when the time is up,
// and the manager puts the status it was given back.
class CMgr : public ITimeNotificationListener, public WorkerThread {
  public:
    // Manager ids; also the event-log source of each manager and the action codes of places.
    enum MgrId {
        MGR_WIFI = 0,
        MGR_BT = 1,
        MGR_SPEAKER = 2,
        MGR_PHONE = 3,
        MGR_CONNECTIONS = 4,
        MGR_BAND = 5,
        MGR_RIL = 6,
        MGR_CPU = 9,
        MGR_MESSAGE = 10,
        MGR_BEAM = 50,
        MGR_CALL_FORWARD = 51,
        MGR_BACKLIGHT = 52,
        MGR_GPS = 53,
    };
    static constexpr int kStatusNeverRead = -2;
    static constexpr int kStatusUnknown = -1;
    static constexpr int kStatusNoChange = 10;
    static constexpr int kCommandForceStatus = 0;
    static constexpr int kCodeRefresh = IStatusListener::kCodeRefresh;
    static constexpr int kFirstAlwaysEnabledId = 50;
    static constexpr uint32_t kLockWaitMs = 2000;  // real milliseconds
    static constexpr size_t kMgrConfigChars = 50;

    // The argument of a manager command: the requested status (or value) and a delay in seconds.
    class CPostArgumentMessage {
      public:
        CPostArgumentMessage(int status, int delaySeconds) : status(status), delaySeconds(delaySeconds) {}
        virtual ~CPostArgumentMessage() = default;
        int status;
        int delaySeconds;
    };

    explicit CMgr(int mgrId);
    ~CMgr() override;

    // ITimeNotificationListener: a notification with this manager's id ends its time limit.
    void TimeNotification(unsigned int id, long value, const SYSTEMTIME& time) override;

    // --- What a manager implements or may override -------------------------------------------
    // Threads: "caller" is whoever calls (the GUI thread, the schedule engine's worker, a control
    // request); "worker" is this manager's own worker thread. The destructor of a subclass must
    // leave nothing posted that uses its members: CMgr's destructor stops the worker (running the
    // commands still queued) only after the subclass part is gone, so a subclass whose commands
    // use its own members calls Stop() in its destructor first.

    // Caller (start-up, GUI thread), once, after construction: open the device, start listening
    // for its changes. Must not block for long; failures are logged, the status stays unknown.
    virtual void Initialize() = 0;
    // Non-zero when RefreshStatusChild reads the status itself, so that RefreshStatus tells the
    // listeners; zero when the device reports changes on its own (FireStatusChanged from there).
    virtual int IsRefreshSynchronus() = 0;
    // The manager's id (MgrId); constant for the object's life.
    virtual int GetMgrId() = 0;
    // Caller or worker: reads the status again (force 1: tell the listeners even when unchanged),
    // logs a change and, for synchronous managers, fires code kCodeRefresh. Does nothing while the
    // manager's switch in "mgr_config" is '0'.
    virtual void RefreshStatus(int force);
    // Inside RefreshStatus, under its lock: read the device and SetStatus() what was found
    // (kStatusUnknown when it cannot be read).
    virtual void RefreshStatusChild(int force) = 0;
    // Debug menu only: a self-check of the device; no result.
    virtual void Test() {}
    // Caller, any thread: asks for `status`, optionally for `timeLimitMinutes` (then
    // `restoreStatus` is put back when the time is up) after `delaySeconds`. Returns at once;
    // the change runs on the worker and GetHandleFinishOperation() is set when it is done. Refused
    // (finish set, last execution 0) unless the manager's switch is '2'.
    virtual void ForceStatus(int status, int timeLimitMinutes, int restoreStatus, int delaySeconds);
    // Worker: carries the change out on the device; SetLastExecution() tells whether it worked.
    virtual void ForceStatusChild(int status, int timeLimitMinutes) = 0;
    // Caller: the device's highest power (after a forced location); may do nothing.
    virtual void SetMaxPower() = 0;
    // Events the device reported since start; for the debug information.
    virtual int GetEventsReceived() { return _eventsReceived.load(); }
    // Caller or worker: a wake-up of the program in `minutes` that ends notification `id` with
    // `value` (replaces one already registered for the id); Ensure... registers it only when the
    // phone has none for this manager and value; Clear... removes it (-1: this manager's id).
    virtual void SetTimeLimitNotification(int id, int minutes, int value);
    virtual void EnsureTimeLimitNotification(int id, int minutes, int value);
    virtual void ClearTimeLimitNotification(int id);
    // Caller (GUI thread, from a wake-up line): the time limit is up, `value` is the status to put
    // back. The base does nothing.
    virtual void ProcessTimerNotification(int value);
    // Worker: any command but kCommandForceStatus, with the status of its argument (0 without);
    // then ...WithArgument with the argument itself (null without), which the base ignores. The
    // argument is owned by the caller (HandleCommand) and deleted after both returned.
    virtual void HandleCommandChild(int command, int value) = 0;
    virtual void HandleCommandChildWithArgument(int command, CPostArgumentMessage* message);
    // Any thread: the manager's and a status' display names, written into `name` and returned.
    virtual std::string& GetNameMgr(std::string& name);
    virtual std::string& GetNameStatus(int status, std::string& name);
    // Any thread: whether the device has this state, so that a change to it can be asked for.
    // Managers with a fixed set of states name theirs; by default any state of zero or more.
    virtual bool HasStatus(int status) { return status >= 0; }

    void HandleCommand(int command, void* argument) override;

    int GetStatus() const { return _status.load(); }
    void SetStatus(int status) { _status.store(status); }
    void AddStatusListener(IStatusListener* listener);
    // Returns once no other thread is still telling the listener of a change, so that the caller
    // may destroy it (a listener removing itself from within its call does not wait for itself).
    void RemoveStatusListener(IStatusListener* listener);
    void FireStatusChanged(int code);
    CSyncEvent& GetHandleFinishOperation() { return _finishOperation; }
    int GetLastExecution() const { return _lastExecution.load(); }
    uint32_t GetNotificationHandle() const { return _notification.load(); }

    static void AddMgr(CMgr* mgr);
    static CMgr* GetMgr(int id);
    static std::vector<CMgr*> GetMgrs();
    static void RefreshAll();
    static void ProcessTimerNotification(int id, int value);
    static void SendStatusToPlugin();
    static void MaxPower() {}
    // Notification id -> handle of the trigger registered for it (0 = none); a copy.
    static std::map<int, uint32_t> GetMapMgrNotifi();
    static std::string GetMgrConfig();
    // Replaces the per-manager switches (the settings pages, and tests).
    static void SetMgrConfig(const std::string& config);

  protected:
    // The switch character of this manager: '0' off, '2' full control, other read only.
    char ConfigChar();
    // Hands this manager's status to the Today companion through the main window.
    virtual void NotifyTodayPluginOfStatus(IMainPanel& panel);
    void CountEvent() { ++_eventsReceived; }
    void SetLastExecution(int result) { _lastExecution.store(result); }

  private:
    // Takes `lock` within kLockWaitMs of real time; when that fails the application is asked to
    // restart (after a box in debug mode) and the lock comes back not owned: the caller (named
    // by `what` in the debug trace) skips its change.
    static std::unique_lock<std::mutex> TakeOrRestart(std::mutex& lock, const char* what);
    std::string LogText(const char* key, size_t buffer, const std::string& a, const std::string& b,
                        const std::string& c = std::string());

    std::atomic<int> _timeLimit{0};
    std::atomic<int> _restoreStatus{0};
    std::vector<IStatusListener*> _listeners;
    std::atomic<int> _status{kStatusNeverRead};
    std::atomic<int> _eventsReceived{0};
    std::atomic<uint32_t> _notification{0};
    std::mutex _listenerLock;
    // The threads delivering a change to the listeners right now, and their end (under
    // _listenerLock).
    std::vector<std::thread::id> _delivering;
    std::condition_variable _deliveryEnded;
    static constexpr std::chrono::seconds kDeliveryWait{5};
    const int _mgrId;
    CSyncEvent _finishOperation{true};
    std::atomic<int> _lastExecution{0};
    std::mutex _refreshLock;  // one refresh at a time: old and new status belong together

    static std::mutex _hmuMgr;
    static std::vector<CMgr*> _vMgrs;
    static std::mutex _mapLock;
    static std::map<int, uint32_t> _mapMgrNotifi;
    static std::mutex _muNotitif;
    static std::mutex _configLock;
    static char _szMgrConfig[kMgrConfigChars];
};
