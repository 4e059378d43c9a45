#pragma once

#include <memory>

#include "platform/IPower.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The power manager of the simulated phone. It knows one power-manageable device, the Wi-Fi
// adapter (CSimPhone::kWifiAdapter): D0 switches its radio on, D4 off.
class CSimPower : public IPower {
  public:
    explicit CSimPower(std::shared_ptr<CSimPhone> phone);

    // ERROR_INVALID_PARAMETER without POWER_NAME or for a state outside D0..D4;
    // ERROR_FILE_NOT_FOUND for a device the phone does not have.
    Result SetDevicePower(const std::string& device, uint32_t flags, DevicePowerState state) override;

  private:
    std::shared_ptr<CSimPhone> _phone;
};

}  // namespace platform::sim
