#pragma once

#include <QString>
#include <mutex>
#include <optional>
#include <string>

#include "platform/IRegistry.h"
#include "platform/IWirelessDevices.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// The wireless-device list over the system's services: Wi-Fi is NetworkManager's WirelessEnabled,
// the phone radio the power state of ModemManager's first modem, Bluetooth the first BlueZ adapter
// (state 0 off, 1 connectable, 2 discoverable, as CLinuxBluetoothStack reads it). A device whose
// service or hardware is missing is not listed.
//
// It keeps the registry values the Wi-Fi manager reads in step with NetworkManager, at start and
// at every change of WirelessEnabled from anywhere: the adapter's device power state under
// kPowerStateKey (D0 on, D4 off) and "Wifi" under kHardwareKey (kWifiOn, kWifiOff). Without
// NetworkManager both values are removed, so that the manager reports the radio as unknown.
class CLinuxWirelessDevices : public IWirelessDevices {
  public:
    static constexpr const char* kWifiName = "WLAN1";
    static constexpr const char* kPhoneName = "MODEM1";
    static constexpr const char* kBluetoothName = "BTH1";
    // The Wi-Fi adapter as the power manager knows it: the adapter class the Wi-Fi manager looks
    // for, and the list's name.
    static constexpr const char* kWifiAdapter = "{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\WLAN1";
    static constexpr const char* kPowerStateKey = "System\\CurrentControlSet\\Control\\Power\\State";
    static constexpr const char* kHardwareKey = "System\\State\\Hardware";
    static constexpr const char* kWifiValue = "Wifi";
    static constexpr uint32_t kWifiOn = 0x12;
    static constexpr uint32_t kWifiOff = 0x02;

    static constexpr const char* kNetworkManager = "org.freedesktop.NetworkManager";
    static constexpr const char* kNetworkManagerPath = "/org/freedesktop/NetworkManager";
    static constexpr const char* kModemManager = "org.freedesktop.ModemManager1";
    static constexpr const char* kModemManagerPath = "/org/freedesktop/ModemManager1";
    static constexpr const char* kModemInterface = "org.freedesktop.ModemManager1.Modem";
    // ModemManager's power state of a modem that is fully on.
    static constexpr uint32_t kModemPowerOn = 3;

    CLinuxWirelessDevices(CDBusThread& bus, IRegistry& registry);
    ~CLinuxWirelessDevices() override;
    CLinuxWirelessDevices(const CLinuxWirelessDevices&) = delete;
    CLinuxWirelessDevices& operator=(const CLinuxWirelessDevices&) = delete;

    // The devices present now. ERROR_READ_FAULT (and an empty list) when a service that was
    // there stops answering.
    uint32_t GetWirelessDevices(std::vector<WirelessDevice>& list, uint32_t flags) override;
    // ERROR_FILE_NOT_FOUND for a device that is not present (by type and name),
    // ERROR_INVALID_PARAMETER for a state the device does not have, ERROR_ACCESS_DENIED when the
    // service refuses for want of permission, ERROR_WRITE_FAULT when it refuses otherwise. The
    // service keeps the state across restarts whatever save action is asked for.
    uint32_t ChangeRadioState(const WirelessDevice& device, uint32_t state, uint32_t saveAction) override;
    void FreeDeviceList(std::vector<WirelessDevice>& list) override;

    // Empty when NetworkManager answers, else the line naming it and the reason.
    std::string unavailableReason() const;

    // Writes the Wi-Fi registry values for a radio that is on or off, or removes them (nullopt).
    // With `power` the adapter's device power state is that one instead of D0/D4.
    static Result writeWifiValues(IRegistry& registry, std::optional<bool> on,
                                  std::optional<uint32_t> power = std::nullopt);
    // Switches NetworkManager's Wi-Fi; a result code as ChangeRadioState's.
    static Result setWirelessEnabled(CDBusThread& bus, bool on);

  private:
    // The first modem's object path now (empty without ModemManager or a modem).
    QString modemPath();

    CDBusThread& _bus;
    IRegistry& _registry;
    bool _networkManager = false;
    std::string _reason;
    // Last: ends first, so that no change reaches a half-destroyed object.
    CDBusThread::Subscription _subscription;
};

}  // namespace platform::lnx
