#include "platform/sim/CSimPower.h"

#include <strings.h>

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

}  // namespace platform::sim
