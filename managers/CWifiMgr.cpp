#include "managers/CWifiMgr.h"

#include "core/MessageBoxes.h"
#include "core/TextBuffer.h"
#include "managers/CNotificationBroker.h"
#include "platform/IPower.h"
#include "platform/Services.h"

std::atomic<CWifiMgr*> CWifiMgr::_instance{nullptr};

namespace {

constexpr platform::RegRoot kLocalMachine = platform::RegRoot::LocalMachine;
// Every change of the value counts.
constexpr uint32_t kAnyChange = 0xFFFFFFFF;
// Above this the system-state value means the radio is on.
constexpr uint32_t kOnThreshold = 5;

}  // namespace

CWifiMgr::CWifiMgr() : CMgr(MGR_WIFI) {
    SetStatus(kStatusUnknown);
}

CWifiMgr::~CWifiMgr() {
    // No broker call may reach a manager that is going away.
    if (_listening.exchange(false)) {
        if (CNotificationBroker* broker = CNotificationBroker::GetInstance()) {
            broker->RemoveNotificationBrokerListener(this);
        }
        if (platform::HREGNOTIFY h = wifiNotification.exchange(0)) {
            platform::Services::get().registry().closeNotification(h);
        }
    }
    Stop();
    CWifiMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

void CWifiMgr::Initialize() {
    SetInstance(this);
    if (ConfigChar() == '0') {
        SetStatus(kStatusUnknown);
        return;
    }
    GetDeviceName();
    RegisterForChanges();
    RefreshStatus(1);
}

void CWifiMgr::RegisterForChanges() {
    CNotificationBroker* broker = CNotificationBroker::GetInstance();
    if (!broker) {
        return;
    }
    broker->AddNotificationBrokerListener(this);
    _listening = true;
    platform::HREGNOTIFY handle = 0;
    broker->RegisterNotification(kLocalMachine, kHardwareKey, kWifiValue, kAnyChange, handle, 0);
    wifiNotification = handle;
}

void CWifiMgr::GetDeviceName() {
    std::vector<std::string> names;
    if (platform::Services::get().registry().enumValues(kLocalMachine, kPowerStateKey, names) !=
        platform::ERROR_SUCCESS) {
        SetStatus(kStatusUnknown);
        return;
    }
    for (const std::string& name : names) {
        std::string shown = FitBuffer(name, kValueNameBuffer);
        if (shown.find(kAdapterClass) != std::string::npos) {
            std::lock_guard lock(_nameLock);
            deviceName = shown;
            return;
        }
    }
    SetStatus(kStatusUnknown);
}

std::string CWifiMgr::GetDeviceNameText() const {
    std::lock_guard lock(_nameLock);
    return deviceName;
}

void CWifiMgr::RefreshStatusChild(int) {
    uint32_t value = 0;
    if (platform::Services::get().registry().getDword(kLocalMachine, kHardwareKey, kWifiValue, value) !=
        platform::ERROR_SUCCESS) {
        SetStatus(kStatusUnknown);
        return;
    }
    SetStatus(value > kOnThreshold ? 1 : 0);
}

void CWifiMgr::ForceStatusChild(int status, int) {
    ClearTimeLimitNotification(-1);
    auto state = status != 0 ? platform::DevicePowerState::D0 : platform::DevicePowerState::D4;
    std::string name = GetDeviceNameText();
    platform::Result rc =
        name.empty() ? platform::ERROR_FILE_NOT_FOUND
                     : platform::Services::get().power().SetDevicePower(name, platform::POWER_NAME, state);
    if (rc == platform::ERROR_SUCCESS) {
        FireStatusChanged(0);
        return;
    }
    ProcesarError("Error swapping wifi");
    SetStatus(kStatusUnknown);
}

void CWifiMgr::SwapStatus() {
    if (GetStatus() == 0) {
        ForceStatus(1, 0, 0, 0);
    } else {
        ForceStatus(0, 0, 0, 0);
    }
}

void CWifiMgr::SetMaxPower() {
    ForceStatus(1, 0, 0, 0);
}

void CWifiMgr::ProcessTimerNotification(int) {
    if (CWifiMgr* wifi = GetInstance()) {
        wifi->SwapStatus();
    }
}

void CWifiMgr::HandleNotification(platform::HREGNOTIFY notification) {
    if (notification != 0 && notification == wifiNotification.load()) {
        CountEvent();
        RefreshStatus(1);
    }
}
