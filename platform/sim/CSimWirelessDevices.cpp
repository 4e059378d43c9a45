#include "platform/sim/CSimWirelessDevices.h"

#include <strings.h>

#include "platform/PlatformError.h"
#include "platform/WirelessDeviceRecord.h"

namespace platform::sim {

namespace {}  // namespace

CSimWirelessDevices::CSimWirelessDevices(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {}

uint32_t CSimWirelessDevices::GetWirelessDevices(std::vector<WirelessDevice>& list, uint32_t /*flags*/) {
    list.clear();
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    list.push_back(WirelessDeviceRecord(kWifiName, "Wi-Fi", s.wifi ? 1 : 0, WDEVICE_WIFI));
    list.push_back(WirelessDeviceRecord(kPhoneName, "Phone", s.radio ? 1 : 0, WDEVICE_PHONE));
    list.push_back(WirelessDeviceRecord(kBluetoothName, "Bluetooth", static_cast<uint32_t>(s.bluetooth),
                                        WDEVICE_BLUETOOTH));
    return ERROR_SUCCESS;
}

uint32_t CSimWirelessDevices::ChangeRadioState(const WirelessDevice& device, uint32_t state,
                                               uint32_t /*saveAction*/) {
    auto named = [&](const char* name) { return strcasecmp(device.name.c_str(), name) == 0; };
    Result r;
    switch (device.deviceType) {
        case WDEVICE_WIFI:
            if (!named(kWifiName)) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (state > 1) {
                return ERROR_INVALID_PARAMETER;
            }
            r = _phone->setWifi(state == 1);
            break;
        case WDEVICE_PHONE:
            if (!named(kPhoneName)) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (state > 1) {
                return ERROR_INVALID_PARAMETER;
            }
            r = _phone->setRadio(state == 1);
            if (r == ERROR_SUCCESS && state == 1) {
                r = _phone->setRegistered(true);  // the phone registers by itself
            }
            break;
        case WDEVICE_BLUETOOTH:
            if (!named(kBluetoothName)) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (state > static_cast<uint32_t>(CSimPhone::Bluetooth::Discoverable)) {
                return ERROR_INVALID_PARAMETER;
            }
            r = _phone->setBluetooth(static_cast<CSimPhone::Bluetooth>(state));
            break;
        default:
            return ERROR_FILE_NOT_FOUND;
    }
    return static_cast<uint32_t>(r);
}

void CSimWirelessDevices::FreeDeviceList(std::vector<WirelessDevice>& list) {
    list.clear();
    list.shrink_to_fit();
}

}  // namespace platform::sim
