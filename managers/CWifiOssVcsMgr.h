#pragma once

#include <mutex>

#include "managers/CWifiMgr.h"
#include "platform/IWirelessDevices.h"

// The Wi-Fi manager the application creates: it switches and reads the radio through the phone's
// wireless-device list, and uses the power-state route only to power the adapter down when it
// switches off.
class CWifiOssVcsMgr : public CWifiMgr {
  public:
    static constexpr uint32_t kDeviceListWaitMs = 5000;  // real milliseconds
    // GetWDevState: the device list stayed busy for kDeviceListWaitMs.
    static constexpr unsigned long kDeviceListBusy = static_cast<unsigned long>(-3);
    static constexpr uint32_t kSaveAction = 2;

    CWifiOssVcsMgr();
    ~CWifiOssVcsMgr() override;

    void Initialize() override;
    void RefreshStatusChild(int force) override;
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SwapStatus() override;
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status == 0 || status == 1; }  // off, on

    // The phone radio through the same list.
    void SetPhone(int on);

  protected:
    // Sets every listed device of `deviceType` to `state`: 0 success, -1 the list could not be
    // obtained, -2 the (last) change failed.
    unsigned long SetWDevState(uint32_t deviceType, uint32_t state);
    // Copies each listed device's state to the value of its type: 0 success (also when the
    // device services are missing: nothing is written), -1 the list could not be obtained,
    // kDeviceListBusy the list's lock was not had in time.
    unsigned long GetWDevState(uint32_t& wifi, uint32_t& phone, uint32_t& bluetooth);

  private:
    // Takes the device-list lock within kDeviceListWaitMs (real time); not owned after that.
    std::unique_lock<std::mutex> LockDeviceList();

    std::mutex deviceListLock;
    platform::IWirelessDevices* _devices = nullptr;  // the phone's, not owned
};
