#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One entry of the phone's wireless-device list.
struct WirelessDevice {
    std::string name;
    std::string displayName;
    uint32_t state = 0;  // 1 = radio on
    uint32_t desiredState = 0;
    uint32_t deviceType = 0;  // 1 Wi-Fi, 2 phone radio, 3 Bluetooth
};

inline constexpr uint32_t WDEVICE_WIFI = 1;
inline constexpr uint32_t WDEVICE_PHONE = 2;
inline constexpr uint32_t WDEVICE_BLUETOOTH = 3;

// The phone's list of wireless devices and the switch of their radios (the operating system's
// wireless-device services). Results are 0 on success.
class IWirelessDevices {
  public:
    virtual ~IWirelessDevices() = default;
    // Obtains the current list (a snapshot).
    virtual uint32_t GetWirelessDevices(std::vector<WirelessDevice>& list, uint32_t flags) = 0;
    // Switches one listed device's radio; saveAction 2 keeps the new state across restarts.
    virtual uint32_t ChangeRadioState(const WirelessDevice& device, uint32_t state, uint32_t saveAction) = 0;
    // Releases a list obtained above.
    virtual void FreeDeviceList(std::vector<WirelessDevice>& list) = 0;
};

}  // namespace platform
