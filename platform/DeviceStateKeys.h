#pragma once

#include <cstdint>

namespace platform::state {

// The registry values a backend keeps in step with its devices, which the managers read and watch
// (all under HKEY_LOCAL_MACHINE unless said otherwise). Every backend writes the same values with
// the same meaning, so the managers see one phone whichever backend runs.

// The power state of each network adapter: one DWORD value per adapter name (a DevicePowerState,
// D0 on .. D4 off).
inline constexpr const char* kPowerStateKey = "System\\CurrentControlSet\\Control\\Power\\State";
// The Wi-Fi hardware state; values above 5 mean the radio is on.
inline constexpr const char* kHardwareKey = "System\\State\\Hardware";
inline constexpr const char* kWifiHardwareValue = "Wifi";
inline constexpr uint32_t kWifiHardwareOn = 0x12;
inline constexpr uint32_t kWifiHardwareOff = 0x02;
// The phone line: its status bits and the number of active calls.
inline constexpr const char* kPhoneKey = "System\\State\\Phone";
inline constexpr const char* kPhoneStatusValue = "Status";
inline constexpr const char* kCallCountValue = "Active Call Count";
// Bit of "Status" set while the phone radio is off.
inline constexpr uint32_t kPhoneRadioOff = 0x10;
// The main battery: high word the charge in percent, low word the flags below.
inline constexpr const char* kBatteryKey = "System\\State\\Battery";
inline constexpr const char* kBatteryMainValue = "Main";
inline constexpr uint32_t kBatteryHigh = 0x1;      // 40 % and more
inline constexpr uint32_t kBatteryLow = 0x2;       // under 40 %
inline constexpr uint32_t kBatteryCritical = 0x4;  // under 10 %
inline constexpr uint32_t kBatteryCharging = 0x8;  // on the AC line
// The band the radio reads when it starts: 0 automatic, 1 2G, 2 3G.
inline constexpr const char* kBandKey = "\\SOFTWARE\\OEM\\UMTS";
inline constexpr const char* kBandValue = "OpMode";
// The backlight settings under HKEY_CURRENT_USER, read by the driver when told of a change.
inline constexpr const char* kBacklightKey = "\\ControlPanel\\Backlight";
inline constexpr const char* kBacklightBattery = "BrightNess";
inline constexpr const char* kBacklightAc = "ACBrightNess";
inline constexpr uint32_t kMaxBacklight = 10;
// The connection manager's key of each data connection: below the packet-data provider's
// "Connections" key, a key named after the entry, with these values.
inline constexpr const char* kPacketDataProviderKey =
    "\\Comm\\ConnMgr\\Providers\\{8B3E6C12-4A7D-4F0B-9C21-5D6E7F801A2B}\\Connections";
inline constexpr const char* kConnectionEnabledValue = "enabled";
inline constexpr const char* kConnectionAlwaysOnValue = "AlwaysOn";
inline constexpr const char* kConnectionNetworkValue = "ConnectionGUID";

}  // namespace platform::state
