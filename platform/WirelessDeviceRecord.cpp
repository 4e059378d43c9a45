#include "platform/WirelessDeviceRecord.h"

namespace platform {

WirelessDevice WirelessDeviceRecord(const char* name, const char* displayName, uint32_t state,
                                    uint32_t type) {
    WirelessDevice d;
    d.name = name;
    d.displayName = displayName;
    d.state = state;
    d.desiredState = state;
    d.deviceType = type;
    return d;
}

}  // namespace platform
