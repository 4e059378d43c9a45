#pragma once

#include <memory>

#include "platform/IWirelessDevices.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The wireless-device list of the simulated phone: one record each for the Wi-Fi radio, the phone
// radio and Bluetooth, with their current states. A record's state is 1 when the radio is on;
// Bluetooth's is 0 off, 1 connectable, 2 discoverable. The phone keeps every change across
// restarts, whatever save action is asked for.
class CSimWirelessDevices : public IWirelessDevices {
  public:
    static constexpr const char* kWifiName = "SIMWLAN1";
    static constexpr const char* kPhoneName = "SIMRIL1";
    static constexpr const char* kBluetoothName = "SIMBTH1";

    explicit CSimWirelessDevices(std::shared_ptr<CSimPhone> phone);

    // ERROR_READ_FAULT (and an empty list) when the phone's state cannot be read.
    uint32_t GetWirelessDevices(std::vector<WirelessDevice>& list, uint32_t flags) override;
    // ERROR_FILE_NOT_FOUND for a device that is not in the list (by type and name),
    // ERROR_INVALID_PARAMETER for a state the device does not have.
    uint32_t ChangeRadioState(const WirelessDevice& device, uint32_t state, uint32_t saveAction) override;
    void FreeDeviceList(std::vector<WirelessDevice>& list) override;

  private:
    std::shared_ptr<CSimPhone> _phone;
};

}  // namespace platform::sim
