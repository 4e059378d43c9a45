#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "managers/CMgr.h"
#include "managers/INotificationBrokerListener.h"
#include "platform/IRegistry.h"

// The Wi-Fi manager through the power manager: the adapter is found by its power-manageable
// device name, switched by setting its device power state, and read from the system-state value
// the platform keeps for Wi-Fi. Status: -1 unknown, 0 off, 1 on.
class CWifiMgr : public CMgr, public INotificationBrokerListener {
  public:
    static constexpr const char* kAdapterClass = "{98C5250D-C29A-4985-AE5F-AFE5367E5006}";
    static constexpr const char* kPowerStateKey = "System\\CurrentControlSet\\Control\\Power\\State";
    static constexpr const char* kHardwareKey = "System\\State\\Hardware";
    static constexpr const char* kWifiValue = "Wifi";
    static constexpr size_t kValueNameBuffer = 200;

    CWifiMgr();
    ~CWifiMgr() override;

    // The one Wi-Fi manager of the program.
    static CWifiMgr* GetInstance() { return _instance.load(); }

    void Initialize() override;
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_WIFI; }
    void RefreshStatusChild(int force) override;
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override;
    void ProcessTimerNotification(int value) override;
    void HandleCommandChild(int, int) override {}
    void HandleNotification(platform::HREGNOTIFY notification) override;

    virtual void SwapStatus();
    virtual void GetDeviceName();

    std::string GetDeviceNameText() const;

  protected:
    static void SetInstance(CWifiMgr* mgr) { _instance.store(mgr); }
    // Joins the broker and asks it to watch the Wi-Fi system-state value.
    void RegisterForChanges();

  private:
    static std::atomic<CWifiMgr*> _instance;
    mutable std::mutex _nameLock;
    std::string deviceName;
    std::atomic<platform::HREGNOTIFY> wifiNotification{0};
    std::atomic<bool> _listening{false};
};
