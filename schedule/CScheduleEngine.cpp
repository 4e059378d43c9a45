#include "schedule/CScheduleEngine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CHiResTimer.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "core/TextBuffer.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "managers/CMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/CStatusMgrCode.h"
#include "platform/CProcessLauncher.h"
#include "platform/Services.h"
#include "schedule/CActionExecutor.h"
#include "schedule/CActionThreads.h"
#include "schedule/CScheduleFrames.h"
#include "store/CDB.h"
#include "store/CInstante.h"
#include "store/CPeriod.h"
#include "store/CStrAction.h"
#include "store/CStrCell.h"
#include "store/CStrLocation.h"
#include "store/CTableActions.h"
#include "store/CTableCell.h"
#include "store/CTablePeriods.h"
#include "store/CTablePlaces.h"

std::mutex CScheduleEngine::_instanceLock;
std::unique_ptr<CScheduleEngine> CScheduleEngine::_me;

namespace {

constexpr int kSeverityInfo = 2;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;
constexpr const char* kTimerFormat = "timer_notification_%02d_%02d_%04d_%02d_%02d_%02d_%02d_%02d";

SYSTEMTIME now() {
    return platform::Services::get().clock().localTime();
}

// 1 Monday ... 7 Sunday.
int WeekDayOf(SYSTEMTIME time) {
    DT_AddDiff(time, 0, DT_DAY);  // fills the day of the week
    return time.wDayOfWeek == 0 ? 7 : time.wDayOfWeek;
}

bool IsPhoneOff() {
    CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance();
    return phone && phone->GetStatus() != 0;
}

bool PhoneSwitching() {
    CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance();
    return phone && phone->GetStatus() == CMgr::kStatusNeverRead;
}

}  // namespace

CScheduleEngine* CScheduleEngine::GetInstance() {
    std::lock_guard lock(_instanceLock);
    if (!_me) {
        _me.reset(new CScheduleEngine());
    }
    return _me.get();
}

void CScheduleEngine::DestroyInstance() {
    std::unique_ptr<CScheduleEngine> engine;
    {
        std::lock_guard lock(_instanceLock);
        engine = std::move(_me);
    }
}

CScheduleEngine::CScheduleEngine() : WorkerThread(1, 0), _executor(std::make_unique<CActionExecutor>()) {
    _currentPeriod.SetId(-1);
    SetDescripcion("CScheduleEngine");
    Start();
}

CScheduleEngine::~CScheduleEngine() {
    Stop();
    _executor.reset();
}

CDB* CScheduleEngine::Database() {
    CDB* db = CDB::GetOpened();
    if (!db) {
        throw CExceptionDB("No database");
    }
    return db;
}

void CScheduleEngine::SetConfig(const char* name, long value) {
    try {
        CConfigurationZentrova::GetInstance()->SetLongParameter(name, static_cast<uint32_t>(value));
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
}

void CScheduleEngine::Log(int severity, const std::string& resume, const std::string& description) {
    CActionExecutor::Log(severity, resume, description);
}

std::string& CScheduleEngine::GetName() {
    return _name;
}

CStrPeriod CScheduleEngine::GetCurrentPeriod() const {
    std::lock_guard lock(_stateLock);
    return _currentPeriod;
}

void CScheduleEngine::SetCurrentPeriodKey(int key) {
    std::lock_guard lock(_stateLock);
    _currentPeriod.SetId(key);
}

CStrPlace CScheduleEngine::GetLockedPlace() const {
    std::lock_guard lock(_stateLock);
    return _lockedPlace;
}

std::string CScheduleEngine::GetNextExecutionResume() const {
    std::lock_guard lock(_stateLock);
    return _nextResume;
}

std::string CScheduleEngine::GetNextExecutionDescription() const {
    std::lock_guard lock(_stateLock);
    return _nextDescription;
}

// ---------------------------------------------------------------------------------------------
// Start-up and commands

void CScheduleEngine::Init() {
    RunOnWorker("Init", [this] { InitNow(); });
}

void CScheduleEngine::InitNow() {
    AdoptPendingWakeUps();
    const long locked = CConfigurationZentrova::GetLongOr("locked_profile", 0);
    if (locked != 0) {
        CStrPlace place;
        place.SetId(static_cast<int>(locked));
        if (Database()->GetTablePlaces()->FindAndFill(place)) {
            LockOn(place, CStrPeriod());
            IMainPanel::With([](IMainPanel& panel) { panel.InvalidatePanel(); });
        } else {
            // The locked place is gone: the phone is not locked any more.
            SetConfig("locked_profile", 0);
        }
    }
    ManageNextPeriodAlwaysOn();
}

void CScheduleEngine::RunOnWorker(const char* what, std::function<void()> work) {
    auto argument = std::make_unique<std::function<void()>>(std::move(work));
    if (PostCommand(kCommandRun, kNoTimeLimit, argument.get(), DiscardAs<std::function<void()>>)) {
        argument.release();  // the command owns it now
    } else {
        LogFormateado(1, "CScheduleEngine: %s dropped, the engine is not running", what);
    }
}

void CScheduleEngine::HandleCommand(int command, void* argument) {
    switch (command) {
        case kCommandStartPeriod:
            ExecuteActions(0, -1);
            break;
        case kCommandEndPeriod: {
            std::unique_ptr<int> key(static_cast<int*>(argument));
            ExecuteActions(1, key ? *key : -1);
            break;
        }
        case kCommandRun: {
            std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(argument));
            if (work && *work) {
                (*work)();
            }
            break;
        }
        case kCommandStatusChanged: {
            std::unique_ptr<int> code(static_cast<int*>(argument));
            if (!code) {
                throw CBaseException("Se envio un comando status_changed sin parametro");
            }
            std::optional<CStatusMgrCode> record;
            {
                std::lock_guard lock(_waitingStatusLock);
                if (auto it = _waitingStatus.find(*code); it != _waitingStatus.end()) {
                    record = it->second;
                    _waitingStatus.erase(it);
                }
            }
            if (record) {
                ++_statusReports;
                StatusChangedAsync(record->status, record->mgrId, record->code);
            }
            break;
        }
        default:
            WorkerThread::HandleCommand(command, argument);
    }
}

void CScheduleEngine::StatusChanged(int status, int mgrId, int code) {
    if (mgrId == CMgr::MGR_RIL && (code == kCodeLocation || code == kCodeRefresh)) {
        // Only the latest location matters: a report of the same kind still waiting in the queue
        // takes this one in (a frame boundary among them is kept), instead of a second command.
        std::lock_guard lock(_waitingStatusLock);
        if (auto it = _waitingStatus.find(code); it != _waitingStatus.end()) {
            it->second.status = (it->second.status != 0 || status != 0) ? 1 : 0;
            return;
        }
        _waitingStatus.emplace(code, CStatusMgrCode(status, mgrId, code));
        auto argument = std::make_unique<int>(code);
        if (PostCommand(kCommandStatusChanged, kNoTimeLimit, argument.get(), DiscardAs<int>)) {
            argument.release();  // the command owns it now
        } else {
            _waitingStatus.erase(code);
        }
        return;
    }
    LogFormateado(3, "CScheduleEngine::StatusChanged(%d,%d,%d) ignored", status, mgrId, code);
}

void CScheduleEngine::EndPeriod() {
    int key = GetCurrentPeriod().GetId();
    auto argument = std::make_unique<int>(key);
    if (PostCommandNotRepeteated(kCommandEndPeriod, kNoTimeLimit, argument.get(), DiscardAs<int>)) {
        argument.release();
    }
}

void CScheduleEngine::EndRunningFrame() {
    if (GetCurrentPeriod().GetId() != -1) {
        EndPeriod();
    }
}

// ---------------------------------------------------------------------------------------------
// Wake-ups

void CScheduleEngine::ClearNotification(unsigned int id) {
    std::lock_guard wakeUp(_wakeUpLock);
    uint32_t handle = 0;
    {
        std::lock_guard lock(_stateLock);
        const int slot = id == kNotificationAlwaysOn ? 1 : 0;
        std::swap(handle, _notifications[slot]);
        _notificationKinds[slot] = -1;
    }
    if (handle != 0) {
        platform::Services::get().notifications().clearUserNotification(handle);
    }
}

void CScheduleEngine::AdoptPendingWakeUps() {
    auto& notifications = platform::Services::get().notifications();
    const std::string self = platform::CProcessLauncher::selfExecutable().string();
    std::lock_guard wakeUp(_wakeUpLock);
    for (unsigned int id : {kNotificationFrame, kNotificationAlwaysOn}) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "timer_notification_%02u_", id);
        const int slot = id == kNotificationAlwaysOn ? 1 : 0;
        for (uint32_t handle : notifications.getUserNotificationHandles()) {
            platform::UserNotificationTrigger trigger;
            if (!notifications.getUserNotification(handle, trigger) || trigger.application != self ||
                trigger.arguments.rfind(prefix, 0) != 0) {
                continue;
            }
            int kind = -1;
            std::sscanf(trigger.arguments.c_str() + std::strlen(prefix), "%d", &kind);
            std::lock_guard lock(_stateLock);
            if (_notifications[slot] == 0) {
                _notifications[slot] = handle;
                _notificationKinds[slot] = kind;
            } else if (_notifications[slot] != handle) {
                // A copy left by a run that ended without clearing it: one is enough.
                notifications.clearUserNotification(handle);
            }
        }
    }
}

void CScheduleEngine::SetPeriodNotification(int kind, int hour, int minute) {
    SYSTEMTIME when = now();
    CInstante current(when);
    when.wHour = static_cast<uint16_t>(hour);
    when.wMinute = static_cast<uint16_t>(minute);
    when.wSecond = 0;
    when.wMilliseconds = 0;
    if (!(CInstante(hour, minute) > current)) {
        DT_AddDiff(when, 1, DT_DAY);
    }
    SetPeriodNotification(kind, when, false);
}

void CScheduleEngine::SetPeriodNotification(int kind, const SYSTEMTIME& time, bool alwaysOn) {
    const unsigned int id = alwaysOn ? kNotificationAlwaysOn : kNotificationFrame;
    SYSTEMTIME when = time;
    when.wMilliseconds = 0;
    // A moment already past moves to the next day.
    SYSTEMTIME current = now();
    if (DT_PeriodsBetween(current, when, DT_SECOND) < 0) {
        when.wYear = current.wYear;
        when.wMonth = current.wMonth;
        when.wDay = current.wDay;
        if (DT_PeriodsBetween(current, when, DT_SECOND) < 0) {
            DT_AddDiff(when, 1, DT_DAY);
        }
    }
    // One pending wake-up per id: a newer boundary replaces the older one, in one step.
    std::lock_guard wakeUp(_wakeUpLock);
    const int slot = id == kNotificationAlwaysOn ? 1 : 0;
    uint32_t previous = 0;
    {
        std::lock_guard lock(_stateLock);
        if (kind == 1 && _notificationKinds[slot] == 0 && _notifications[slot] != 0 &&
            (alwaysOn ? _lockedByAlwaysOn.load() : _currentPeriod.GetId() != -1)) {
            // The running frame's end stays: the next start is planned again when it has come.
            LogFormateado(2, "Se mantiene el final de la franja en curso [%02d]", id);
            return;
        }
        std::swap(previous, _notifications[slot]);
        _notificationKinds[slot] = -1;
    }
    auto& notifications = platform::Services::get().notifications();
    if (previous != 0) {
        notifications.clearUserNotification(previous);
    }
    char line[260];
    std::snprintf(line, sizeof line, kTimerFormat, id, kind, when.wYear, when.wMonth, when.wDay, when.wHour,
                  when.wMinute, when.wSecond);
    platform::UserNotificationTrigger trigger;
    trigger.start = when;
    trigger.application = platform::CProcessLauncher::selfExecutable().string();
    trigger.arguments = line;
    uint32_t handle = notifications.setUserNotification(trigger);
    {
        std::lock_guard lock(_stateLock);
        _notifications[slot] = handle;
        _notificationKinds[slot] = handle != 0 ? kind : -1;
    }
    LogFormateado(2, "Notificacion establecida para %04d-%02d-%02d %02d:%02d:%02d [%02d]", when.wYear,
                  when.wMonth, when.wDay, when.wHour, when.wMinute, when.wSecond, id);
    IMainPanel::With([](IMainPanel& panel) { panel.UpdateNotificationsDebugInfo(); });
}

// ---------------------------------------------------------------------------------------------
// Frames

int CScheduleEngine::GetFrame(int hour, int minute, int idPlace, bool inclusiveStart, int weekDay) {
    std::vector<CStrPeriod> frames;
    Database()->GetTablePeriods()->GetAllRecordsForPlace(frames, idPlace, weekDay);
    CInstante instant(hour, minute);
    for (const CStrPeriod& frame : frames) {
        if (CPeriod(frame).IsInside(instant, inclusiveStart)) {
            return frame.GetId();
        }
    }
    return -1;
}

int CScheduleEngine::GetCurrentFrame(CStrPeriod& period) {
    CRilMgr* engine = CRilMgr::GetInstance();
    return GetCurrentFrame(period, engine ? engine->GetCurrentPlace() : 0);
}

int CScheduleEngine::GetCurrentFrame(CStrPeriod& period, int idPlace) {
    SYSTEMTIME when;
    bool stored = false;
    {
        std::lock_guard lock(_stateLock);
        if (_storedNotificationTime.wYear != 0) {
            when = _storedNotificationTime;
            _storedNotificationTime = SYSTEMTIME{};
            stored = true;
        }
    }
    if (stored) {
        LogFormateado(2, "Utlizando fecha almacenada %s", DT_Format(when).c_str());
    } else {
        when = now();
        LogFormateado(2, "Utlizando fecha real %s", DT_Format(when).c_str());
    }
    return GetCurrentFrame(period, idPlace, when);
}

int CScheduleEngine::GetCurrentFrame(CStrPeriod& period, int idPlace, const SYSTEMTIME& time) {
    int result = 0;
    int key = GetFrame(time.wHour, time.wMinute, idPlace, true, WeekDayOf(time));
    if (key != -1) {
        CStrPeriod found;
        found.SetId(key);
        if (Database()->GetTablePeriods()->FindAndFill(found)) {
            period = found;
            result = 1;
        }
    }
    LogFormateado(2, "CScheduleEngine::-GetCurrentFrame(,)");
    return result;
}

int CScheduleEngine::GetNextFrameFromNow(CStrPeriod& period, int idPlace) {
    CTablePeriods* table = Database()->GetTablePeriods();
    SYSTEMTIME current = now();
    CInstante present(current);
    const int today = WeekDayOf(current);
    for (int ahead = 0; ahead <= 7; ++ahead) {
        int day = (today - 1 + ahead) % 7 + 1;
        std::vector<CStrPeriod> frames;
        table->GetAllRecordsForPlace(frames, idPlace, day);
        OrderPeriods(frames);
        for (const CStrPeriod& frame : frames) {
            // Today only the frames still to start; on later days the earliest.
            if (ahead == 0 && !(CInstante(frame.GetInicio()) > present)) {
                continue;
            }
            period = frame;
            return 1;
        }
    }
    return 0;
}

int CScheduleEngine::GetFirstFrame(CStrPeriod& period) {
    auto frames = Database()->GetTablePeriods()->GetAllRecordsCopy();
    if (frames.empty()) {
        return 0;
    }
    period = frames.front();
    return 1;
}

int CScheduleEngine::GetCurrentFrameAlwaysOn(CStrPeriod& period) {
    return GetCurrentFrameAlwaysOn(period, now());
}

int CScheduleEngine::GetCurrentFrameAlwaysOn(CStrPeriod& period, const SYSTEMTIME& time) {
    const int today = WeekDayOf(now());
    int result = 0;
    for (CStrPeriod frame : Database()->GetTablePeriods()->GetAllRecordsCopy()) {
        if (frame.GetAlwaysOn() == 1 && frame.GetWeekDay() == today && frame.IsHappeningNow(time)) {
            period = frame;
            result = 1;
            break;
        }
    }
    LogFormateado(2, "CScheduleEngine::GetCurrentFrameAlwaysOn(%d)", result);
    return result;
}

int CScheduleEngine::GetNextFrameAlwaysOn(CStrPeriod& period, int seconds) {
    SYSTEMTIME from = now();
    DT_AddDiff(from, seconds, DT_SECOND);
    bool found = false;
    SYSTEMTIME earliest{};
    for (CStrPeriod frame : Database()->GetTablePeriods()->GetAllRecordsCopy()) {
        if (frame.GetAlwaysOn() != 1) {
            continue;
        }
        SYSTEMTIME next{};
        frame.GetNextExecution(from, next);
        if (!found || DT_PeriodsBetween(next, earliest, DT_SECOND) > 0) {
            found = true;
            earliest = next;
            period = frame;
        }
    }
    return found ? 1 : 0;
}

void CScheduleEngine::ExecutePeriodAlwaysOn(CStrPeriod& period) {
    CStrPlace place;
    place.SetId(period.GetIdPlace());
    if (Database()->GetTablePlaces()->FindAndFill(place)) {
        LockOn(place, period);
        _lockedByAlwaysOn = true;
    }
}

void CScheduleEngine::ManageNextPeriodAlwaysOn() {
    LogFormateado(2, "CScheduleEngine::ManageNextPeriodAlwaysOn()");
    CStrPeriod frame;
    if (GetNextFrameAlwaysOn(frame, kAlwaysOnLookAheadSeconds)) {
        CStrPlace place;
        place.SetId(frame.GetIdPlace());
        if (Database()->GetTablePlaces()->FindAndFill(place)) {
            // Judged at the same look-ahead as the search: a frame whose end has just come is over,
            // not happening again.
            SYSTEMTIME ahead = now();
            DT_AddDiff(ahead, kAlwaysOnLookAheadSeconds, DT_SECOND);
            CStrPeriod probe = frame;
            if (probe.IsHappeningNow(ahead)) {
                ExecutePeriodAlwaysOn(frame);
            } else {
                SYSTEMTIME next{};
                frame.GetNextExecution(now(), next);
                SetPeriodNotification(1, next, true);
                std::string day;
                CTextsMgr::GetInstance()->GetWeekDayTranslated(day, frame.GetWeekDay());
                std::lock_guard lock(_stateLock);
                _nextResume =
                    FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_NEXT_EXECUTE_ANY_PLACE_RESUME"),
                                          place.GetName(), day, frame.GetName()),
                              kResumeBuffer);
                _nextDescription =
                    FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_NEXT_EXECUTE_ANY_PLACE_DESCRIPTION"),
                                          place.GetName(), day, frame.GetName()),
                              kDescriptionBuffer);
            }
        }
    }
    LogFormateado(2, "CScheduleEngine::-ManageNextPeriodAlwaysOn()");
}

int CScheduleEngine::AddSchedule(CStrPeriod& period) {
    return CScheduleFrames(Database()).AddSchedule(period);
}

int CScheduleEngine::EditSchedule(CStrPeriod& period) {
    return CScheduleFrames(Database()).EditSchedule(period);
}

void CScheduleEngine::OrderPeriods(std::vector<CStrPeriod>& periods) {
    CScheduleFrames::OrderPeriods(periods);
}

// ---------------------------------------------------------------------------------------------
// Starting frames

void CScheduleEngine::StartFrame(CStrPeriod period) {
    period.SetCorrectDates();
    // A frame through midnight found in its early part started yesterday: dated from today it
    // would end a day late.
    const SYSTEMTIME current = now();
    const bool throughMidnight = !(CInstante(period.GetInicio()) < CInstante(period.GetFinal()));
    if (throughMidnight && DT_PeriodsBetween(current, period.GetInicio(), DT_SECOND) > 0) {
        SYSTEMTIME inicio = period.GetInicio();
        SYSTEMTIME final = period.GetFinal();
        DT_AddDiff(inicio, -1, DT_DAY);
        DT_AddDiff(final, -1, DT_DAY);
        period.SetInicio(inicio);
        period.SetFinal(final);
    }
    {
        std::lock_guard lock(_stateLock);
        _currentPeriod = period;
    }
    SetPeriodNotification(0, period.GetFinal(), period.GetAlwaysOn() == 1);
    PostCommandNotRepeteated(kCommandStartPeriod, kNoTimeLimit, nullptr);
}

bool CScheduleEngine::ScheduleNextFrame(int idPlace) {
    CStrPeriod next;
    if (!GetNextFrameFromNow(next, idPlace)) {
        return false;
    }
    SYSTEMTIME when{};
    next.GetNextExecution(now(), when);
    SetPeriodNotification(1, when, false);
    return true;
}

void CScheduleEngine::StartCurrentFrameOrScheduleNext(int idPlace, bool onlyWhenDifferent) {
    CStrPeriod frame;
    if (GetCurrentFrame(frame, idPlace)) {
        if (!onlyWhenDifferent || frame.GetId() != GetCurrentPeriod().GetId()) {
            StartFrame(frame);
        }
        return;
    }
    ScheduleNextFrame(idPlace);
}

// ---------------------------------------------------------------------------------------------
// Notifications and location reports

void CScheduleEngine::TimeNotification(unsigned int id, long param, const SYSTEMTIME& time) {
    if (id != kNotificationFrame && id != kNotificationAlwaysOn) {
        return;
    }
    LogFormateado(2, "TimeNotification(%d, %d,%s, %s)", static_cast<int>(id), static_cast<int>(param),
                  DT_Format(time).c_str(), DT_Format(now()).c_str());
    if (CConfigurationZentrova::GetLongOr("profile_change_mode", 0) != 0) {
        return;
    }
    if (id == kNotificationFrame) {
        if (param != 0) {
            LogFormateado(2, "Comienza una franja");
            std::lock_guard lock(_stateLock);
            _storedNotificationTime = time;
        } else {
            LogFormateado(2, "Acaba una franja");
            EndPeriod();
            SetCurrentPeriodKey(-1);
            const int64_t early = DT_PeriodsBetween(now(), time, DT_SECOND);
            if (early > 0) {
                LogFormateado(2, "Se notifico antes de lo programado");
                const int64_t wait = early + 2;
                if (wait < kMaxEarlyWaitSeconds) {
                    LogFormateado(2, "Durmiendo %d segundos", static_cast<int>(wait));
                    platform::Services::get().clock().sleep(static_cast<uint32_t>(wait) * 1000);
                } else {
                    LogFormateado(2, "Demasiado segundos para dormir");
                }
            } else {
                LogFormateado(2, "Se notifico despues de lo programado");
            }
        }
        if (IsPhoneOff()) {
            (param != 0 ? _newFramePending : _frameEndPending) = true;
        } else {
            SetLocation(kUnknownLocation);
        }
        StatusChanged(param != 0 ? 1 : 0, CMgr::MGR_RIL, kCodeLocation);
        return;
    }
    // Always-on frames: their starts and ends run on the worker thread.
    RunOnWorker("always-on notification", [this, param, time] { AlwaysOnNotification(param, time); });
}

void CScheduleEngine::AlwaysOnNotification(long param, const SYSTEMTIME& time) {
    if (param == 0 && _lockedByAlwaysOn.exchange(false)) {
        // The always-on frame is over: the lock it set ends with it (ending the frame), and the
        // place the phone is in counts again.
        SetLockedModeNow(0);
        SetCurrentPeriodKey(-1);
        ManageNextPeriodAlwaysOn();
        ChangeInDBNow();
        return;
    }
    EndPeriod();
    if (param == 1) {
        CStrPeriod frame;
        if (GetCurrentFrameAlwaysOn(frame, time)) {
            ExecutePeriodAlwaysOn(frame);
        }
        return;
    }
    if (CMgr* phone = CMgr::GetMgr(CMgr::MGR_PHONE)) {
        phone->ClearTimeLimitNotification(kNotificationAlwaysOn);
    }
    CRilMgr* engine = CRilMgr::GetInstance();
    if (param == kParamAlwaysOnChanged) {
        if (GetLockedMode() && engine) {
            engine->RefreshStatus(1);
        }
        ChangeInDBNow();
        return;
    }
    if (engine) {
        engine->RefreshStatus(1);
    }
    IMainPanel::With([](IMainPanel& panel) { panel.InvalidatePanel(); });
}

int CScheduleEngine::PlaceWithPhoneOff(CRilMgr* engine) {
    // The place of the current location; without one (the radio is off) the last place found.
    if (engine && engine->GetLocation() != 0 && engine->GetCurrentPlace() > 0) {
        return engine->GetCurrentPlace();
    }
    return static_cast<int>(CConfigurationZentrova::GetLongOr("last_place", 0));
}

void CScheduleEngine::StatusChangedAsync(int status, int mgrId, int code) {
    LogFormateado(2, "CScheduleEngine::StatusChangedAsync(%d,%d,%d)", status, mgrId, code);
    auto& clock = platform::Services::get().clock();
    while (PhoneSwitching() && GetStop() == 0) {
        clock.sleep(kPhoneSwitchingWaitMs);
    }
    const bool locationReport = mgrId == CMgr::MGR_RIL && code == kCodeLocation;
    CRilMgr* engine = CRilMgr::GetInstance();
    if (locationReport && CConfigurationZentrova::GetLongOr("profile_change_mode", 0) != 0) {
        LogFormateado(2, "No se hace nada porque profile_change_mode = 1");
    } else if (locationReport && GetLockedMode()) {
        LogFormateado(2, "Cambio de posicion no tenido en cuenta por estar en modo locked");
    } else if (_newFramePending.exchange(false)) {
        LogFormateado(2, "Estando el telefono apagado debe comenza una nueva planificacion");
        int place = PlaceWithPhoneOff(engine);
        CStrPeriod frame;
        if (GetCurrentFrame(frame, place)) {
            StartFrame(frame);
        } else {
            LogFormateado(
                1,
                "This situation should happen. Could find frame for place %d with phone off. Please "
                "report this case to the maker.",
                place);
        }
    } else if (_frameEndPending.exchange(false)) {
        LogFormateado(2, "Estando el telefono apagado acaba planificacion");
        int place = PlaceWithPhoneOff(engine);
        StartCurrentFrameOrScheduleNext(place, false);
    } else if (locationReport && (IsPhoneOff() || (engine && engine->IsWithoutCoverage()))) {
        LogFormateado(2, "Hemos perdido cobertura o telefono apagado. Nos mantenemos.");
        int place = static_cast<int>(CConfigurationZentrova::GetLongOr("last_place", 0));
        if (place != 0) {
            StartCurrentFrameOrScheduleNext(place, true);
        }
    } else if (engine) {
        LocationReport(status, *engine);
    }
    LogFormateado(2, "CScheduleEngine::-StatusChangedAsync(%d,%d,%d)", status, mgrId, code);
}

void CScheduleEngine::LocationReport(int status, CRilMgr& engine) {
    if (CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance(); phone && phone->IsBlocked()) {
        // The radio is being switched (often by the location poll itself, which reports a new
        // place only once): wait until the phone is ready, then judge this report.
        auto& clock = platform::Services::get().clock();
        for (int i = 0; i < kBlockedWaits && phone->IsBlocked() && GetStop() == 0; ++i) {
            clock.sleep(kPhoneSwitchingWaitMs);
        }
        if (GetStop() != 0) {
            return;
        }
    }
    LogFormateado(2, "Parece que hay cambio de localizacion");
    CDB* db = Database();
    const int location = engine.GetLocation();
    const int previous = GetCurrentLocation();
    if (location == previous) {
        LogFormateado(2, "No hay cambio de localizacion");
        if (engine.GetLocationMode() == 0 && engine.IsCurrentPlaceKnown() &&
            CConfigurationZentrova::GetLongOr("intelligent_lac_mode", 0) != 0) {
            // Learn the serving cell of a known area for the place of that area.
            CStrCell cell;
            cell.SetIdCell(engine.GetCellID());
            CStrPlace place;
            if (cell.GetIdCell() > 0 && !db->GetTableCell()->FindAndFill(cell) &&
                engine.GetCurrentPlace(place)) {
                cell.Reset();
                cell.SetIdCell(engine.GetCellID());
                cell.SetIdPlace(place.GetId());
                db->GetTableCell()->Add(cell);
                CCellMgr::GetInstance()->ChangesInDB();
            }
        }
        return;
    }
    LogFormateado(2, "De veras que lo hay");
    SetLocation(location);
    auto* table = dynamic_cast<CTableBase*>(db->GetTableLocations());
    auto known = [&](int value) {
        std::unique_ptr<CStrLocation> record = CStrLocation::GetInstance();
        record->SetLocation(value);
        return table && table->FindAndFill(*record) && record->IsAssociated();
    };
    if (!known(previous) && !known(location)) {
        ManageNextPeriodAlwaysOn();
    }
    LogFormateado(2, "CScheduleEngine.Cambio de localizacion(%d,%d)", previous, location);
    if (status != 0) {
        // A frame boundary: read the cell again so the next report is current.
        engine.RefreshLAC();
        IMainPanel::With([](IMainPanel& panel) { panel.InvalidatePanel(); });
    }
    int idPlace = 0;
    std::unique_ptr<CStrLocation> record = CStrLocation::GetInstance();
    record->SetLocation(location);
    if (table && table->FindAndFill(*record) && record->IsAssociated()) {
        LogFormateado(2, "Sitio reconocido");
        CStrPlace place;
        place.SetId(record->GetIdPlace());
        if (db->GetTablePlaces()->FindAndFill(place)) {
            idPlace = place.GetId();
        } else {
            Log(kSeverityInfo, CTextsMgr::Text("LAC ASSIGNED BUT NO PLACE"),
                CTextsMgr::Text("LAC ASSIGNED BUT NO PLACE"));
            table->Delete(*record);
        }
    }
    CStrPeriod frame;
    const bool hasFrame = GetCurrentFrame(frame, idPlace) != 0;
    if (hasFrame && frame.GetId() == GetCurrentPeriod().GetId()) {
        LogFormateado(2, "No hay cambio de periodo");
        return;
    }
    EndRunningFrame();
    SetCurrentPeriodKey(-1);
    SetConfig("last_place", idPlace);
    if (hasFrame) {
        StartFrame(frame);
    } else {
        ShowPlaceAndFrame(std::string(), std::string());
        ScheduleNextFrame(idPlace);
    }
}

void CScheduleEngine::ChangeInDB() {
    RunOnWorker("ChangeInDB", [this] { ChangeInDBNow(); });
}

void CScheduleEngine::ChangeInDBNow() {
    LogFormateado(2, "CScheduleEngine::ChangeInDB()");
    if (CDB* db = CDB::GetInstance()) {
        // Another process may have written the tables: read them again.
        db->InvalidateCaches();
    }
    CCellMgr::GetInstance()->ChangesInDB();
    SetLocation(kUnknownLocation);
    if (CRilMgr* engine = CRilMgr::GetInstance()) {
        engine->SetCurrentPlace(-1);
    }
    SetCurrentPeriodKey(-1);
    StatusChanged(0, CMgr::MGR_RIL, kCodeLocation);
}

// ---------------------------------------------------------------------------------------------
// Locking

void CScheduleEngine::SetLockedPlace(const CStrPlace& place) {
    RunOnWorker("SetLockedPlace", [this, place] { LockOn(place, CStrPeriod()); });
}

void CScheduleEngine::LockOn(const CStrPlace& place, const CStrPeriod& period) {
    _lockedByAlwaysOn = false;  // a lock of the user's until an always-on frame says otherwise
    {
        std::lock_guard lock(_stateLock);
        _lockedPlace = place;
    }
    _lockedMode = 1;
    SetConfig("locked_profile", place.GetId());
    SetLocation(0);
    EndRunningFrame();
    SetCurrentPeriodKey(-1);
    CStrPeriod frame = period;
    if (frame.GetId() == -1 && !GetCurrentFrame(frame, place.GetId())) {
        ScheduleNextFrame(place.GetId());
        return;
    }
    StartFrame(frame);
}

void CScheduleEngine::SetLockedMode(int locked) {
    RunOnWorker("SetLockedMode", [this, locked] { SetLockedModeNow(locked); });
}

void CScheduleEngine::SetLockedModeNow(int locked) {
    if (locked == 0) {
        _lockedByAlwaysOn = false;
    }
    if (locked == 0 && _lockedMode.load() != 0) {
        SetConfig("locked_profile", 0);
        EndRunningFrame();
    }
    _lockedMode = locked;
}

// ---------------------------------------------------------------------------------------------
// Actions

void CScheduleEngine::ExecuteSchedule(const CStrPeriod& period, int moment) {
    std::string day;
    CTextsMgr::GetInstance()->GetWeekDayTranslated(day, period.GetWeekDay());
    LogFormateado(2, "ExecuteSchedule %s %s %s", period.GetName().c_str(), day.c_str(),
                  moment ? "end" : "start");
}

void CScheduleEngine::UpdateWindowPlace(const CStrPlace& place, const CStrPeriod& period) {
    IMainPanel::With([&](IMainPanel& panel) {
        panel.SetPlaceAndFrame(place.GetName(), period.GetName());
        panel.NotifyTodayPluginChangePosition(place.GetId(), period.GetId());
    });
}

void CScheduleEngine::ShowPlaceAndFrame(const std::string& place, const std::string& frame) {
    IMainPanel::With([&](IMainPanel& panel) { panel.SetPlaceAndFrame(place, frame); });
}

void CScheduleEngine::ExecuteActions(int moment, int periodKey) {
    CDB* db = Database();
    CStrPeriod period = GetCurrentPeriod();
    if (moment != 0) {
        period.SetId(periodKey);
    }
    if (period.GetId() == -1) {
        return;
    }
    if (!db->GetTablePeriods()->FindAndFill(period)) {
        LogFormateado(1, "ExecuteActions: the frame %d is gone", period.GetId());
        return;
    }
    CStrPlace place;
    place.SetId(period.GetIdPlace());
    db->GetTablePlaces()->FindAndFill(place);
    CRilMgr* engine = CRilMgr::GetInstance();
    if (GetLockedMode() && moment == 0 && engine && engine->GetCurrentPlace() == -1) {
        engine->SetCurrentPlace(period.GetIdPlace());
    }
    ExecuteSchedule(period, moment);
    // The panel follows every execution: the place and frame at a start, nothing after an end
    // (until the next start, which comes at once when the phone moved to another known place).
    if (moment == 0) {
        UpdateWindowPlace(place, period);
    } else {
        ShowPlaceAndFrame(std::string(), std::string());
    }
    if (period.GetEnabled() == 0) {
        CActionExecutor::LogSkippedFrame(period);
        return;
    }
    _executor->Run(*db, period, place, moment);
}

void CScheduleEngine::SetTheme(const std::string& name) {
    CActionThreads::SetTheme(name);
}

std::string CScheduleEngine::DescribeState() const {
    CStrPeriod period = GetCurrentPeriod();
    std::string out;
    out += "frame=" + std::to_string(period.GetId()) + "\n";
    out += "frame_name=" + (period.GetId() == -1 ? std::string() : period.GetName()) + "\n";
    out += "frame_place=" + std::to_string(period.GetId() == -1 ? 0 : period.GetIdPlace()) + "\n";
    out += "frame_weekday=" + std::to_string(period.GetId() == -1 ? 0 : period.GetWeekDay()) + "\n";
    out += "engine_location=" + std::to_string(GetCurrentLocation()) + "\n";
    out += "locked=" + std::to_string(GetLockedMode()) + "\n";
    out += "locked_place=" + std::to_string(GetLockedMode() ? GetLockedPlace().GetId() : 0) + "\n";
    out += "executions=" + std::to_string(GetExecutions()) + "\n";
    out += "status_reports=" + std::to_string(GetStatusReports()) + "\n";
    out += "engine_pending=" + std::to_string(GetCountCommandsPending()) + "\n";
    return out;
}
