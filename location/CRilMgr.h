#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "location/CBatteryHistory.h"
#include "managers/CMgr.h"
#include "managers/ILocationEngine.h"
#include "managers/INotificationBrokerListener.h"
#include "managers/IStatusListener.h"
#include "platform/IRadioInterface.h"

class CStrPlace;

// The location engine. It keeps a connection to the radio interface, asks it for the serving
// cell, the signal quality and the equipment state, takes its unsolicited notifications, and
// turns each reading into a location change: the cell is looked up among the cells the user
// associated with places, recorded in the cell history, and the listeners (above all the schedule
// engine) are told with code 1. It polls on a period through the manager's time-limit
// notification, waking the device or switching the phone radio on for a reading when allowed.
//
// It also follows the battery level and current (code 2 to the listeners) and keeps their
// history files, and the signal level (code 0).
class CRilMgr : public CMgr,
                public INotificationBrokerListener,
                public IStatusListener,
                public ILocationEngine {
  public:
    static constexpr uint32_t kRilPort = 1;
    static constexpr int kBadLocation = 2345;
    static constexpr int kMaxLevel = 100;
    static constexpr const char* kBatteryKey = "System\\State\\Battery";
    static constexpr const char* kBatteryValue = "Main";
    static constexpr uint32_t kBatteryMask = 0xFFFF0000;
    static constexpr const char* kRefreshPeriodValue = "refresh_location";
    // Phone milliseconds of the polling step.
    static constexpr uint32_t kRadioOnWaitMs = 15000;
    static constexpr uint32_t kRadioCheckMs = 5000;
    static constexpr int kRadioChecks = 5;
    static constexpr uint32_t kWakeRetryMs = 2000;
    static constexpr int kWakeAttempts = 4;
    static constexpr uint32_t kSimulationStepMs = 5000;

    CRilMgr();
    ~CRilMgr() override;

    static CRilMgr* GetInstance() { return _instance.load(); }

    void Initialize() override;
    int IsRefreshSynchronus() override { return 0; }
    int GetMgrId() override { return MGR_RIL; }
    void RefreshStatusChild(int mode) override;
    // A forced change (an action, SetMaxPower) reads the location again; polling goes on.
    void ForceStatusChild(int, int) override;
    void SetMaxPower() override;
    void HandleCommandChild(int, int) override {}
    // The polling step.
    void ProcessTimerNotification(int n) override;
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    void HandleNotification(platform::HREGNOTIFY notification) override;
    // Follows the phone radio: off forgets cell, area and signal; on reads them again.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override { return GetNameMgr(_listenerName); }

    void EnableRilNotifications(int enable);
    void RefreshLAC();
    void RefreshSigalLevel();
    void RefreshEquipmentState();
    // Processes one reading of the serving cell.
    void LocationChanged(int cell, int area, int fromNotification);
    void RefreshRegistryPoolingLocations();
    void SetLocationMode(int mode);
    int GetLocationMode() const { return locationMode.load(); }
    // The area code in location-area mode, the cell id in cell mode.
    int GetLocation() const;
    // The current location (by mode) becomes `location`; listeners hear of it.
    void SetLocation(int location) override;
    platform::RilHandle GetRilHandle() override { return GetHRil(); }
    // Looks the current location up among the place associations and fills `place`.
    bool GetCurrentPlace(CStrPlace& place);
    int GetCurrentPlace() const { return currentPlace.load(); }
    void SetCurrentPlace(int place) { currentPlace.store(place); }
    bool IsCurrentPlaceKnown();
    // The signal level 0..100 of a signal-quality record; -1 when it lacks minimum or maximum.
    static int ProcessQualityInfo(const std::vector<uint8_t>& record);
    void StartTestChangeLocation();
    void StopTestChangeLocation();
    void RefreshPanelControlAll();
    void RefreshPanelControlSignal();
    void RefreshPanelControlBattery();

    // Looks a location value (cell or area code, by the configured mode) up among the place
    // associations; true and `place` filled when it belongs to an existing place.
    static bool FindPlaceOfLocation(int location, CStrPlace& place);
    // The location mode of the engine when it exists, else the stored setting.
    static int GetLocationModeSetting();

    // Battery and current.
    void RefreshBatteryLevel();
    void ClearBatteryHistory();
    void ClearCurrentHistory();
    int GetBatteryLeval() const { return batteryLevel.load(); }
    // The level as the phone gives it: above 100 (255 is "unknown") it is kept as it is, so that a
    // reading that does not change is not a change.
    void SetBatteryLevel(int level) { batteryLevel.store(level); }
    int GetCurrentLevel() const { return currentLevel.load(); }
    void SetCurrentLevel(int level) { currentLevel.store(level); }
    std::filesystem::path GetBatteryLogPath() const { return _history.BatteryPath(); }
    std::filesystem::path GetCurrentLogPath() const { return _history.CurrentPath(); }

    // Radio interface callbacks.
    void ResultCallback(uint32_t code, long requestId, const std::vector<uint8_t>& data);
    void NotifyCallback(uint32_t code, const std::vector<uint8_t>& data);

    platform::RilHandle GetHRil() const { return hRil.load(); }
    int GetCellID() const { return cellId.load(); }
    // The radio is on but the last notification had no serving cell.
    bool IsWithoutCoverage() const { return noCoverage.load(); }
    int GetAreaCode() const { return areaCode.load(); }
    int GetSignalLevel() const { return signalLevel.load(); }
    void SetSignalLevel(int level) {
        signalLevel.store(level < -1 ? 0 : (level > kMaxLevel ? kMaxLevel : level));
    }
    int GetRefreshMode() const { return refreshMode.load(); }
    int GetRefreshPeriod() const { return refreshPeriod.load(); }
    int GetRefreshStatusMode() const { return refreshStatusMode.load(); }
    uint32_t GetStateWhenRequest() const { return stateWhenRequest.load(); }
    long GetTowerInfo() const { return towerInfoRequest.load(); }
    long GetSigalInfo() const { return signalInfoRequest.load(); }
    long GetStateInfo() const { return stateInfoRequest.load(); }
    int GetGenerateBadLocations() const { return generateBadLocations.load(); }
    void SetGenerateBadLocations(int value) { generateBadLocations.store(value); }
    void BadLocations() { generateBadLocations.store(generateBadLocations.load() ? 0 : 1); }
    int IsTestRunning() const { return testRunning.load(); }
    int GetRadioTurnedOnForRefresh() const { return radioTurnedOnForRefresh.load(); }
    int GetEvents() const { return events.load(); }
    int GetLocEvents() const { return locEvents.load(); }
    int GetLocResponses() const { return locResponses.load(); }
    int GetCommands() const { return commands.load(); }
    void IncEvents() { ++events; }
    void IncLocEvents() { ++locEvents; }
    void IncLocResponses() { ++locResponses; }
    void IncCommands() { ++commands; }

  protected:
    void NotifyTodayPluginOfStatus(IMainPanel& panel) override;
    void LogBatteryLevel();
    void LogCurrentLevel();

  private:
    bool ManagerEnabled();
    void ReadLevelsFromSignal(const std::vector<uint8_t>& data, bool honourRefreshMode);
    void BatteryThread();
    // Sleeps phone milliseconds unless the engine (or, for the simulation, the simulation) stops
    // first; false when stopping.
    bool PauseUnlessStopping(uint32_t ms, bool simulation = false);
    void CloseRil();

    static std::atomic<CRilMgr*> _instance;

    std::mutex _rilLock;      // opening and closing the connection
    std::mutex _requestLock;  // a request and the keeping of its id
    std::atomic<platform::RilHandle> hRil{0};
    std::atomic<int> cellId{0};
    std::atomic<bool> noCoverage{false};
    std::atomic<int> areaCode{0};
    std::atomic<int> signalLevel{0};
    std::atomic<int> locationMode{1};
    std::atomic<int> currentPlace{-1};
    std::atomic<int> refreshMode{0};
    std::atomic<int> refreshPeriod{-1};
    std::atomic<long> towerInfoRequest{0};
    std::atomic<long> signalInfoRequest{0};
    std::atomic<long> stateInfoRequest{0};
    std::atomic<int> refreshStatusMode{0};
    std::atomic<uint32_t> stateWhenRequest{0x10000};
    std::atomic<int> radioTurnedOnForRefresh{0};
    std::atomic<int> wokenForRefresh{0};
    std::atomic<int> generateBadLocations{0};
    std::atomic<int> testRunning{0};
    std::atomic<int> events{0};
    std::atomic<int> locEvents{0};
    std::atomic<int> locResponses{0};
    std::atomic<int> commands{0};
    std::mutex _locationLock;  // one reading at a time

    // Battery and current.
    std::atomic<int> batteryLevel{-1};
    std::atomic<int> currentLevel{0};
    CBatteryHistory _history;
    std::atomic<platform::HREGNOTIFY> batteryNotification{0};
    std::atomic<platform::HREGNOTIFY> periodNotification{0};
    std::atomic<bool> _listening{false};
    std::atomic<bool> _listeningPhone{false};

    std::mutex _stopLock;
    std::condition_variable _stopSignal;
    bool _stopping = false;
    std::thread _batteryThread;
    std::mutex _testThreadLock;  // starting and joining the simulation
    std::thread _testThread;
    std::string _listenerName;
};
