#include "platform/sim/CSimPower.h"

#include <strings.h>

#include "platform/PlatformError.h"

namespace platform::sim {

CSimPower::CSimPower(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {}

Result CSimPower::SetDevicePower(const std::string& device, uint32_t flags, DevicePowerState state) {
    if ((flags & POWER_NAME) == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    // Device names are registry value names: compared without regard to case.
    if (strcasecmp(device.c_str(), CSimPhone::kWifiAdapter) != 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    int level = static_cast<int>(state);
    if (level < static_cast<int>(DevicePowerState::D0) || level > static_cast<int>(DevicePowerState::D4)) {
        return ERROR_INVALID_PARAMETER;
    }
    return _phone->setWifiPower(state);
}

Result CSimPower::GetSystemPowerState(uint32_t& flags) {
    flags = 0;
    try {
        flags = _phone->state().powerState;
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

Result CSimPower::SetSystemPowerState(uint32_t flags) {
    return _phone->setPowerState(flags);
}

Result CSimPower::SetSystemPowerStateEx(uint32_t flags, uint32_t /*options*/) {
    return _phone->setPowerState(flags);
}

Result CSimPower::GetPowerStatus(PowerStatus& status) {
    status = PowerStatus{};
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    status.acLineStatus = s.ac ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
    status.batteryFlag = static_cast<uint8_t>(CSimPhone::batteryFlags(s));
    status.batteryLifePercent = static_cast<uint8_t>(s.battery);
    status.batteryCurrent = s.current;
    return ERROR_SUCCESS;
}

Result CSimPower::SetLed(uint32_t led, bool on) {
    if (led != kVibratorLed) {
        return ERROR_INVALID_PARAMETER;
    }
    return _phone->setVibrator(on);
}

}  // namespace platform::sim
