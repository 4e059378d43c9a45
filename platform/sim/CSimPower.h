#pragma once

#include <memory>

#include "platform/IPower.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The power manager of the simulated phone. It knows one power-manageable device, the Wi-Fi
// adapter (CSimPhone::kWifiAdapter): D0 switches its radio on, D4 off. It keeps the system power
// state, reads the battery and the AC line from the phone's state, and drives one notification
// LED, number 1, the vibrator.
class CSimPower : public IPower {
  public:
    explicit CSimPower(std::shared_ptr<CSimPhone> phone);

    // ERROR_INVALID_PARAMETER without POWER_NAME or for a state outside D0..D4;
    // ERROR_FILE_NOT_FOUND for a device the phone does not have.
    Result SetDevicePower(const std::string& device, uint32_t flags, DevicePowerState state) override;
    // ERROR_READ_FAULT when the phone's state cannot be read.
    Result GetSystemPowerState(uint32_t& flags) override;
    // ERROR_INVALID_PARAMETER for no flags or bits that are not power states.
    Result SetSystemPowerState(uint32_t flags) override;
    // The phone enters every state it knows whether forced (POWER_FORCE) or not.
    Result SetSystemPowerStateEx(uint32_t flags, uint32_t options) override;
    // ERROR_READ_FAULT when the phone's state cannot be read. The battery flag is the low word of
    // the battery's registry value (CSimPhone::batteryFlags).
    Result GetPowerStatus(PowerStatus& status) override;
    // ERROR_INVALID_PARAMETER for a LED other than the vibrator.
    Result SetLed(uint32_t led, bool on) override;

    static constexpr uint32_t kVibratorLed = 1;

  private:
    std::shared_ptr<CSimPhone> _phone;
};

}  // namespace platform::sim
