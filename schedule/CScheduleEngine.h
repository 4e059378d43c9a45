#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/WorkerThread.h"
#include "managers/CStatusMgrCode.h"
#include "managers/IStatusListener.h"
#include "managers/ITimeNotificationListener.h"
#include "platform/SystemTime.h"
#include "schedule/CActionExecutor.h"
#include "store/CStrPeriod.h"
#include "store/CStrPlace.h"

class CDB;
class CRilMgr;
class CStrAction;

// Decides which place and which time frame are current, starts and ends frames at their times
// and runs their actions. Driven by the wake-ups it asks the phone's notification service for at
// frame boundaries, by the location engine's reports of a new serving cell or area, and by the
// user locking the phone on a place. Every start, end and evaluation runs on its worker thread,
// one after the other; the entry points of other threads only post commands or set flags.
//
// One instance, made on first use; the application destroys it before its managers.
class CScheduleEngine : public WorkerThread, public IStatusListener, public ITimeNotificationListener {
  public:
    static constexpr int kCommandStartPeriod = 0;
    static constexpr int kCommandEndPeriod = 1;
    static constexpr int kCommandStatusChanged = 2;
    // Work of another thread's entry point (a std::function<void()>), run in order with the rest.
    static constexpr int kCommandRun = 3;
    static constexpr int kLogSource = CActionExecutor::kLogSource;
    static constexpr int kUnknownLocation = 999999;
    static constexpr unsigned int kNotificationFrame = 7;
    static constexpr unsigned int kNotificationAlwaysOn = 8;
    static constexpr long kParamAlwaysOnChanged = 99;
    // Phone milliseconds.
    static constexpr uint32_t kPhoneSwitchingWaitMs = 3000;
    // Longest wait of a location report for the phone radio being switched (times the above).
    static constexpr int kBlockedWaits = 40;
    static constexpr int kMaxEarlyWaitSeconds = 30;
    static constexpr int kAlwaysOnLookAheadSeconds = 20;

    static CScheduleEngine* GetInstance();
    // Stops and deletes the instance (at exit, and between tests).
    static void DestroyInstance();
    ~CScheduleEngine() override;

    // Restores the lock and plans the always-on frames, on the worker thread. The wake-ups this
    // engine left pending in an earlier run are taken over, not added to.
    void Init();
    void HandleCommand(int command, void* argument) override;

    // IStatusListener: location reports of the location engine become status commands.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override;
    // ITimeNotificationListener: frame boundaries (7) and always-on frames (8).
    void TimeNotification(unsigned int id, long param, const SYSTEMTIME& time) override;

    // Frames.
    int GetFrame(int hour, int minute, int idPlace, bool inclusiveStart, int weekDay);
    int GetCurrentFrame(CStrPeriod& period);
    int GetCurrentFrame(CStrPeriod& period, int idPlace);
    int GetCurrentFrame(CStrPeriod& period, int idPlace, const SYSTEMTIME& time);
    int GetNextFrameFromNow(CStrPeriod& period, int idPlace);
    int GetNextFrame(CStrPeriod& period, int idPlace) { return GetNextFrameFromNow(period, idPlace); }
    int GetFirstFrame(CStrPeriod& period);
    int GetCurrentFrameAlwaysOn(CStrPeriod& period);
    int GetCurrentFrameAlwaysOn(CStrPeriod& period, const SYSTEMTIME& time);
    int GetNextFrameAlwaysOn(CStrPeriod& period, int seconds);
    void ExecutePeriodAlwaysOn(CStrPeriod& period);
    void ManageNextPeriodAlwaysOn();

    // Frame editing with the overlap rules.
    int AddSchedule(CStrPeriod& period);
    int EditSchedule(CStrPeriod& period);
    void OrderPeriods(std::vector<CStrPeriod>& periods);

    // Posts the end of the running frame.
    void EndPeriod();
    // The user changed places, frames, actions or associations: re-read and re-evaluate. The
    // calls below only post their work to the worker thread, which runs it in order.
    void ChangeInDB();
    void SetLockedPlace(const CStrPlace& place);
    void SetLockedMode(int locked);
    int GetLockedMode() const { return _lockedMode.load(); }
    CStrPlace GetLockedPlace() const;

    // Sets the wake-up of the next frame start (kind 1) or end (kind 0) at hour:minute today, or
    // tomorrow when that minute has come already. One wake-up per id: a newer one replaces the
    // older one, except that a start never replaces the end of the frame that is running.
    void SetPeriodNotification(int kind, int hour, int minute);
    void SetPeriodNotification(int kind, const SYSTEMTIME& time, bool alwaysOn);

    CStrPeriod GetCurrentPeriod() const;
    int GetCurrentLocation() const { return _currentLocation.load(); }
    void SetLocation(int location) { _currentLocation.store(location); }
    // The two texts of the next planned always-on change, for the main window.
    std::string GetNextExecutionResume() const;
    std::string GetNextExecutionDescription() const;
    int GetExecutions() const { return _executor->GetExecutions(); }
    // Status commands run (reports merged into one waiting command count once).
    int GetStatusReports() const { return _statusReports.load(); }

    // Runs the actions of a frame for a moment (0 start, 1 end) when the frame is enabled; on the
    // worker thread.
    void ExecuteActions(int moment, int periodKey);
    // Logs which frame runs; executes nothing.
    void ExecuteSchedule(const CStrPeriod& period, int moment);
    // Selects a Today theme at once (the settings dialogs try one with it).
    void SetTheme(const std::string& name);

    // key=value lines for zentrova-device app.
    std::string DescribeState() const;

  protected:
    CScheduleEngine();
    void StatusChangedAsync(int status, int mgrId, int code);
    // A report of the location engine that may move the phone to another place.
    void LocationReport(int status, CRilMgr& engine);
    int PlaceWithPhoneOff(CRilMgr* engine);

  private:
    CDB* Database();
    // Posts `work` to the worker thread (dropped, and logged, when the worker refuses it).
    void RunOnWorker(const char* what, std::function<void()> work);
    // The bodies of the entry points above, on the worker thread.
    void InitNow();
    void ChangeInDBNow();
    void LockOn(const CStrPlace& place, const CStrPeriod& period);
    void SetLockedModeNow(int locked);
    void AlwaysOnNotification(long param, const SYSTEMTIME& time);
    // Takes over this program's wake-ups of ids 7 and 8 left by an earlier run (one per id; the
    // others are removed).
    void AdoptPendingWakeUps();
    // The panel shows `place` and `frame` (empty texts clear them).
    void ShowPlaceAndFrame(const std::string& place, const std::string& frame);
    // Makes `period` current: completes its dates, sets the wake-up at its end, posts its start.
    void StartFrame(CStrPeriod period);
    // Sets the wake-up of the place's next frame start; false when the place has no frames.
    bool ScheduleNextFrame(int idPlace);
    // Ends the running frame (posts its end) when there is one.
    void EndRunningFrame();
    // The current frame of the place; when there is none, the wake-up of its next start.
    void StartCurrentFrameOrScheduleNext(int idPlace, bool onlyWhenDifferent);
    void SetConfig(const char* name, long value);
    void Log(int severity, const std::string& resume, const std::string& description);
    void SetCurrentPeriodKey(int key);
    void ClearNotification(unsigned int id);
    void UpdateWindowPlace(const CStrPlace& place, const CStrPeriod& period);

    static std::mutex _instanceLock;
    static std::unique_ptr<CScheduleEngine> _me;

    mutable std::mutex _stateLock;  // the fields below up to the atomics
    CStrPeriod _currentPeriod;
    SYSTEMTIME _storedNotificationTime{};
    CStrPlace _lockedPlace;
    std::string _nextResume;
    std::string _nextDescription;
    std::string _name = "CScheduleEngine";
    uint32_t _notifications[2] = {0, 0};   // pending wake-ups of ids 7 and 8
    int _notificationKinds[2] = {-1, -1};  // their kinds (1 start, 0 end, -1 none)
    std::mutex _wakeUpLock;                // a replacement of a wake-up (clear, then set) is one step

    std::atomic<int> _currentLocation{kUnknownLocation};
    std::atomic<bool> _newFramePending{false};
    std::atomic<bool> _frameEndPending{false};
    std::atomic<int> _lockedMode{0};
    std::atomic<bool> _lockedByAlwaysOn{false};  // the lock ends with the always-on frame
    std::unique_ptr<CActionExecutor> _executor;
    // The status reports waiting for their command, by code; a newer one merges into its entry.
    std::mutex _waitingStatusLock;
    std::map<int, CStatusMgrCode> _waitingStatus;
    std::atomic<int> _statusReports{0};
};
