#pragma once

#include <QString>
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/IPower.h"
#include "platform/IRegistry.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// The power manager over the system's services.
//
// The one power-manageable device is the Wi-Fi adapter (CLinuxWirelessDevices::kWifiAdapter): D0
// switches NetworkManager's Wi-Fi on, D4 off, D1 to D3 only change the adapter's power state in
// the registry.
//
// The battery is UPower's display device (Percentage, State, EnergyRate) and the AC line any
// line-power device (Type 1) that is Online. The main battery's registry value (kBatteryKey
// "Main": the charge in percent in the high word, the battery flags in the low word) is written at
// start and at every change UPower reports; without UPower or without a battery it is removed, so
// that the managers report the battery as unknown.
//
// The system power state comes from logind: suspend where CanSuspend answers "yes"; the states that
// only tell the power manager how idle the user is (on, idle, user idle, backlight on) are kept
// here. Switching the whole machine off or restarting it is not offered.
//
// The notification LED (the vibrator) is not offered: a Linux phone has no common service for it
// (ERROR_NOT_SUPPORTED).
class CLinuxPower : public IPower {
  public:
    static constexpr const char* kUPower = "org.freedesktop.UPower";
    static constexpr const char* kDisplayDevice = "/org/freedesktop/UPower/devices/DisplayDevice";
    static constexpr const char* kDeviceInterface = "org.freedesktop.UPower.Device";
    static constexpr const char* kLogind = "org.freedesktop.login1";
    static constexpr const char* kLogindPath = "/org/freedesktop/login1";
    static constexpr const char* kBatteryKey = "System\\State\\Battery";
    static constexpr const char* kBatteryMainValue = "Main";
    static constexpr uint32_t kBatteryHigh = 0x1;      // 40 % and more
    static constexpr uint32_t kBatteryLow = 0x2;       // under 40 %
    static constexpr uint32_t kBatteryCritical = 0x4;  // under 10 %
    static constexpr uint32_t kBatteryCharging = 0x8;  // on the AC line
    // UPower's device types and battery states used here.
    static constexpr uint32_t kTypeLinePower = 1;
    static constexpr uint32_t kStateCharging = 1;
    static constexpr uint32_t kStateDischarging = 2;
    // The cell voltage assumed when UPower gives none, to turn its energy rate into a current.
    static constexpr double kNominalVolts = 3.8;

    // What UPower says of the battery and the line.
    struct Battery {
        bool present = false;
        double percentage = 0;
        uint32_t state = 0;
        double energyRate = 0;  // W
        double voltage = 0;     // V, 0 unknown
        bool ac = false;
    };

    CLinuxPower(CDBusThread& bus, IRegistry& registry);
    ~CLinuxPower() override;
    CLinuxPower(const CLinuxPower&) = delete;
    CLinuxPower& operator=(const CLinuxPower&) = delete;

    // ERROR_INVALID_PARAMETER without POWER_NAME or for a state outside D0..D4;
    // ERROR_FILE_NOT_FOUND for another device or without NetworkManager; else as
    // CLinuxWirelessDevices::ChangeRadioState.
    Result SetDevicePower(const std::string& device, uint32_t flags, DevicePowerState state) override;
    // ERROR_READ_FAULT without logind.
    Result GetSystemPowerState(uint32_t& flags) override;
    // ERROR_INVALID_PARAMETER for no flags or bits that are not power states; ERROR_READ_FAULT
    // without logind; for suspend ERROR_ACCESS_DENIED unless CanSuspend says "yes" (or the call
    // is refused for want of permission), ERROR_NOT_SUPPORTED where the machine cannot suspend;
    // ERROR_NOT_SUPPORTED for off, reset, critical, boot, unattended and password.
    Result SetSystemPowerState(uint32_t flags) override;
    Result SetSystemPowerStateEx(uint32_t flags, uint32_t options) override;
    // ERROR_READ_FAULT without UPower. Without a battery the charge is BATTERY_PERCENTAGE_UNKNOWN.
    Result GetPowerStatus(PowerStatus& status) override;

    // Empty when UPower and logind answer, else a line for each that does not.
    std::string unavailableReason() const;

    // The main battery's registry value for a reading (only for a present battery).
    static uint32_t batteryValue(const Battery& battery);
    // The status record for a reading.
    static PowerStatus statusOf(const Battery& battery);

  private:
    // Reads everything from UPower; false when it does not answer.
    bool readBattery(Battery& battery, std::string* error);
    // On the bus thread: a change of a UPower device.
    void changed(const QString& path, const QVariantMap& properties);
    void writeBattery(const Battery& battery);

    CDBusThread& _bus;
    IRegistry& _registry;
    bool _upower = false;
    bool _logind = false;
    std::string _reason;
    std::atomic<uint32_t> _powerState{POWER_STATE_ON};
    mutable std::mutex _lock;  // what follows
    Battery _battery;
    std::map<QString, bool> _lines;  // line-power devices and whether each is online
    // Last: ends first, so that no change reaches a half-destroyed object.
    CDBusThread::Subscription _subscription;
};

}  // namespace platform::lnx
