#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/CHome.h"
#include "platform/ErrorCodes.h"
#include "platform/IPower.h"
#include "platform/IRegistry.h"

namespace platform {
class CControlServer;
class CSqliteConnection;
}  // namespace platform

namespace platform::sim {

// The simulated phone's devices: the Wi-Fi radio and the power state of its adapter, the
// Bluetooth mode and the phone radio.
//
// The state lives in a SQLite file of the home (<home>/phone/devices.db), so that it survives
// restarts and every process of the home (the program, zentrova-device) sees the same devices.
// The phone keeps the registry values the platform publishes for its devices in step: the power
// state of the Wi-Fi adapter under the power manager's key, and the Wi-Fi hardware state under
// "System\State\Hardware". A change is committed to the file before the registry values are
// written, so whoever is told of the registry change reads the new state. Changes of several
// threads and processes are serialised by a lock file next to the state.
class CSimPhone {
  public:
    enum class Bluetooth : uint32_t { Off = 0, Connectable = 1, Discoverable = 2 };

    struct State {
        bool wifi = false;
        DevicePowerState wifiPower = DevicePowerState::D4;
        Bluetooth bluetooth = Bluetooth::Off;
        bool radio = true;
        bool operator==(const State&) const = default;
    };

    // The Wi-Fi adapter's name as the power manager knows it.
    static constexpr const char* kWifiAdapter = "{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\SIMWLAN1";
    static constexpr const char* kPowerStateKey = "System\\CurrentControlSet\\Control\\Power\\State";
    static constexpr const char* kHardwareKey = "System\\State\\Hardware";
    static constexpr const char* kWifiHardwareValue = "Wifi";
    // Values of "Wifi": above 5 means the radio is on.
    static constexpr uint32_t kWifiHardwareOn = 0x12;
    static constexpr uint32_t kWifiHardwareOff = 0x02;

    // Opens the state file, creating it with the default state when missing. With
    // `ownsRegistry` (the running program) every registry value is written from the state;
    // otherwise (tools, tests) only the missing ones are created, so that a value set by hand
    // stays until the next change. Throws PlatformError when the files cannot be used.
    CSimPhone(const CHome& home, IRegistry& registry, bool ownsRegistry);
    ~CSimPhone();
    CSimPhone(const CSimPhone&) = delete;
    CSimPhone& operator=(const CSimPhone&) = delete;

    // The current state; throws PlatformError when the file cannot be read.
    State state();

    // Each change stores the state and writes the registry values. ERROR_WRITE_FAULT when the
    // state cannot be stored, else the result of the registry writes.
    // Radio on: the adapter goes to D0; off: to D4.
    Result setWifi(bool on);
    // D0 switches the radio on, D4 off; D1 to D3 only change the adapter's power state.
    Result setWifiPower(DevicePowerState power);
    Result setBluetooth(Bluetooth mode);
    Result setRadio(bool on);

    // Texts the phone keeps besides its devices, each under a name: the file the shell opened
    // last ("last_opened"), the ring tone of line 1 ("ring_tone"), the Today theme
    // ("today_theme"). They live in a table of their own in the state file.
    // ERROR_WRITE_FAULT when the text cannot be stored.
    Result setSetting(const std::string& name, const std::string& value);
    // Empty when never set; throws PlatformError when the file cannot be read.
    std::string setting(const std::string& name);
    // Every stored setting, read without changing anything (none when there is no file yet).
    // Throws PlatformError when the file is not a state file.
    static std::map<std::string, std::string> loadSettings(const CHome& home);

    static std::filesystem::path stateFile(const CHome& home);
    // The stored state, read without changing anything (the default state when there is no file
    // yet). Throws PlatformError when the file is not a state file.
    static State load(const CHome& home);
    // "wifi=on|off", "wifi_power=0..4", "bt=off|connectable|discoverable", "radio=on|off", one a line.
    static std::string describe(const State& state);
    static const char* bluetoothName(Bluetooth mode);
    static bool parseBluetooth(const std::string& text, Bluetooth& mode);

    // Adds the verbs of the simulated phone to a control socket: "wifi on|off",
    // "bt off|connectable|discoverable" and "radio on|off" (changes made outside the program),
    // and "phone" (the state as key=value lines). The handlers hold the phone weakly: once it is
    // gone they refuse. The control server must stop before the registry the phone writes goes.
    static void registerControlCommands(const std::weak_ptr<CSimPhone>& phone, CControlServer& control);

  private:
    template <typename Change>
    Result change(Change modify);
    // Called with the locks held.
    Result writeRegistry(const State& state, bool onlyMissing);

    class LockFile;  // an open lock file; changes of several processes take it in turn

    std::mutex _lock;  // one user of the connection at a time; changes of this process in turn
    std::unique_ptr<CSqliteConnection> _db;
    std::unique_ptr<LockFile> _lockFile;
    IRegistry& _registry;
};

}  // namespace platform::sim
