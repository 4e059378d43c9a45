#pragma once

#include <cstdint>
#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

// Device power states of the power manager.
enum class DevicePowerState : int { D0 = 0, D1 = 1, D2 = 2, D3 = 3, D4 = 4 };

inline constexpr uint32_t POWER_NAME = 1;  // the device is given by its name

// The phone's power manager.
class IPower {
  public:
    virtual ~IPower() = default;
    // Sets the power state of a power-manageable device known by `device` (a value name under
    // HKLM "System\CurrentControlSet\Control\Power\State"). ERROR_FILE_NOT_FOUND for an unknown
    // device.
    virtual Result SetDevicePower(const std::string& device, uint32_t flags, DevicePowerState state) = 0;
};

}  // namespace platform
