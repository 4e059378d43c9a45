#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "managers/CMgr.h"
#include "managers/IStatusListener.h"
#include "platform/ITelephony.h"

// The network band of the phone radio: automatic, 2G only or 3G only (status 0, 1, 2; -1
// unknown). The band is the OEM value the radio reads when it starts; a change writes it and then
// resets the radio through the manager's own telephony line (off, on, SIM check, registration),
// on the model families that need it after unregistering and a radio command of the maker. One
// reset at a time: a band change asked for during a reset is refused.
//
// A listener of the phone radio manager: any change it reports reads the band again.
class CBandMgr : public CMgr, public IStatusListener {
  public:
    static constexpr const char* kBandKey = "\\SOFTWARE\\OEM\\UMTS";
    static constexpr const char* kBandValue = "OpMode";
    // The maker's band command: four 32-bit words kBandCommand, 2, 1 and the band.
    static constexpr uint32_t kBandCommand = 0x34;
    static constexpr size_t kBandCommandSize = 16;
    // Phone milliseconds after the maker's command before the radio is switched off.
    static constexpr uint32_t kBandCommandWaitMs = 2000;
    // A reset that has not ended after this long (phone milliseconds) is taken as lost: the next
    // band change may start another.
    static constexpr uint32_t kResetGiveUpMs = 120000;
    // Worker command: the maker's radio command and the switch-off after it (on the families).
    static constexpr int kCommandBandCommand = 11;

    CBandMgr();
    ~CBandMgr() override;

    static CBandMgr* GetInstance() { return _instance.load(); }

    void Initialize() override;
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_BAND; }
    void RefreshStatusChild(int force) override;
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override;
    void ProcessTimerNotification(int status) override;
    void HandleCommandChild(int command, int value) override;
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status >= 0 && status <= 2; }

    // IStatusListener: the phone radio changed.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override { return GetNameMgr(_listenerName); }

    // The stored band (0, 1, 2), -1 when it cannot be read; writing it.
    long GetRegistryBand();
    void SetRegistryBand(long band);
    // Starts the reset of the radio; does nothing while one runs.
    void ResetRadio();
    // Ends the reset: no operation, finish event set, last execution 2.
    void ResetCurrentOperation();
    void OpenLine();
    void CloseLine();
    // 1: a band change resets the radio even when the band asked for is stored already.
    void SetManualChangeOfBand(int manual) { manualChangeOfBand.store(manual); }
    int GetmanualChangeOfBand() const { return manualChangeOfBand.load(); }
    int IsResetInProgress() const { return resetInProgress.load(); }

    void LineCallback(uint32_t device, uint32_t message, uintptr_t instance, uintptr_t param1,
                      uintptr_t param2, uintptr_t param3);

  private:
    void LineError(const char* text);
    // A request that could not start ends the reset with `error` logged; true when it started.
    bool Started(long request, const char* error);
    void RequestOff();
    // Status of the stored band: 0, 1, 2, else -1.
    int MappedRegistryBand();

    static std::atomic<CBandMgr*> _instance;

    std::atomic<long> offRequest{0};
    std::atomic<long> onRequest{0};
    std::atomic<long> registerRequest{0};
    std::atomic<long> unregisterRequest{0};
    std::atomic<int> resetInProgress{0};
    std::atomic<uint32_t> resetStartedTick{0};
    std::atomic<platform::LineHandle> lineHandle{0};
    std::atomic<int> manualChangeOfBand{0};
    std::atomic<int> turnOnAfterOff{-1};
    std::mutex _lineLock;
    // A request and the keeping of its id, against its reply.
    std::recursive_mutex _requestLock;
    std::string _listenerName;
};
