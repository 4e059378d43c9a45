#pragma once

#include <cstdint>
#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

// Device power states of the power manager.
enum class DevicePowerState : int { D0 = 0, D1 = 1, D2 = 2, D3 = 3, D4 = 4 };

inline constexpr uint32_t POWER_NAME = 1;  // the device is given by its name

// System power-state flags.
inline constexpr uint32_t POWER_STATE_ON = 0x10000;
inline constexpr uint32_t POWER_STATE_OFF = 0x20000;
inline constexpr uint32_t POWER_STATE_CRITICAL = 0x40000;
inline constexpr uint32_t POWER_STATE_BOOT = 0x80000;
inline constexpr uint32_t POWER_STATE_IDLE = 0x100000;
inline constexpr uint32_t POWER_STATE_SUSPEND = 0x200000;
inline constexpr uint32_t POWER_STATE_UNATTENDED = 0x400000;
inline constexpr uint32_t POWER_STATE_RESET = 0x800000;
inline constexpr uint32_t POWER_STATE_USERIDLE = 0x1000000;
inline constexpr uint32_t POWER_STATE_BACKLIGHTON = 0x2000000;
inline constexpr uint32_t POWER_STATE_PASSWORD = 0x10000000;
// Option of SetSystemPowerState: the state is entered even when the power manager would refuse it.
inline constexpr uint32_t POWER_FORCE = 0x1000;

inline constexpr uint8_t AC_LINE_OFFLINE = 0;
inline constexpr uint8_t AC_LINE_ONLINE = 1;
inline constexpr uint8_t BATTERY_PERCENTAGE_UNKNOWN = 255;

// The extended power status: AC line and main battery.
struct PowerStatus {
    uint8_t acLineStatus = AC_LINE_OFFLINE;
    uint8_t batteryFlag = 0;
    uint8_t batteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    int32_t batteryCurrent = 0;   // mA, negative while discharging
    uint32_t batteryVoltage = 0;  // mV
};

// The phone's power manager.
class IPower {
  public:
    virtual ~IPower() = default;
    // Sets the power state of a power-manageable device known by `device` (a value name under
    // HKLM "System\CurrentControlSet\Control\Power\State"). ERROR_FILE_NOT_FOUND for an unknown
    // device.
    virtual Result SetDevicePower(const std::string& device, uint32_t flags, DevicePowerState state) = 0;

    // The rest answers ERROR_NOT_SUPPORTED unless the phone offers it.
    // The system power state as POWER_STATE_* flags.
    virtual Result GetSystemPowerState(uint32_t& flags) {
        flags = 0;
        return ERROR_NOT_SUPPORTED;
    }
    // Switches the system to the state of `flags` (POWER_STATE_ON, _IDLE, _USERIDLE, ...).
    virtual Result SetSystemPowerState(uint32_t /*flags*/) { return ERROR_NOT_SUPPORTED; }
    // The same with options (POWER_FORCE).
    virtual Result SetSystemPowerStateEx(uint32_t flags, uint32_t /*options*/) {
        return SetSystemPowerState(flags);
    }
    // A fresh reading of the battery and the AC line.
    virtual Result GetPowerStatus(PowerStatus& /*status*/) { return ERROR_NOT_SUPPORTED; }
    // Switches notification LED `led` on or off (LED 1 is the vibrator).
    virtual Result SetLed(uint32_t /*led*/, bool /*on*/) { return ERROR_NOT_SUPPORTED; }
};

}  // namespace platform
