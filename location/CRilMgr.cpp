#include "location/CRilMgr.h"

#include <cstdio>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "location/CCellMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/CNotificationBroker.h"
#include "platform/Services.h"
#include "store/CDB.h"
#include "store/CStrCell.h"
#include "store/CStrLocation.h"
#include "store/CStrPlace.h"
#include "store/CTableCell.h"
#include "store/CTablePlaces.h"

std::atomic<CRilMgr*> CRilMgr::_instance{nullptr};

namespace {

constexpr auto kLocalMachine = platform::RegRoot::LocalMachine;

CMobilePhoneMgr* phoneMgr() {
    return CMobilePhoneMgr::GetInstance();
}

}  // namespace

// ---------------------------------------------------------------------------------------------

CRilMgr::CRilMgr()
    : CMgr(MGR_RIL),
      _history(GetCurrentDirectory(), CConfigurationZentrova::GetLongOr("battery_file_size", 100)) {
    _instance.store(this);
}

CRilMgr::~CRilMgr() {
    StopTestChangeLocation();
    {
        std::lock_guard lock(_stopLock);
        _stopping = true;
    }
    _stopSignal.notify_all();
    if (_batteryThread.joinable()) {
        _batteryThread.join();
    }
    if (_listening.exchange(false)) {
        if (CNotificationBroker* broker = CNotificationBroker::GetInstance()) {
            broker->RemoveNotificationBrokerListener(this);
        }
        for (auto* notification : {&batteryNotification, &periodNotification}) {
            if (platform::HREGNOTIFY h = notification->exchange(0)) {
                platform::Services::get().registry().closeNotification(h);
            }
        }
    }
    if (_listeningPhone.exchange(false)) {
        if (CMobilePhoneMgr* phone = phoneMgr()) {
            phone->RemoveStatusListener(this);
        }
    }
    CloseRil();
    Stop();
    ClearTimeLimitNotification(-1);
    CRilMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

bool CRilMgr::ManagerEnabled() {
    return ConfigChar() != '0';
}

std::string& CRilMgr::GetNameMgr(std::string& name) {
    name = CTextsMgr::Text("EVENT_LOG_MGR_LOCATION_NAME");
    return name;
}

std::string& CRilMgr::GetNameStatus(int status, std::string& name) {
    name = std::to_string(status);
    return name;
}

void CRilMgr::Initialize() {
    _instance.store(this);
    locationMode = static_cast<int>(CConfigurationZentrova::GetLongOr("location_mode", 1));
    if (CConfigurationZentrova::GetLongOr("first_execution_after_install", 0) != 0) {
        CConfigurationZentrova::GetInstance()->SetLongParameter("first_execution_after_install", 0);
    }
    if (!ManagerEnabled()) {
        SetStatus(kStatusUnknown);
        return;
    }
    // The manager's own status says only that it works: listeners read the location values.
    SetStatus(0);
    EnableRilNotifications(static_cast<int>(CConfigurationZentrova::GetLongOr("allow_ril_notifications", 1)));
    RefreshStatus(1);
    if (CNotificationBroker* broker = CNotificationBroker::GetInstance()) {
        broker->AddNotificationBrokerListener(this);
        _listening = true;
        platform::HREGNOTIFY handle = 0;
        broker->RegisterNotification(kLocalMachine, kBatteryKey, kBatteryValue, kBatteryMask, handle, 0);
        batteryNotification = handle;
        // A new polling period takes effect when the user changes it, not at the next start.
        handle = 0;
        broker->RegisterNotification(kLocalMachine, CConfigurationZentrova::kKeyPath, kRefreshPeriodValue,
                                     0xFFFFFFFF, handle, 0);
        periodNotification = handle;
    }
    if (!_batteryThread.joinable()) {
        _batteryThread = std::thread([this] { BatteryThread(); });
    }
    if (CMobilePhoneMgr* phone = phoneMgr(); phone && !_listeningPhone.exchange(true)) {
        phone->AddStatusListener(this);
    }
    RefreshRegistryPoolingLocations();
}

void CRilMgr::SetMaxPower() {
    ForceStatus(0, 0, 0, 0);
}

void CRilMgr::ForceStatusChild(int, int) {
    // ForceStatus cleared this manager's notification, which is the polling wake-up: arm it again.
    if (refreshMode.load() >= 1 && refreshPeriod.load() > 0) {
        SetTimeLimitNotification(GetMgrId(), refreshPeriod.load(), 0);
    }
}

void CRilMgr::NotifyTodayPluginOfStatus(IMainPanel& panel) {
    // The companion shows the serving cell and area, not a status.
    panel.NotifyTodayPluginChangePosition(cellId.load(), areaCode.load());
}

// ---------------------------------------------------------------------------------------------
// Radio interface

void CRilMgr::CloseRil() {
    std::lock_guard lock(_rilLock);
    if (platform::RilHandle handle = hRil.exchange(0)) {
        platform::Services::get().radioInterface().close(handle);
    }
}

void CRilMgr::EnableRilNotifications(int enable) {
    CloseRil();
    std::lock_guard lock(_rilLock);
    auto result = [this](uint32_t code, long id, const std::vector<uint8_t>& data) {
        ResultCallback(code, id, data);
    };
    platform::RilNotifyCallback notify;
    uint32_t classes = 0;
    if (enable) {
        notify = [this](uint32_t code, const std::vector<uint8_t>& data) { NotifyCallback(code, data); };
        classes = platform::RIL_NCLASS_NETWORK_MISC;
    }
    platform::RilHandle handle = 0;
    platform::Result rc = platform::ERROR_NOT_SUPPORTED;
    try {
        rc = platform::Services::get().radioInterface().open(kRilPort, result, notify, classes, handle);
    } catch (const std::exception& e) {
        LogFormateado(1, "No radio interface: %s", e.what());
    }
    if (rc == platform::ERROR_SUCCESS) {
        hRil = handle;
        CLogMgr::Log(GetMgrId(), 1, CTextsMgr::Text("EVENT_LOG_RIL_INIT_OK_RESUME"),
                     CTextsMgr::Text("EVENT_LOG_RIL_INIT_OK_DESCRIPTION"));
    } else {
        CLogMgr::Log(GetMgrId(), 3, CTextsMgr::Text("EVENT_LOG_RIL_INIT_KO_RESUME"),
                     CTextsMgr::Text("EVENT_LOG_RIL_INIT_KO_DESCRIPTION"));
    }
}

void CRilMgr::RefreshStatusChild(int mode) {
    stateWhenRequest = platform::POWER_STATE_ON;
    refreshStatusMode = mode;
    RefreshLAC();
    RefreshSigalLevel();
    RefreshBatteryLevel();
}

// The request and the keeping of its id are one step for the result callback, which may run
// before the request call has returned.
void CRilMgr::RefreshLAC() {
    std::lock_guard lock(_requestLock);
    if (platform::RilHandle handle = hRil.load()) {
        towerInfoRequest = platform::Services::get().radioInterface().getCellTowerInfo(handle);
    }
}

void CRilMgr::RefreshSigalLevel() {
    std::lock_guard lock(_requestLock);
    if (platform::RilHandle handle = hRil.load()) {
        signalInfoRequest = platform::Services::get().radioInterface().getSignalQuality(handle);
    }
}

void CRilMgr::RefreshEquipmentState() {
    std::lock_guard lock(_requestLock);
    if (platform::RilHandle handle = hRil.load()) {
        stateInfoRequest = platform::Services::get().radioInterface().getEquipmentState(handle);
    }
}

void CRilMgr::ResultCallback(uint32_t code, long requestId, const std::vector<uint8_t>& data) {
    IncCommands();
    if (!ManagerEnabled() || requestId < 0) {
        return;
    }
    long tower;
    long signal;
    {
        std::lock_guard lock(_requestLock);  // waits for a request still keeping its id
        tower = towerInfoRequest.load();
        signal = signalInfoRequest.load();
    }
    if (requestId == tower) {
        IncLocResponses();
        if (code != platform::RIL_RESULT_OK) {
            // No serving cell (the radio is off): the reading ends here.
            refreshStatusMode = 0;
            stateWhenRequest = 0;
            return;
        }
        int area = platform::RilWord(data, platform::RIL_CELLTOWER_LAC_OFFSET);
        int cell = platform::RilWord(data, platform::RIL_CELLTOWER_CELLID_OFFSET);
        if (generateBadLocations.load()) {
            area = kBadLocation;
            cell = kBadLocation;
        }
        LocationChanged(cell, area, 0);
    } else if (requestId == signal) {
        if (code == platform::RIL_RESULT_OK) {
            ReadLevelsFromSignal(data, true);
        }
    }
    // Equipment-state replies carry nothing the engine uses.
}

void CRilMgr::ReadLevelsFromSignal(const std::vector<uint8_t>& data, bool honourRefreshMode) {
    int level = ProcessQualityInfo(data);
    if (level != signalLevel.load() || (honourRefreshMode && refreshStatusMode.load() != 0)) {
        SetSignalLevel(level);
        FireStatusChanged(IStatusListener::kCodeSignal);
        RefreshPanelControlSignal();
    }
}

void CRilMgr::NotifyCallback(uint32_t code, const std::vector<uint8_t>& data) {
    IncEvents();
    if (code == platform::RIL_NOTIFY_LOCATIONUPDATE) {
        IncLocEvents();
        if (CConfigurationZentrova::GetLongOr("location_notification_received", 1) == 0) {
            CConfigurationZentrova::GetInstance()->SetLongParameter("location_notification_received", 1);
        }
        int area = platform::RilWord(data, 4);
        int cell = platform::RilWord(data, 8);
        if (generateBadLocations.load()) {
            area = kBadLocation;
            cell = kBadLocation;
        }
        LocationChanged(cell, area, 1);
    } else if (code == platform::RIL_NOTIFY_SIGNALQUALITY) {
        ReadLevelsFromSignal(data, false);
    }
}

int CRilMgr::ProcessQualityInfo(const std::vector<uint8_t>& record) {
    const uint32_t mask = static_cast<uint32_t>(platform::RilWord(record, 4));
    const uint32_t needed =
        platform::RIL_PARAM_SQ_MINSIGNALSTRENGTH | platform::RIL_PARAM_SQ_MAXSIGNALSTRENGTH;
    if ((mask & needed) != needed) {
        return -1;
    }
    const long strength = platform::RilWord(record, 8);
    const long minimum = platform::RilWord(record, 12);
    const long maximum = platform::RilWord(record, 16);
    if (maximum <= minimum) {
        // No range to place the strength in: full at or above the maximum, none below it.
        return strength >= maximum ? kMaxLevel : 0;
    }
    const long m = (-minimum - maximum) / 2;
    const long level = kMaxLevel * (strength + maximum + 2 * m) / (maximum - minimum);
    // A strength outside the reported range is still a level of the bar.
    return static_cast<int>(level < 0 ? 0 : (level > kMaxLevel ? kMaxLevel : level));
}

// ---------------------------------------------------------------------------------------------
// Readings

int CRilMgr::GetLocationModeSetting() {
    if (CRilMgr* engine = GetInstance()) {
        return engine->GetLocationMode();
    }
    return static_cast<int>(CConfigurationZentrova::GetLongOr("location_mode", 1));
}

bool CRilMgr::FindPlaceOfLocation(int location, CStrPlace& place) {
    try {
        CDB* db = CDB::GetOpened();
        if (!db) {
            return false;
        }
        // The record and the table of the configured mode: cells or location area codes.
        std::unique_ptr<CStrLocation> record = CStrLocation::GetInstance();
        record->SetLocation(location);
        auto* table = dynamic_cast<CTableBase*>(db->GetTableLocations());
        if (!table || !table->FindAndFill(*record) || !record->IsAssociated()) {
            return false;
        }
        CStrPlace found;
        found.SetId(record->GetIdPlace());
        if (!db->GetTablePlaces()->FindAndFill(found)) {
            return false;
        }
        place = found;
        return true;
    } catch (const CBaseException& e) {
        LogFormateado(1, "Location lookup: %s", e.GetMessageW());
        return false;
    }
}

void CRilMgr::LocationChanged(int cell, int area, int fromNotification) {
    if (cell < 1 || area < 1) {
        refreshStatusMode = 0;
        stateWhenRequest = 0;
        // A notification without a cell: the radio is on but has no coverage. The listeners
        // hear it once, so that the schedule keeps the last place.
        if (fromNotification && cell == 0 && area == 0 && !noCoverage.exchange(true)) {
            cellId = 0;
            areaCode = 0;
            FireStatusChanged(IStatusListener::kCodeLocation);
        }
        return;
    }
    noCoverage = false;
    std::lock_guard lock(_locationLock);
    uint32_t powerState = 0;
    platform::Services::get().power().GetSystemPowerState(powerState);
    LogFormateado(2, "LocationChanged(%d,%d,%d) power state 0x%x", cell, area, fromNotification, powerState);

    // The place always comes from the cells table by cell id.
    const int oldPlace = currentPlace.load();
    int newPlace = 0;
    try {
        if (CDB* db = CDB::GetOpened()) {
            CStrCell record;
            record.SetIdCell(cell);
            if (db->GetTableCell()->FindAndFill(record)) {
                newPlace = record.GetIdPlace();
            }
        }
    } catch (const CBaseException& e) {
        LogFormateado(1, "Cell lookup: %s", e.GetMessageW());
    }
    currentPlace = newPlace;
    const bool placeChanged = newPlace != oldPlace;
    const bool notify = !(radioTurnedOnForRefresh.load() && !placeChanged);

    if (cell == cellId.load() && area == areaCode.load()) {
        if (refreshStatusMode.load() != 0) {
            FireStatusChanged(IStatusListener::kCodeLocation);
        }
    } else {
        if (CConfigurationZentrova::GetLongOr("vibrate_on_change_cell", 0) != 0) {
            if (CMobilePhoneMgr* phone = phoneMgr()) {
                phone->Vibrate(1000);
            }
        }
        cellId = cell;
        areaCode = area;
        CCellMgr::GetInstance()->CellChanged(cell, area, fromNotification ? 1 : 0);
        if (notify) {
            FireStatusChanged(IStatusListener::kCodeLocation);
        }
    }
    if (!fromNotification && wokenForRefresh.exchange(0)) {
        // A device woken for the poll goes back to sleep.
        platform::Services::get().power().SetSystemPowerState(platform::POWER_STATE_USERIDLE);
    }
    if (radioTurnedOnForRefresh.exchange(0)) {
        if (!placeChanged && newPlace >= 1) {
            if (CMobilePhoneMgr* phone = phoneMgr()) {
                phone->SwitchForPoll(1);
            }
        }
    }
    refreshStatusMode = 0;
    stateWhenRequest = 0;
}

int CRilMgr::GetLocation() const {
    return locationMode.load() == 0 ? areaCode.load() : cellId.load();
}

void CRilMgr::SetLocation(int location) {
    if (locationMode.load() == 0) {
        areaCode = location;
    } else {
        cellId = location;
    }
    FireStatusChanged(IStatusListener::kCodeLocation);
}

void CRilMgr::SetLocationMode(int mode) {
    locationMode = mode;
    CConfigurationZentrova::GetInstance()->SetLongParameter("location_mode", static_cast<uint32_t>(mode));
}

bool CRilMgr::GetCurrentPlace(CStrPlace& place) {
    CStrPlace found;
    if (!FindPlaceOfLocation(GetLocation(), found)) {
        return false;
    }
    place = found;
    return true;
}

bool CRilMgr::IsCurrentPlaceKnown() {
    CStrPlace place;
    return FindPlaceOfLocation(GetLocation(), place);
}

// ---------------------------------------------------------------------------------------------
// Polling

void CRilMgr::RefreshRegistryPoolingLocations() {
    const int oldPeriod = refreshPeriod.load();
    const int oldMode = refreshMode.load();
    const int period = static_cast<int>(CConfigurationZentrova::GetLongOr("refresh_location", 0));
    const int mode =
        period == 0 ? 0 : (CConfigurationZentrova::GetLongOr("awake_to_refresh_location", 0) != 0 ? 2 : 1);
    refreshPeriod = period;
    refreshMode = mode;
    const bool polling = mode >= 1 && period > 0;
    if (oldPeriod == -1) {
        if (polling) {
            SetTimeLimitNotification(GetMgrId(), period, 0);
        }
        return;
    }
    const bool wasPolling = oldMode >= 1 && oldPeriod > 0;
    if (polling && (!wasPolling || period != oldPeriod)) {
        // Started, or a new period: the next poll is one new period from now.
        SetTimeLimitNotification(GetMgrId(), period, 0);
    } else if (!polling && wasPolling) {
        ClearTimeLimitNotification(-1);
    }
}

void CRilMgr::ProcessTimerNotification(int n) {
    radioTurnedOnForRefresh = 0;
    if (n != 0 || refreshMode.load() < 1 || refreshPeriod.load() <= 0) {
        return;
    }
    auto& services = platform::Services::get();
    auto& clock = services.clock();
    CMobilePhoneMgr* phone = phoneMgr();
    auto radioOff = [phone] { return phone && phone->GetStatus() != 0; };
    const bool mayTurnOn = CConfigurationZentrova::GetLongOr("refresh_location_turn_on_radio", 0) != 0;
    if (!(radioOff() && !mayTurnOn)) {
        RefreshEquipmentState();
        uint32_t flags = 0;
        services.power().GetSystemPowerState(flags);
        stateWhenRequest = flags;
        if (radioOff()) {
            services.power().SetSystemPowerState(platform::POWER_STATE_IDLE);
            radioTurnedOnForRefresh = 1;
            phone->SwitchForPoll(0);
            clock.sleep(kRadioOnWaitMs);
            for (int i = 0; i < kRadioChecks && radioOff(); ++i) {
                phone->RefreshStatus(0);
                if (!radioOff()) {
                    break;
                }
                clock.sleep(kRadioCheckMs);
            }
            clock.sleep(kRadioCheckMs);
        }
        if (refreshMode.load() == 2) {
            for (int attempt = 0; attempt < kWakeAttempts && (flags & platform::POWER_STATE_ON) == 0;
                 ++attempt) {
                wokenForRefresh = 1;
                if (attempt > 0) {
                    clock.sleep(kWakeRetryMs);
                }
                services.power().SetSystemPowerState(platform::POWER_STATE_ON);
                services.power().GetSystemPowerState(flags);
            }
            stateWhenRequest = flags;
        }
        if (!radioOff()) {
            RefreshLAC();
        } else {
            // The radio did not come on: this poll is skipped.
            radioTurnedOnForRefresh = 0;
        }
    }
    SetTimeLimitNotification(GetMgrId(), refreshPeriod.load(), 0);
}

void CRilMgr::StatusChanged(int status, int mgrId, int) {
    if (mgrId != MGR_PHONE) {
        return;
    }
    if (status != 0) {
        signalLevel = 0;
        cellId = 0;
        areaCode = 0;
        noCoverage = false;  // the radio is off, which is another case
        RefreshPanelControlSignal();
    } else {
        RefreshStatus(1);
    }
}

// ---------------------------------------------------------------------------------------------
// Simulation

void CRilMgr::StartTestChangeLocation() {
    std::lock_guard threadLock(_testThreadLock);
    if (testRunning.exchange(1)) {
        TextBox("Test was already running");
        return;
    }
    if (_testThread.joinable()) {
        _testThread.join();
    }
    _testThread = std::thread([this] {
        for (int n = 10; testRunning.load(); ++n) {
            LocationChanged(n, 234, 1);
            if (!PauseUnlessStopping(kSimulationStepMs, true)) {
                break;
            }
        }
    });
}

void CRilMgr::StopTestChangeLocation() {
    {
        std::lock_guard lock(_stopLock);
        testRunning = 0;
    }
    _stopSignal.notify_all();
    // Once stopped, no simulated reading comes any more.
    std::lock_guard threadLock(_testThreadLock);
    if (_testThread.joinable() && _testThread.get_id() != std::this_thread::get_id()) {
        _testThread.join();
    }
}

bool CRilMgr::PauseUnlessStopping(uint32_t ms, bool simulation) {
    auto real = platform::Services::get().clock().realDuration(ms);
    std::unique_lock lock(_stopLock);
    _stopSignal.wait_for(lock, real, [&] { return _stopping || (simulation && !testRunning.load()); });
    return !_stopping && (!simulation || testRunning.load());
}

// ---------------------------------------------------------------------------------------------
// Panel

void CRilMgr::RefreshPanelControlAll() {
    IMainPanel::With([](IMainPanel& panel) { panel.InvalidatePanel(IMainPanel::Area::All); });
}

void CRilMgr::RefreshPanelControlSignal() {
    IMainPanel::With([](IMainPanel& panel) { panel.InvalidatePanel(IMainPanel::Area::Signal); });
}

void CRilMgr::RefreshPanelControlBattery() {
    IMainPanel::With([](IMainPanel& panel) { panel.InvalidatePanel(IMainPanel::Area::Battery); });
}

// ---------------------------------------------------------------------------------------------
// Battery and current

void CRilMgr::HandleNotification(platform::HREGNOTIFY notification) {
    if (notification != 0 && notification == periodNotification.load()) {
        RefreshRegistryPoolingLocations();
        return;
    }
    if (notification == 0 || notification != batteryNotification.load()) {
        return;
    }
    int before = batteryLevel.load();
    RefreshBatteryLevel();
    if (batteryLevel.load() != before) {
        FireStatusChanged(IStatusListener::kCodeBattery);
    }
}

void CRilMgr::BatteryThread() {
    for (;;) {
        RefreshBatteryLevel();
        long seconds = CConfigurationZentrova::GetLongOr("refresh_battery_time", 60);
        if (seconds <= 0) {
            seconds = 60;
        }
        if (!PauseUnlessStopping(static_cast<uint32_t>(seconds) * 1000)) {
            return;
        }
    }
}

void CRilMgr::RefreshBatteryLevel() {
    if (!ManagerEnabled()) {
        return;
    }
    platform::PowerStatus power;
    if (platform::Services::get().power().GetPowerStatus(power) != platform::ERROR_SUCCESS) {
        return;
    }
    if (power.batteryLifePercent != batteryLevel.load()) {
        SetBatteryLevel(power.batteryLifePercent);
        FireStatusChanged(IStatusListener::kCodeBattery);
        RefreshPanelControlBattery();
        LogBatteryLevel();
    }
    if (power.batteryCurrent != currentLevel.load()) {
        SetCurrentLevel(power.batteryCurrent);
        FireStatusChanged(IStatusListener::kCodeBattery);
        RefreshPanelControlBattery();
        LogCurrentLevel();
    }
}

void CRilMgr::LogBatteryLevel() {
    _history.LogBattery(batteryLevel.load());
}

void CRilMgr::LogCurrentLevel() {
    _history.LogCurrent(currentLevel.load());
}

void CRilMgr::ClearBatteryHistory() {
    if (QuestionBox(CTextsMgr::Text("DIALOG_BATTERY_CLEAN_HISTORY_CONFIRMATION").c_str()) != IDYES_ANSWER) {
        return;
    }
    if (_history.ClearBattery()) {
        LogBatteryLevel();
    }
}

void CRilMgr::ClearCurrentHistory() {
    if (QuestionBox(CTextsMgr::Text("DIALOG_CURRENT_CLEAN_HISTORY_CONFIRMATION").c_str()) != IDYES_ANSWER) {
        return;
    }
    if (_history.ClearCurrent()) {
        LogCurrentLevel();
    }
}
