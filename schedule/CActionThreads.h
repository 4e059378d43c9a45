#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "store/CStrAction.h"

// The actions of a time frame that run on a short-lived thread of their own: open a file
// (code 12), select a Today theme (15) and set the ring tone (16). Each Start copies the action
// and hands the copy to a new thread, which waits the action's Delay (seconds of phone time),
// carries the action out, writes its event-log entry (source 301) and ends.
//
// The threads stay joinable: the owner (the schedule engine) can wait for them with a bound
// (WaitAll) and ends them with Finish or its destructor. Finish asks every thread to stop: a
// thread still waiting its delay drops its action, a theme selection stops looking for the panel,
// and all are joined, so no thread reaches the platform services after the owner is gone.
//
// Event-log entries: open file "EVENT_LOG_MGR_ACTION_OPEN_FILE_*" with the file (severity 2), or
// "EVENT_LOG_MGR_ACTION_OPEN_FILE_FAILED_*" with the file and the shell's error (severity 4);
// ring tone "EVENT_LOG_MGR_ACTION_RING_TONE_*" with the file, the script and the volume
// (severity 2), or "EVENT_LOG_MGR_ACTION_RING_TONE_FAILED_*" with the same and the error when the
// ring tone could not be set (severity 4); theme "EVENT_LOG_MGR_ACTION_THEME_*" with the name
// (severity 2), written before the panel is driven.
//
// Thread safety: every member may be called from any thread.
class CActionThreads {
  public:
    static constexpr int kCodeOpenFile = 12;
    static constexpr int kCodeTheme = 15;
    static constexpr int kCodeRingTone = 16;

    static constexpr const char* kOpenVerb = "Open";
    static constexpr const char* kRingScriptKey = "\\ControlPanel\\Sounds\\RingTone0";
    static constexpr const char* kRingScriptValue = "Script";
    static constexpr const char* kRingVolumeKey = "\\ControlPanel\\SoundCategories\\Ring";
    static constexpr const char* kRingVolumeValue = "InitVol";
    static constexpr int kMinRingVolume = 1;
    static constexpr int kMaxRingVolume = 5;
    // The command that opens theme files names the Today panel's arguments.
    static constexpr const char* kThemeCommandKey = "\\tskfile\\Shell\\Open\\Command";
    static constexpr size_t kThemeCommandChars = 260;
    static constexpr const char* kThemePanelProgram = "ctlpnl.exe";
    static constexpr int kThemeListTries = 10;
    static constexpr uint32_t kThemeListPauseMs = 500;
    static constexpr uint32_t kClickMs = 100;  // between the press and the release of a click

    CActionThreads();
    // Finish.
    ~CActionThreads();
    CActionThreads(const CActionThreads&) = delete;
    CActionThreads& operator=(const CActionThreads&) = delete;

    // Each starts the action's thread with a copy of `action`. False when no thread was started
    // (after Finish, or when the system has no thread left).
    bool StartOpenFile(const CStrAction& action);
    bool StartTheme(const CStrAction& action);
    bool StartRingTone(const CStrAction& action);
    // The Start of the action's code; false for any other code.
    bool Start(const CStrAction& action);

    // Waits until every started thread has ended, at most `timeoutMs` of phone time. True when
    // none is left.
    bool WaitAll(uint32_t timeoutMs);
    // Asks every thread to stop and joins them all; later Starts are refused.
    void Finish();
    // Threads started and not yet ended.
    size_t GetRunningCount();

    // The Today theme selection for `name`, at once on the calling thread (no delay), with its
    // event-log entry. Takes up to kThemeListTries pauses while the panel comes up.
    static void SetTheme(const std::string& name);

    // The thread bodies, run on the calling thread. A stop request ends the delay early and then
    // the action is not carried out. They never throw.
    static void ThreadOpenFile(const CStrAction& action, std::stop_token stop = {});
    static void ThreadTheme(const CStrAction& action, std::stop_token stop = {});
    static void ThreadRingTone(const CStrAction& action, std::stop_token stop = {});

    // The arguments that follow the program name of a command line ("prog.exe a,b" gives "a,b";
    // a quoted program name may hold blanks). Empty when there are none.
    static std::string ArgumentsOf(const std::string& commandLine);

  private:
    using Body = void (*)(const CStrAction&, std::stop_token);
    struct Job {
        std::jthread thread;
        bool done = false;  // guarded by _lock
    };

    bool Launch(Body body, const CStrAction& action);
    // With _lock held: joins the threads that have ended and forgets them.
    void ReapLocked();

    std::mutex _lock;
    std::condition_variable _ended;
    std::list<std::unique_ptr<Job>> _jobs;
    bool _finished = false;
};
