#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CActionThreads;
class CMgr;
class CDB;
class CStrAction;
class CStrPeriod;
class CStrPlace;

// Runs the actions of one moment (0 start, 1 end) of a time frame: manager codes through their
// managers (with the action's delay), vibrate through the phone manager, open-file, theme and ring
// tone on short-lived threads, mail and SMS through the messaging manager; a code nothing of this
// program carries out is logged as not run, disabled actions as skipped, and the run ends with the
// summary line of the event log. Used by the schedule engine on its worker thread.
class CActionExecutor {
  public:
    static constexpr int kLogSource = 301;
    static constexpr int kActionVibrate = 11;
    static constexpr int kActionOpenFile = 12;
    static constexpr int kActionMail = 13;
    static constexpr int kActionSms = 14;
    static constexpr int kActionTheme = 15;
    static constexpr int kActionRingTone = 16;

    // Frame statistics, reported by the program at exit.
    static std::atomic<int> _StartPeriodExecuted;
    static std::atomic<float> _StartPeriodMajorTimeExecution;
    static std::atomic<float> _StartPeriodMinorTimeExecution;

    CActionExecutor();
    // Waits for the action threads still running.
    ~CActionExecutor();
    CActionExecutor(const CActionExecutor&) = delete;
    CActionExecutor& operator=(const CActionExecutor&) = delete;

    // Runs the actions of `period` (an enabled frame of `place`) for `moment`.
    void Run(CDB& db, const CStrPeriod& period, const CStrPlace& place, int moment);
    // Logs that the frame is disabled and runs nothing.
    static void LogSkippedFrame(const CStrPeriod& period);
    int GetExecutions() const { return _executions.load(); }

    // An entry of the schedule's event-log source, cut to the resume and description buffers.
    static void Log(int severity, const std::string& resume, const std::string& description);

  private:
    // A manager's action: the values it needs first (forwarding number, sound level), then the
    // wanted status with the action's delay.
    static void RunManagerAction(CMgr& mgr, const CStrAction& action);
    // The actions the engine carries out itself: threads for open file, theme and ring tone, mail and
    // SMS through the messaging manager; any other code is logged as not run.
    void RunSpecialAction(const CStrAction& action);
    static void LogNotRun(int code);
    static std::string MailProviderSetting();
    void RecordTime(float ms);

    std::atomic<int> _executions{0};
    std::unique_ptr<CActionThreads> _threads;
};
