#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "managers/CMgr.h"
#include "managers/INotificationBrokerListener.h"
#include "platform/ISim.h"
#include "platform/ITelephony.h"

// The phone (cellular) radio: switched through the telephony line by equipment-state requests
// whose replies arrive later on the line's callback thread, read from the system-state value the
// platform keeps for the phone. It also unlocks a SIM that waits for its PIN with the PINs the
// user stored, follows whether external power is plugged in, and drives the vibrator.
//
// Its status is inverted with respect to the other managers: 0 means the radio is on, 1 off.
class CMobilePhoneMgr : public CMgr, public INotificationBrokerListener {
  public:
    static constexpr const char* kPhoneStateKey = "System\\State\\Phone";
    static constexpr const char* kPhoneStatusValue = "Status";
    static constexpr uint32_t kRadioOffBit = 16;
    static constexpr const char* kBatteryKey = "System\\State\\Battery";
    static constexpr const char* kBatteryValue = "Main";
    static constexpr uint32_t kAcMask = 0xFFFF;
    // Phone milliseconds a forced change waits for the radio before its status is read back.
    static constexpr uint32_t kSwitchWaitMs = 20000;
    static constexpr size_t kPinChars = 10;  // 9 characters and the terminator
    static constexpr size_t kPinStoredBytes = 100;
    static constexpr uint32_t kVibratorLed = 1;
    static constexpr int kTestRounds = 4000;
    // Worker command: a switch asked for by the location engine's poll.
    static constexpr int kCommandPollSwitch = 10;
    // Phone milliseconds between looks at a running operation before a poll's switch.
    static constexpr uint32_t kPollBlockedStepMs = 500;

    CMobilePhoneMgr();
    ~CMobilePhoneMgr() override;

    static CMobilePhoneMgr* GetInstance() { return _instance.load(); }

    void Initialize() override;
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_PHONE; }
    void RefreshStatusChild(int force) override;
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override;
    // A time-limited change ends by forcing the status the notification carries.
    void ProcessTimerNotification(int status) override;
    void HandleCommandChild(int command, int status) override;
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status == 0 || status == 1; }  // on, off
    void HandleNotification(platform::HREGNOTIFY notification) override;
    // Endurance run: switches the radio full and minimum in turn on a line of its own.
    void Test() override;

    // Switches the radio for a location poll (0 on, 1 off), on the worker thread like ForceStatus
    // but leaving a time-limited change of the user's (and its restore) as it is.
    void SwitchForPoll(int status);
    // Starts switching the radio to full power (on != 0) or minimum.
    void EstablecerRadio(int on);
    // The same for a manager status (0 on), without the busy check and the wait.
    void EstablecerRadioWrapper(int status);
    // Switches the radio off and on again through the line: unregister, minimum, full, register.
    void RestartRadio();

    bool IsPhoneOn() { return GetStatus() == 0; }
    int IsBlocked() const { return blocked.load(); }
    void SetBlocked(int value) { blocked.store(value); }
    void IncrementEventsReceived() { CountEvent(); }
    // 1 radio off, 0 on, -1 when the phone state cannot be read.
    long GetGSMStatus();
    void ResetCurrentOperation();
    void OpenLine();
    void CloseLine();
    void CheckSimBlock();
    void Vibrate(int milliseconds);
    // Stores a PIN enciphered in the configuration; an empty text is ignored.
    void SetPin(const std::string& pin);
    void SetPin2(const std::string& pin);
    std::string GetPin() const;
    std::string GetPin2() const;
    std::string GetModelName() const;
    int GetSOVersion() const { return soVersion.load(); }
    bool IsChangeBandNewSystem() const;
    int GetAcPlugged() const { return acPlugged.load(); }
    void RefreshAcPluggedState();
    int GetTurnOnAfterOff() const { return turnOnAfterOff.load(); }
    int GetOperationSecond() const { return operationSecond.load(); }

    // Replies of the telephony line; public so the line's callback can reach the manager.
    void LineCallback(uint32_t device, uint32_t message, uintptr_t instance, uintptr_t param1,
                      uintptr_t param2, uintptr_t param3);

  private:
    void LoadPin(const char* name, std::string& field);
    void StorePin(const char* name, const std::string& pin, std::string& field);
    void StampOperation();
    // Logs a failure of the line at severity 3 with the same text as summary and description.
    void LineError(const char* text);
    // A request that could not start ends the operation with `error` logged.
    void CheckStarted(long request, const char* error);
    void StartRegistration();
    void UnregisterFromBroker();
    // The change of ForceStatusChild; `endsTimeLimit` when switching off ends a time-limited change.
    void SwitchRadio(int status, bool endsTimeLimit);

    static std::atomic<CMobilePhoneMgr*> _instance;

    // Shared by the worker thread, the line callback and the broker thread.
    std::atomic<long> offRequest{0};
    std::atomic<long> onRequest{0};
    std::atomic<long> registerRequest{0};
    std::atomic<long> unregisterRequest{0};
    std::atomic<platform::SimHandle> simHandle{0};
    std::atomic<platform::LineHandle> lineHandle{0};
    std::atomic<int> acPlugged{0};
    std::atomic<int> blocked{0};
    std::atomic<int> operationSecond{0};
    std::atomic<int> turnOnAfterOff{-1};
    std::atomic<platform::HREGNOTIFY> phoneStatusNotification{0};
    std::atomic<platform::HREGNOTIFY> batteryNotification{0};
    std::atomic<bool> _listening{false};
    std::atomic<int> soVersion{0};
    std::mutex _lineLock;  // opening and closing the line
    // A request and the keeping of its id, against the reply; the replies chain new requests.
    std::recursive_mutex _requestLock;
    mutable std::mutex _textLock;
    std::string modelName;
    std::string pin;
    std::string pin2;
};
