#pragma once

#include <cstdint>

#include "platform/IWirelessDevices.h"

namespace platform {

// The record a wireless device list gives for one device: its desired state is the state it is
// in, since neither backend has a change of state on its way.
WirelessDevice WirelessDeviceRecord(const char* name, const char* displayName, uint32_t state, uint32_t type);

}  // namespace platform
