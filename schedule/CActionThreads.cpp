#include "schedule/CActionThreads.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <system_error>
#include <vector>

#include "core/CLogEvent.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "platform/Services.h"

namespace {

constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;

// Sleeps `ms` of phone time in steps short enough to notice a stop request within about 50 ms of
// real time. False when a stop was asked for.
bool SleepUnlessStopped(uint64_t ms, const std::stop_token& stop) {
    platform::IClock& clock = platform::Services::get().clock();
    while (ms > 0) {
        if (stop.stop_requested()) {
            return false;
        }
        // 50 ms of real time is 50 x speed of phone time.
        uint64_t step = std::max<uint64_t>(10, static_cast<uint64_t>(clock.speed() * 50));
        step = std::min<uint64_t>({step, ms, UINT32_MAX});
        clock.sleep(static_cast<uint32_t>(step));
        ms -= step;
    }
    return !stop.stop_requested();
}

bool WaitDelay(const CStrAction& action, const std::stop_token& stop) {
    uint64_t seconds = action.GetDelay() > 0 ? static_cast<uint64_t>(action.GetDelay()) : 0;
    return SleepUnlessStopped(seconds * 1000, stop);
}

std::string Text(const char* key) {
    return CTextsMgr::GetInstance()->GetText(key);
}

void LogEntry(int severity, const std::string& resume, const std::string& description) {
    CLogMgr::Log(CLogEvent::SOURCE_SCHEDULE_ENGINE, severity, FitBuffer(resume, kResumeBuffer),
                 FitBuffer(description, kDescriptionBuffer));
}

// Runs a thread body so that nothing escapes the thread: a failure leaves a debug line.
template <typename Work>
void Guarded(const char* what, Work work) {
    try {
        work();
    } catch (const std::exception& e) {
        LogFormateado(1, "CActionThreads: %s: %s", what, e.what());
    } catch (...) {
        LogFormateado(1, "CActionThreads: %s: unknown failure", what);
    }
}

// Drives the Today panel to select `name`. Gives up silently when the theme command, the panel or
// its list cannot be found.
void SelectTheme(const std::string& name, const std::stop_token& stop) {
    platform::Services& services = platform::Services::get();
    std::string command;
    if (services.registry().getString(platform::RegRoot::ClassesRoot, CActionThreads::kThemeCommandKey, "",
                                      command) != platform::ERROR_SUCCESS ||
        CountChars(command) > CActionThreads::kThemeCommandChars) {
        return;
    }
    std::string arguments = CActionThreads::ArgumentsOf(command);
    if (arguments.empty()) {
        return;
    }
    platform::ITodayThemePanel& panel = services.todayThemePanel();
    if (panel.start(CActionThreads::kThemePanelProgram, arguments) != platform::ERROR_SUCCESS) {
        LogFormateado(1, "CActionThreads: the Today panel did not start with '%s'", arguments);
        return;
    }
    // The panel takes a moment to show its list.
    std::vector<std::string> items;
    bool found = false;
    for (int i = 0; i < CActionThreads::kThemeListTries && !found; ++i) {
        if (!SleepUnlessStopped(CActionThreads::kThemeListPauseMs, stop)) {
            break;
        }
        found = panel.findThemeList(items) == platform::ERROR_SUCCESS && !items.empty();
    }
    if (!found) {
        // Nothing was chosen: the panel goes without changing the theme.
        panel.close();
        return;
    }
    auto item = std::find(items.begin(), items.end(), name);
    if (item != items.end()) {
        size_t index = static_cast<size_t>(item - items.begin());
        if (panel.pressItem(index) == platform::ERROR_SUCCESS) {
            services.clock().sleep(CActionThreads::kClickMs);
            panel.releaseItem(index);
        }
    }
    // OK keeps the panel's selection: the chosen theme, or the current one when the name is not
    // listed.
    if (panel.pressOk() != platform::ERROR_SUCCESS) {
        panel.close();
    }
}

void LogTheme(const std::string& name) {
    LogEntry(CLogEvent::SEVERITY_INFO, SafeSprintf(Text("EVENT_LOG_MGR_ACTION_THEME_RESUME"), name),
             SafeSprintf(Text("EVENT_LOG_MGR_ACTION_THEME_DESCRIPTION"), name));
}

}  // namespace

CActionThreads::CActionThreads() = default;

CActionThreads::~CActionThreads() {
    Finish();
}

bool CActionThreads::StartOpenFile(const CStrAction& action) {
    return Launch(&CActionThreads::ThreadOpenFile, action);
}

bool CActionThreads::StartTheme(const CStrAction& action) {
    return Launch(&CActionThreads::ThreadTheme, action);
}

bool CActionThreads::StartRingTone(const CStrAction& action) {
    return Launch(&CActionThreads::ThreadRingTone, action);
}

bool CActionThreads::Start(const CStrAction& action) {
    switch (action.GetId()) {
        case kCodeOpenFile:
            return StartOpenFile(action);
        case kCodeTheme:
            return StartTheme(action);
        case kCodeRingTone:
            return StartRingTone(action);
        default:
            return false;
    }
}

bool CActionThreads::Launch(Body body, const CStrAction& action) {
    std::lock_guard lock(_lock);
    if (_finished) {
        return false;
    }
    ReapLocked();
    auto job = std::make_unique<Job>();
    Job* self = job.get();
    try {
        // The thread owns its copy of the action. It marks its job done under the lock, which is
        // held here until the job is listed, so the mark always finds it.
        job->thread = std::jthread([this, self, body, copy = action](std::stop_token stop) {
            body(copy, stop);
            std::lock_guard done(_lock);
            self->done = true;
            _ended.notify_all();
        });
    } catch (const std::system_error& e) {
        LogFormateado(1, "CActionThreads: no thread for action %d: %s", action.GetId(), e.what());
        return false;
    }
    _jobs.push_back(std::move(job));
    return true;
}

void CActionThreads::ReapLocked() {
    // A done thread has only its return left to run: joining it does not wait for the lock.
    for (auto it = _jobs.begin(); it != _jobs.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = _jobs.erase(it);
        } else {
            ++it;
        }
    }
}

bool CActionThreads::WaitAll(uint32_t timeoutMs) {
    auto limit = platform::Services::get().clock().realDuration(timeoutMs);
    std::unique_lock lock(_lock);
    bool all = _ended.wait_for(lock, limit, [this] {
        return std::all_of(_jobs.begin(), _jobs.end(), [](const auto& job) { return job->done; });
    });
    ReapLocked();
    return all;
}

void CActionThreads::Finish() {
    std::list<std::unique_ptr<Job>> jobs;
    {
        std::lock_guard lock(_lock);
        _finished = true;
        for (auto& job : _jobs) {
            job->thread.request_stop();
        }
        jobs.swap(_jobs);
    }
    // Joined outside the lock: the threads take it to mark themselves done.
    for (auto& job : jobs) {
        job->thread.join();
    }
}

size_t CActionThreads::GetRunningCount() {
    std::lock_guard lock(_lock);
    return static_cast<size_t>(
        std::count_if(_jobs.begin(), _jobs.end(), [](const auto& job) { return !job->done; }));
}

void CActionThreads::SetTheme(const std::string& name) {
    Guarded("theme", [&] {
        LogTheme(name);
        SelectTheme(name, {});
    });
}

void CActionThreads::ThreadOpenFile(const CStrAction& action, std::stop_token stop) {
    Guarded("open file", [&] {
        if (!WaitDelay(action, stop)) {
            return;
        }
        const std::string& file = action.GetSzOp1();
        platform::Result r = platform::Services::get().shell().openFile(kOpenVerb, file);
        if (r == platform::ERROR_SUCCESS) {
            LogEntry(CLogEvent::SEVERITY_INFO,
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_OPEN_FILE_RESUME"), file),
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_OPEN_FILE_DESCRIPTION"), file));
        } else {
            LogEntry(CLogEvent::SEVERITY_ERROR,
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_OPEN_FILE_FAILED_RESUME"), file),
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_OPEN_FILE_FAILED_DESCRIPTION"), file, r));
        }
    });
}

void CActionThreads::ThreadTheme(const CStrAction& action, std::stop_token stop) {
    Guarded("theme", [&] {
        if (!WaitDelay(action, stop)) {
            return;
        }
        LogTheme(action.GetSzOp1());
        SelectTheme(action.GetSzOp1(), stop);
    });
}

void CActionThreads::ThreadRingTone(const CStrAction& action, std::stop_token stop) {
    Guarded("ring tone", [&] {
        if (!WaitDelay(action, stop)) {
            return;
        }
        platform::Services& services = platform::Services::get();
        const std::string& file = action.GetSzOp1();
        const std::string& script = action.GetSzOp2();
        int volume = action.GetIntOp1();
        platform::Result r = services.shell().setRingTone(file);
        // The script and the volume are settings of their own: they apply whether or not the
        // sound file could be set.
        if (!script.empty()) {
            platform::Result w = services.registry().setString(platform::RegRoot::CurrentUser, kRingScriptKey,
                                                               kRingScriptValue, script);
            if (w != platform::ERROR_SUCCESS) {
                LogFormateado(1, "CActionThreads: ring script not written (error %ld)", w);
            }
        }
        if (volume >= kMinRingVolume && volume <= kMaxRingVolume) {
            platform::Result w =
                services.registry().setDword(platform::RegRoot::CurrentUser, kRingVolumeKey, kRingVolumeValue,
                                             static_cast<uint32_t>(volume));
            if (w != platform::ERROR_SUCCESS) {
                LogFormateado(1, "CActionThreads: ring volume not written (error %ld)", w);
            }
        }
        if (r == platform::ERROR_SUCCESS) {
            LogEntry(CLogEvent::SEVERITY_INFO,
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_RING_TONE_RESUME"), file),
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_RING_TONE_DESCRIPTION"), file, script, volume));
        } else {
            LogEntry(CLogEvent::SEVERITY_ERROR,
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_RING_TONE_FAILED_RESUME"), file),
                     SafeSprintf(Text("EVENT_LOG_MGR_ACTION_RING_TONE_FAILED_DESCRIPTION"), file, r, script,
                                 volume));
        }
    });
}

std::string CActionThreads::ArgumentsOf(const std::string& commandLine) {
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    size_t at = 0;
    while (at < commandLine.size() && blank(commandLine[at])) {
        ++at;
    }
    if (at < commandLine.size() && commandLine[at] == '"') {
        size_t close = commandLine.find('"', at + 1);
        if (close == std::string::npos) {
            return {};  // the whole line is an unfinished program name
        }
        at = close + 1;
    } else {
        while (at < commandLine.size() && !blank(commandLine[at])) {
            ++at;
        }
    }
    while (at < commandLine.size() && blank(commandLine[at])) {
        ++at;
    }
    size_t end = commandLine.size();
    while (end > at && blank(commandLine[end - 1])) {
        --end;
    }
    return commandLine.substr(at, end - at);
}
