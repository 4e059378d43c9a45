#include "managers/CWifiOssVcsMgr.h"

#include <chrono>
#include <thread>

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "platform/Services.h"

CWifiOssVcsMgr::CWifiOssVcsMgr() {
    SetInstance(this);
}

CWifiOssVcsMgr::~CWifiOssVcsMgr() {
    Stop();
}

void CWifiOssVcsMgr::Initialize() {
    SetInstance(this);
    if (ConfigChar() == '0') {
        SetStatus(kStatusUnknown);
        return;
    }
    _devices = platform::Services::get().wirelessDevices();
    if (!_devices) {
        // The phone offers no wireless-device services.
        SetStatus(kStatusUnknown);
        return;
    }
    GetDeviceName();
    RegisterForChanges();
    RefreshStatus(1);
}

std::unique_lock<std::mutex> CWifiOssVcsMgr::LockDeviceList() {
    // Real time: the wait guards against a device list that hangs, which the phone's clock
    // (perhaps running fast) has nothing to do with. A plain mutex tried in short steps rather
    // than a timed one, whose timed wait the thread sanitizer does not follow.
    std::unique_lock<std::mutex> lock(deviceListLock, std::defer_lock);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeviceListWaitMs);
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= end) {
            LogFormateado(1, "Wi-Fi: the device list stayed busy for %d ms",
                          static_cast<int>(kDeviceListWaitMs));
            break;  // not locked: the caller treats the list as busy
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return lock;
}

unsigned long CWifiOssVcsMgr::SetWDevState(uint32_t deviceType, uint32_t state) {
    auto lock = LockDeviceList();
    if (!lock.owns_lock() || !_devices) {
        return static_cast<unsigned long>(-1);
    }
    std::vector<platform::WirelessDevice> list;
    if (_devices->GetWirelessDevices(list, 0) != 0) {
        return static_cast<unsigned long>(-1);
    }
    uint32_t last = 0;
    for (const auto& device : list) {
        if (device.deviceType == deviceType) {
            last = _devices->ChangeRadioState(device, state, kSaveAction);
        }
    }
    if (!list.empty()) {
        _devices->FreeDeviceList(list);
    }
    return last == 0 ? 0 : static_cast<unsigned long>(-2);
}

unsigned long CWifiOssVcsMgr::GetWDevState(uint32_t& wifi, uint32_t& phone, uint32_t& bluetooth) {
    auto lock = LockDeviceList();
    if (!lock.owns_lock()) {
        return kDeviceListBusy;
    }
    if (!_devices) {
        return 0;
    }
    std::vector<platform::WirelessDevice> list;
    if (_devices->GetWirelessDevices(list, 0) != 0) {
        return static_cast<unsigned long>(-1);
    }
    for (const auto& device : list) {
        switch (device.deviceType) {
            case platform::WDEVICE_WIFI:
                wifi = device.state;
                break;
            case platform::WDEVICE_PHONE:
                phone = device.state;
                break;
            case platform::WDEVICE_BLUETOOTH:
                bluetooth = device.state;
                break;
            default:
                break;
        }
    }
    if (!list.empty()) {
        _devices->FreeDeviceList(list);
    }
    return 0;
}

void CWifiOssVcsMgr::RefreshStatusChild(int) {
    uint32_t wifi = 0;
    uint32_t phone = 0;
    uint32_t bluetooth = 0;
    if (GetWDevState(wifi, phone, bluetooth) == kDeviceListBusy) {
        // Nothing was read: the radio may be on or off.
        SetStatus(kStatusUnknown);
        return;
    }
    SetStatus(wifi == 1 ? 1 : 0);
}

void CWifiOssVcsMgr::ForceStatusChild(int status, int timeLimitMinutes) {
    uint32_t wifi = 0;
    uint32_t phone = 0;
    uint32_t bluetooth = 0;
    GetWDevState(wifi, phone, bluetooth);
    SetWDevState(platform::WDEVICE_WIFI, status == 1 ? 1 : 0);
    if (status == 0) {
        // Power the adapter down as well.
        CWifiMgr::ForceStatusChild(0, timeLimitMinutes);
    }
    GetWDevState(wifi, phone, bluetooth);
}

void CWifiOssVcsMgr::SwapStatus() {
    CWifiMgr::SwapStatus();
}

std::string& CWifiOssVcsMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::GetInstance()->GetText("EVENT_LOG_MGR_WIFI_NAME");
}

std::string& CWifiOssVcsMgr::GetNameStatus(int status, std::string& name) {
    return name = CTextsMgr::GetInstance()->GetText(status == 1 ? "EVENT_LOG_MGR_WIFI_STATUS_ON"
                                                                : "EVENT_LOG_MGR_WIFI_STATUS_OFF");
}

void CWifiOssVcsMgr::SetPhone(int on) {
    SetWDevState(platform::WDEVICE_PHONE, on != 0 ? 1 : 0);
}
