#include "managers/CMgr.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/IApplication.h"
#include "core/IMainPanel.h"
#include "core/MessageBoxes.h"
#include "core/TextBuffer.h"
#include "platform/CProcessLauncher.h"
#include "platform/Services.h"

std::mutex CMgr::_hmuMgr;
std::vector<CMgr*> CMgr::_vMgrs;
std::mutex CMgr::_mapLock;
std::map<int, uint32_t> CMgr::_mapMgrNotifi;
std::mutex CMgr::_muNotitif;
std::mutex CMgr::_configLock;
char CMgr::_szMgrConfig[CMgr::kMgrConfigChars] = {};

namespace {

constexpr int kSeverityDebug = 1;
constexpr int kSeverityInfo = 2;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;
constexpr size_t kCommandLineBuffer = 260;
constexpr size_t kMaxHandlesScanned = 500;
constexpr const char* kTimerFormat = "timer_notification_%02d_%02d_%04d_%02d_%02d_%02d_%02d_%02d";

}  // namespace

CMgr::CMgr(int mgrId) : WorkerThread(1, 0), _mgrId(mgrId) {
    // Named by id: the manager's own name is not known while its base is being built.
    SetDescripcion("CMgr " + std::to_string(mgrId));
    {
        std::lock_guard lock(_configLock);
        if (_szMgrConfig[0] == '\0') {
            try {
                std::string config;
                CConfigurationZentrova::GetInstance()->GetStringParameter("mgr_config", config);
                std::strncpy(_szMgrConfig, config.c_str(), kMgrConfigChars - 1);
            } catch (const CBaseException& e) {
                // Without the switches every manager is read only.
                LogFormateado(1, "%s", e.GetMessageW());
            }
        }
    }
    AddMgr(this);
    Start();
}

CMgr::~CMgr() {
    Stop();
    auto lock = TakeOrRestart(_hmuMgr, "~CMgr");
    if (!lock.owns_lock()) {
        // A freed manager must not stay in the registry: this one change cannot be skipped.
        lock.lock();
    }
    _vMgrs.erase(std::remove(_vMgrs.begin(), _vMgrs.end(), this), _vMgrs.end());
}

char CMgr::ConfigChar() {
    int id = GetMgrId();
    if (id >= kFirstAlwaysEnabledId) {
        return '2';
    }
    std::lock_guard lock(_configLock);
    if (id < 0 || static_cast<size_t>(id) >= std::strlen(_szMgrConfig)) {
        return '\0';
    }
    return _szMgrConfig[id];
}

std::string CMgr::GetMgrConfig() {
    std::lock_guard lock(_configLock);
    return _szMgrConfig;
}

void CMgr::SetMgrConfig(const std::string& config) {
    std::lock_guard lock(_configLock);
    std::memset(_szMgrConfig, 0, sizeof _szMgrConfig);
    std::strncpy(_szMgrConfig, config.c_str(), kMgrConfigChars - 1);
}

std::unique_lock<std::mutex> CMgr::TakeOrRestart(std::mutex& lock, const char* what) {
    // Real time, not the phone's: a fast phone clock must not make a short wait look like a
    // hang, and a hang is one whatever the phone's time does.
    std::unique_lock<std::mutex> held(lock, std::defer_lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
    while (!held.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            LogFormateado(
                1, "%s: lock not obtained in %d ms; the change is skipped and the application restarts", what,
                static_cast<int>(kLockWaitMs));
            if (IsDebugMode()) {
                TextBox(SafeSprintf(CTextsMgr::Text("ERROR TIMEOUT MUTEX")));
            }
            if (IApplication* app = IApplication::Get()) {
                app->RequestRestart();
            }
            // Without the lock: the caller skips its change rather than wait for ever.
            return held;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return held;
}

void CMgr::AddMgr(CMgr* mgr) {
    auto lock = TakeOrRestart(_hmuMgr, "AddMgr");
    if (!lock.owns_lock()) {
        return;  // the manager works, but GetMgr cannot find it
    }
    _vMgrs.push_back(mgr);
}

std::vector<CMgr*> CMgr::GetMgrs() {
    std::lock_guard lock(_hmuMgr);
    return _vMgrs;
}

CMgr* CMgr::GetMgr(int id) {
    for (CMgr* mgr : GetMgrs()) {
        if (mgr->GetMgrId() == id) {
            return mgr;
        }
    }
    return nullptr;
}

void CMgr::RefreshAll() {
    for (CMgr* mgr : GetMgrs()) {
        mgr->RefreshStatus(1);
    }
}

void CMgr::ProcessTimerNotification(int id, int value) {
    if (CMgr* mgr = GetMgr(id)) {
        mgr->ProcessTimerNotification(value);
    }
}

void CMgr::SendStatusToPlugin() {
    IMainPanel::With([](IMainPanel& panel) {
        for (CMgr* mgr : GetMgrs()) {
            mgr->NotifyTodayPluginOfStatus(panel);
        }
    });
}

std::map<int, uint32_t> CMgr::GetMapMgrNotifi() {
    std::lock_guard lock(_mapLock);
    return _mapMgrNotifi;
}

void CMgr::TimeNotification(unsigned int id, long value, const SYSTEMTIME&) {
    if (static_cast<int>(id) == GetMgrId()) {
        ProcessTimerNotification(static_cast<int>(value));
    }
}

void CMgr::ProcessTimerNotification(int) {}

void CMgr::HandleCommandChildWithArgument(int, CPostArgumentMessage*) {}

std::string& CMgr::GetNameMgr(std::string& name) {
    name = "unknown";
    return name;
}

std::string& CMgr::GetNameStatus(int, std::string& name) {
    name = "unknown";
    return name;
}

std::string CMgr::LogText(const char* key, size_t buffer, const std::string& a, const std::string& b,
                          const std::string& c) {
    std::string format = CTextsMgr::Text(key);
    return FitBuffer(c.empty() ? SafeSprintf(format, a, b) : SafeSprintf(format, a, b, c), buffer);
}

void CMgr::ForceStatus(int status, int timeLimitMinutes, int restoreStatus, int delaySeconds) {
    _finishOperation.Reset();
    if (GetMgrId() < kFirstAlwaysEnabledId && ConfigChar() != '2') {
        _finishOperation.Set();
        SetLastExecution(0);
        return;
    }
    if (status == kStatusNoChange) {
        return;
    }
    ClearTimeLimitNotification(-1);
    _timeLimit = timeLimitMinutes;
    _restoreStatus = restoreStatus;
    std::string name;
    std::string statusName;
    GetNameMgr(name);
    GetNameStatus(status, statusName);
    CLogMgr::Log(GetMgrId(), kSeverityInfo,
                 LogText("EVENT_LOG_MGR_CHANGING_STATUS_RESUME", kResumeBuffer, name, statusName),
                 LogText("EVENT_LOG_MGR_CHANGING_STATUS_DESCRIPTION", kDescriptionBuffer, name, statusName));
    auto message = std::make_unique<CPostArgumentMessage>(status, delaySeconds);
    if (PostCommand(kCommandForceStatus, kNoTimeLimit, message.get(), DiscardAs<CPostArgumentMessage>)) {
        message.release();  // the command handler owns it now
    }
}

void CMgr::HandleCommand(int command, void* argument) {
    std::unique_ptr<CPostArgumentMessage> message(static_cast<CPostArgumentMessage*>(argument));
    if (message && message->delaySeconds > 0) {
        platform::Services::get().clock().sleep(static_cast<uint32_t>(message->delaySeconds) * 1000);
    }
    if (command == kCommandForceStatus) {
        if (!message) {
            return;
        }
        int timeLimit = _timeLimit.load();
        ForceStatusChild(message->status, timeLimit);
        if (timeLimit > 0) {
            SetTimeLimitNotification(GetMgrId(), timeLimit, _restoreStatus.load());
        }
        RefreshStatus(0);
        _finishOperation.Set();
        return;
    }
    HandleCommandChild(command, message ? message->status : 0);
    HandleCommandChildWithArgument(command, message.get());
}

void CMgr::RefreshStatus(int force) {
    std::lock_guard refresh(_refreshLock);
    int oldStatus = GetStatus();
    if (GetMgrId() < kFirstAlwaysEnabledId && ConfigChar() == '0') {
        return;
    }
    RefreshStatusChild(force);
    int newStatus = GetStatus();
    bool changed = newStatus != oldStatus;
    // The first reading of a status is no change to tell of: it was never read before.
    if (changed && oldStatus != kStatusNeverRead) {
        std::string name;
        std::string oldName;
        std::string newName;
        GetNameMgr(name);
        GetNameStatus(oldStatus, oldName);
        GetNameStatus(newStatus, newName);
        const std::string unknown = CTextsMgr::Text("EVENT_LOG_MGR_UNKNOWN_STATUS");
        for (std::string* s : {&name, &oldName, &newName}) {
            if (CountChars(*s) < 2) {
                *s = unknown;
            }
        }
        CLogMgr::Log(
            GetMgrId(), kSeverityDebug,
            LogText("EVENT_LOG_MGR_CHANGED_STATUS_RESUME", kResumeBuffer, name, newName),
            LogText("EVENT_LOG_MGR_CHANGED_STATUS_DESCRIPTION", kDescriptionBuffer, name, oldName, newName));
    }
    if (IsRefreshSynchronus() && (force || changed)) {
        FireStatusChanged(kCodeRefresh);
    }
}

void CMgr::NotifyTodayPluginOfStatus(IMainPanel& panel) {
    panel.NotifyTodayPlugin(GetMgrId(), GetStatus());
}

void CMgr::FireStatusChanged(int code) {
    IMainPanel::With([this](IMainPanel& panel) { NotifyTodayPluginOfStatus(panel); });
    std::vector<IStatusListener*> listeners;
    {
        std::lock_guard lock(_listenerLock);
        listeners = _listeners;
        _delivering.push_back(std::this_thread::get_id());
    }
    struct Delivered {
        CMgr& mgr;
        ~Delivered() {
            {
                std::lock_guard lock(mgr._listenerLock);
                mgr._delivering.erase(
                    std::find(mgr._delivering.begin(), mgr._delivering.end(), std::this_thread::get_id()));
            }
            mgr._deliveryEnded.notify_all();
        }
    } delivered{*this};
    for (IStatusListener* listener : listeners) {
        listener->StatusChanged(GetStatus(), GetMgrId(), code);
    }
}

void CMgr::AddStatusListener(IStatusListener* listener) {
    auto lock = TakeOrRestart(_listenerLock, "AddStatusListener");
    if (!lock.owns_lock()) {
        return;
    }
    _listeners.push_back(listener);
}

void CMgr::RemoveStatusListener(IStatusListener* listener) {
    auto lock = TakeOrRestart(_listenerLock, "RemoveStatusListener");
    if (!lock.owns_lock()) {
        return;
    }
    if (auto it = std::find(_listeners.begin(), _listeners.end(), listener); it != _listeners.end()) {
        _listeners.erase(it);
    }
    // Deliveries under way on other threads may still hold the listener. The wait is bounded: a
    // listener that waits for the caller's thread (a message box shown on the window's thread)
    // would otherwise never return.
    const auto self = std::this_thread::get_id();
    if (!_deliveryEnded.wait_for(lock, kDeliveryWait, [&] {
            return std::all_of(_delivering.begin(), _delivering.end(),
                               [&](std::thread::id t) { return t == self; });
        })) {
        LogFormateado(1, "CMgr %d: a status delivery did not end while a listener left", _mgrId);
    }
}

void CMgr::SetTimeLimitNotification(int id, int minutes, int value) {
    if (minutes <= 0) {
        return;
    }
    ClearTimeLimitNotification(id);
    auto& services = platform::Services::get();
    platform::UserNotificationTrigger trigger;
    trigger.start = services.clock().localTime();
    trigger.start.wMilliseconds = 0;
    DT_AddDiff(trigger.start, minutes, DT_MINUTE);
    const SYSTEMTIME& t = trigger.start;
    char line[kCommandLineBuffer];
    std::snprintf(line, sizeof line, kTimerFormat, id, value, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    trigger.application = platform::CProcessLauncher::selfExecutable().string();
    trigger.arguments = line;
    uint32_t handle = services.notifications().setUserNotification(trigger);
    _notification = handle;
    {
        std::lock_guard lock(_mapLock);
        _mapMgrNotifi[id] = handle;
    }
    IMainPanel::With([](IMainPanel& panel) { panel.UpdateNotificationsDebugInfo(); });
}

void CMgr::EnsureTimeLimitNotification(int id, int minutes, int value) {
    bool exists = false;
    {
        auto lock = TakeOrRestart(_muNotitif, "EnsureTimeLimitNotification");
        if (!lock.owns_lock()) {
            return;  // the phone's triggers cannot be looked at: register nothing twice
        }
        auto& notifications = platform::Services::get().notifications();
        const std::string self = platform::CProcessLauncher::selfExecutable().string();
        std::vector<uint32_t> handles = notifications.getUserNotificationHandles();
        if (handles.size() > kMaxHandlesScanned) {
            handles.resize(kMaxHandlesScanned);
        }
        for (uint32_t handle : handles) {
            platform::UserNotificationTrigger trigger;
            if (!notifications.getUserNotification(handle, trigger) || trigger.application != self ||
                trigger.arguments.find("timer_notification") == std::string::npos) {
                continue;
            }
            int foundId = -1;
            int foundValue = -1;
            if (std::sscanf(trigger.arguments.c_str(), "timer_notification_%02d_%02d", &foundId,
                            &foundValue) == 2 &&
                foundId == GetMgrId() && foundValue == value) {
                exists = true;
                break;
            }
        }
    }
    if (!exists) {
        SetTimeLimitNotification(id, minutes, value);
        IMainPanel::With([](IMainPanel& panel) { panel.UpdateNotificationsDebugInfo(); });
    }
}

void CMgr::ClearTimeLimitNotification(int id) {
    if (id == -1) {
        id = GetMgrId();
    }
    uint32_t handle = 0;
    {
        std::lock_guard lock(_mapLock);
        auto it = _mapMgrNotifi.find(id);
        if (it == _mapMgrNotifi.end() || it->second == 0) {
            return;
        }
        handle = it->second;
        it->second = 0;
    }
    platform::Services::get().notifications().clearUserNotification(handle);
}
