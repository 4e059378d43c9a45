#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/CHome.h"
#include "platform/DeviceStateKeys.h"
#include "platform/ErrorCodes.h"
#include "platform/IPower.h"
#include "platform/IRegistry.h"

namespace platform {
class CControlServer;
class CSqliteConnection;
}  // namespace platform

namespace platform::sim {

// The simulated phone's devices: the Wi-Fi radio and the power state of its adapter, the
// Bluetooth mode, the phone radio and its serving cell and signal, the SIM, the battery and the
// AC line, calls, the system power state, the vibrator and the alert sounds, and what the phone
// says about itself.
//
// The state lives in a SQLite file of the home (<home>/phone/devices.db), so that it survives
// restarts and every process of the home (the program, zentrova-device) sees the same devices.
// The phone keeps the registry values the platform publishes for its devices in step: the power
// state of the Wi-Fi adapter under the power manager's key, the Wi-Fi hardware state under
// "System\State\Hardware", the phone's status and call count under "System\State\Phone" and the
// main battery under "System\State\Battery". A change is committed to the file before the
// registry values are written, so whoever is told of the registry change reads the new state.
// Changes of several threads and processes are serialised by a lock file next to the state.
//
// Observers of this process hear of every change it commits (see subscribe).
class CSimPhone {
  public:
    enum class Bluetooth : uint32_t { Off = 0, Connectable = 1, Discoverable = 2 };
    // The GPS receiver on the phone's serial port: unplugged (no data), sending without a fix, or
    // sending a position.
    enum class Gps : uint32_t { Off = 0, NoFix = 1, Fix = 2 };

    // A phone-book entry of the remote-access service (a packet-data connection) and its link.
    struct Connection {
        std::string name;
        // The destination network it serves (the provider key's "ConnectionGUID").
        std::string network;
        bool connected = false;
        // Bytes over the link since it came up (32-bit counters that wrap, as the phone's do).
        uint32_t sent = 0;
        uint32_t received = 0;
        bool operator==(const Connection&) const = default;
    };

    struct State {
        bool wifi = false;
        DevicePowerState wifiPower = DevicePowerState::D4;
        Bluetooth bluetooth = Bluetooth::Off;
        bool radio = true;
        // Registered on the network: a radio that comes on registers (the program asks for it; a
        // change from outside registers at once) and only then has a serving cell.
        bool registered = true;
        // The serving cell and the signal strength in dBm with its range. Cell and area 0: no
        // coverage.
        int32_t cell = 1000;
        int32_t lac = 100;
        int32_t signal = -80;
        int32_t signalMin = -113;
        int32_t signalMax = -51;
        // Battery charge in percent (the phone may report above 100), battery current in mA
        // (negative while discharging) and the AC line.
        uint32_t battery = 100;
        int32_t current = -100;
        bool ac = false;
        // The SIM waits for its PIN while locked; the platform's PIN prompt is on screen while the
        // SIM is locked and nobody closed the prompt.
        bool simLocked = false;
        std::string simPin = "1234";
        bool pinPrompt = false;
        uint32_t calls = 0;  // active calls
        uint32_t powerState = POWER_STATE_ON;
        // Switch-ons of the vibrator (LED 1) and whether it runs now; alert sounds played.
        uint32_t vibrations = 0;
        bool vibrating = false;
        uint32_t beeps = 0;
        std::string model = "Zentrova Simulated Phone";
        uint32_t osMajor = 5;
        uint32_t osMinor = 2;
        // The Bluetooth stack answers (up) or not (down: its mode can be neither read nor set).
        bool btStack = true;
        // The network band the radio works in (0 automatic, 1 2G, 2 3G): taken when the radio
        // starts, from "OpMode" of kBandKey, or on the model families of takesBandCommand from the
        // band the maker's radio command last gave (vendorBand).
        uint32_t band = 0;
        uint32_t vendorBand = 0;
        // Unconditional call forwarding to this number; empty: off.
        std::string forwarding;
        // The sound profile (SND_SOUNDTYPE_*), its sound file, and the wave-output volume.
        uint32_t sound = 0;
        std::string soundFile;
        uint32_t volume = 0xCCCC;
        // The backlight levels on battery and on external power the driver applies, and the
        // brightness it drives the screen at now.
        uint32_t backlightBattery = 6;
        uint32_t backlightAc = 10;
        uint32_t brightness = 6;
        // The infrared receiver.
        bool beam = true;
        // The GPS receiver, its position in decimal degrees (north and east positive; kept while
        // there is no fix) and the satellites it uses.
        Gps gps = Gps::NoFix;
        double gpsLatitude = 0;
        double gpsLongitude = 0;
        uint32_t gpsSatellites = 0;
        // The data connections, in the order they were added; one is up only while the radio is.
        std::vector<Connection> connections;
        bool operator==(const State&) const = default;
    };

    // A message the phone sent (SMS) or handed on (mail), as its outbox keeps it.
    struct OutboxEntry {
        int64_t id = 0;
        std::string time;       // phone time, YYYY-MM-DD HH:MM:SS
        std::string kind;       // "sms" or "mail"
        std::string store;      // the message store (mail), empty for the SMS library
        std::string to;         // number, or addresses separated by ";"
        std::string subject;    // mail only
        std::string text;       // the SMS text or the mail body
        std::string transport;  // how it went: "kept" (stays in the outbox), "smtp" (sent), "failed: ..."
    };

    // Called after each change this process commits, with the state before and after it. Calls
    // come in the order of the commits, on the thread that made the change. An observer must not
    // change the phone itself (it would wait for its own turn).
    using Observer = std::function<void(const State& before, const State& after)>;

    // Ends its observer's calls when destroyed: after the destructor returns the observer is not
    // called any more (a call under way on another thread is waited for).
    class Subscription {
      public:
        Subscription() = default;
        ~Subscription();
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        void reset();

      private:
        friend class CSimPhone;
        struct Observers;
        Subscription(std::shared_ptr<Observers> list, uint64_t id) : _list(std::move(list)), _id(id) {}
        std::shared_ptr<Observers> _list;
        uint64_t _id = 0;
    };

    // The Wi-Fi adapter's name as the power manager knows it.
    static constexpr const char* kWifiAdapter = "{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\SIMWLAN1";
    static constexpr const char* kPowerStateKey = state::kPowerStateKey;
    static constexpr const char* kHardwareKey = state::kHardwareKey;
    static constexpr const char* kWifiHardwareValue = state::kWifiHardwareValue;
    // Values of "Wifi": above 5 means the radio is on.
    static constexpr uint32_t kWifiHardwareOn = state::kWifiHardwareOn;
    static constexpr uint32_t kWifiHardwareOff = state::kWifiHardwareOff;
    static constexpr const char* kPhoneKey = state::kPhoneKey;
    static constexpr const char* kPhoneStatusValue = state::kPhoneStatusValue;
    static constexpr const char* kCallCountValue = state::kCallCountValue;
    // Bit of "Status" set while the phone radio is off.
    static constexpr uint32_t kPhoneRadioOff = state::kPhoneRadioOff;
    static constexpr const char* kBatteryKey = state::kBatteryKey;
    // High word: charge in percent; low word: the battery flags below.
    static constexpr const char* kBatteryMainValue = state::kBatteryMainValue;
    static constexpr uint32_t kBatteryHigh = state::kBatteryHigh;          // 40 % and more
    static constexpr uint32_t kBatteryLow = state::kBatteryLow;            // under 40 %
    static constexpr uint32_t kBatteryCritical = state::kBatteryCritical;  // under 10 %
    static constexpr uint32_t kBatteryCharging = state::kBatteryCharging;  // on the AC line
    // Accepted ranges of the settable values.
    static constexpr uint32_t kMaxBattery = 255;
    static constexpr size_t kMinPinLength = 4;
    static constexpr size_t kMaxPinLength = 8;
    // The band the radio reads when it starts: 0 automatic, 1 2G, 2 3G.
    static constexpr const char* kBandKey = state::kBandKey;
    static constexpr const char* kBandValue = state::kBandValue;
    // Models whose radio takes its band from the maker's radio command instead.
    static bool takesBandCommand(const std::string& model);
    // The backlight settings under HKEY_CURRENT_USER, read by the driver when told of a change.
    static constexpr const char* kBacklightKey = state::kBacklightKey;
    static constexpr const char* kBacklightBattery = state::kBacklightBattery;
    static constexpr const char* kBacklightAc = state::kBacklightAc;
    static constexpr uint32_t kMaxBacklight = state::kMaxBacklight;
    static constexpr size_t kMaxModelLength = 49;
    static constexpr uint32_t kMaxGpsSatellites = 24;
    // Where the phone keeps the connection manager's key of each data connection: below the
    // providers' key, in the packet-data provider's "Connections" key, a key named after the entry.
    static constexpr const char* kPacketDataProviderKey = state::kPacketDataProviderKey;
    static constexpr const char* kConnectionEnabledValue = state::kConnectionEnabledValue;
    static constexpr const char* kConnectionAlwaysOnValue = state::kConnectionAlwaysOnValue;
    static constexpr const char* kConnectionNetworkValue = state::kConnectionNetworkValue;
    // An entry name: 1 to kMaxConnectionName letters, digits, '.', '_' or '-'.
    static constexpr size_t kMaxConnectionName = 20;
    static bool validConnectionName(const std::string& name);
    // The provider key of an entry (under HKEY_LOCAL_MACHINE).
    static std::string connectionKey(const std::string& name);
    // The destination network of the entry at `position` (0 for the first added).
    static std::string connectionNetwork(size_t position);

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
    // Registration on the network (only with the radio on).
    Result setRegistered(bool registered);
    // Takes the serving cell away (no coverage), until setCell gives one.
    Result setNoCoverage();
    // ERROR_INVALID_PARAMETER for a cell or area code below 1.
    Result setCell(int32_t cell, int32_t lac);
    // Without a range the stored one stays; ERROR_INVALID_PARAMETER unless minimum < maximum.
    Result setSignal(int32_t dbm, std::optional<std::pair<int32_t, int32_t>> range = std::nullopt);
    // ERROR_INVALID_PARAMETER for a percentage above kMaxBattery. What is not given stays.
    Result setBattery(uint32_t percent, std::optional<int32_t> current = std::nullopt,
                      std::optional<bool> ac = std::nullopt);
    Result setAc(bool plugged);
    // Locking the SIM puts the PIN prompt on screen; unlocking takes it away.
    Result setSimLocked(bool locked);
    // The PIN the SIM accepts: kMinPinLength to kMaxPinLength digits, else ERROR_INVALID_PARAMETER.
    Result setSimPin(const std::string& pin);
    // A locked SIM opens with its PIN: SIM_E_INCORRECTPASSWORD for another one. An unlocked SIM
    // needs nothing.
    Result unlockSim(const std::string& pin);
    Result closePinPrompt();
    // A call starts or ends; ending with no call leaves the count at 0.
    Result startCall();
    Result endCall();
    // ERROR_INVALID_PARAMETER for no flags or flags that are not system power states.
    Result setPowerState(uint32_t flags);
    // Switches the vibrator; a switch from off to on counts in `vibrations`.
    Result setVibrator(bool on);
    Result beep();
    Result setBluetoothStack(bool up);
    // The maker's radio command set the band (0 to 2) for the next start of the radio.
    Result setVendorBand(uint32_t band);
    // ERROR_INVALID_PARAMETER for a number that is not a phone number (empty: forwarding off).
    Result setForwarding(const std::string& number);
    // ERROR_INVALID_PARAMETER for a type other than SND_SOUNDTYPE_*, or a file type without a file.
    Result setSound(uint32_t type, const std::string& file = std::string());
    Result setVolume(uint32_t volume);
    // ERROR_INVALID_PARAMETER for a level above kMaxBacklight.
    Result setBacklight(uint32_t battery, uint32_t ac);
    Result setBrightness(uint32_t level);
    Result setBeam(bool on);
    // Off unplugs the receiver, NoFix and Fix make it send. The position counts with Fix only and
    // must be a latitude of -90 to 90 and a longitude of -180 to 180; satellites at most
    // kMaxGpsSatellites: else ERROR_INVALID_PARAMETER. A position not given stays.
    Result setGps(Gps gps, uint32_t satellites,
                  std::optional<std::pair<double, double>> position = std::nullopt);
    // ERROR_INVALID_PARAMETER for an empty text, one longer than kMaxModelLength or with line breaks.
    Result setModel(const std::string& model);
    // Takes the backlight levels from the registry values the driver reads.
    Result loadBacklightSettings();

    // Data connections. A new entry gets its provider key (enabled, not always on) and a
    // destination network of its own: ERROR_INVALID_PARAMETER for a name that is not valid,
    // ERROR_ALREADY_EXISTS for one in use. Up: ERROR_NOT_READY while the phone radio is off (the
    // radio going off takes every connection down); a connection that comes up starts its
    // counters at 0. ERROR_NOT_FOUND for a name no entry has.
    Result addConnection(const std::string& name);
    Result setConnectionUp(const std::string& name, bool up);
    // Adds `bytes` received to an up connection's link; ERROR_NOT_READY when it is not up.
    Result addConnectionTraffic(const std::string& name, uint32_t bytes);
    // One line per data connection: "connection=NAME enabled=E always_on=A connected=C bytes=B",
    // the first two from the entry's provider key (-1 when unreadable).
    static std::string describeConnections(const State& state, IRegistry& registry);

    // Adds a message to the outbox (its id and the order are the outbox's). ERROR_WRITE_FAULT when
    // it cannot be stored.
    Result addToOutbox(const OutboxEntry& entry);
    // The outbox, oldest first (none when there is no file yet). Throws PlatformError when the file
    // is not a state file.
    static std::vector<OutboxEntry> loadOutbox(const CHome& home);
    static bool validPhoneNumber(const std::string& number);

    // `observer` hears of every later change committed by this process.
    [[nodiscard]] Subscription subscribe(Observer observer);

    // The low word of the battery value: charging, or high, low or critical by the charge.
    static uint32_t batteryFlags(const State& state);
    static bool validPin(const std::string& pin);

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
    // Every item of the state but the data connections as key=value lines: wifi, wifi_power, bt, radio,
    // registered, bt_stack, band, vendor_band, forwarding, sim, sim_pin, pin_prompt, cell, lac, signal,
    // signal_min, signal_max, battery, current, ac, call, power, sound, sound_file, volume,
    // backlight (battery-ac), brightness, beam, gps (off, nofix, fix), gps_lat, gps_lon, gps_sats,
    // vibrations, vibrating, beeps, model, os.
    static std::string describe(const State& state);
    static const char* bluetoothName(Bluetooth mode);
    static const char* gpsName(Gps gps);
    static const char* bandName(uint32_t band);
    static const char* soundName(uint32_t type);
    static bool parseSound(const std::string& text, uint32_t& type);
    static bool parseBluetooth(const std::string& text, Bluetooth& mode);

    // Adds the verbs of the simulated phone to a control socket, changes made outside the
    // program: "wifi on|off", "bt off|connectable|discoverable", "radio on|off", "cell CELL LAC",
    // "signal DBM [MIN MAX]", "battery PERCENT [--current MA] [--ac|--no-ac]",
    // "sim locked|unlocked", "sim pin PIN", "call start|end", "power on|idle|suspend",
    // "bt stack up|down", "model NAME", "sound on|vibrate|none|file",
    // "gps fix LAT LON [--sats N]|nofix [--sats N]|off|on", "connection add|up|down NAME",
    // "connection traffic NAME BYTES"; and "phone" (the state as key=value lines). Each change
    // answers with the changed key=value lines. The handlers hold the phone weakly: once it is gone
    // they refuse. The control server must stop before the registry the phone writes goes.
    static void registerControlCommands(const std::weak_ptr<CSimPhone>& phone, CControlServer& control);
    // The "connection" verb on `phone`: its answer lines; throws CControlServer::ControlError
    // (BadArguments for words that make no command) when refused. zentrova-device uses it on the
    // phone's files when no program runs.
    static std::string connectionCommand(CSimPhone& phone, const std::vector<std::string>& args);

  private:
    // Runs `modify` on the stored state in one transaction. `modify` returns ERROR_SUCCESS to
    // store the state, anything else to leave it and return that result.
    template <typename Change>
    Result change(Change modify);
    // Called with the locks held.
    Result writeRegistry(const State& state, bool onlyMissing);
    // Tells the observers of the change with sequence number `seq`, after those before it.
    void notify(uint64_t seq, const State& before, const State& after);

    class LockFile;  // an open lock file; changes of several processes take it in turn

    std::mutex _lock;  // one user of the connection at a time; changes of this process in turn
    std::unique_ptr<CSqliteConnection> _db;
    std::unique_ptr<LockFile> _lockFile;
    // The state last read (under _lock) and the file's data version then: state() reads the table
    // again only when another connection (another process) has committed since. This
    // connection's own commits do not change the data version: change() drops the copy instead.
    std::optional<State> _cached;
    long long _cachedVersion = 0;
    IRegistry& _registry;
    std::shared_ptr<Subscription::Observers> _observers;
    // Commits are numbered under _lock; observers hear of them in that order.
    uint64_t _commits = 0;
    uint64_t _notified = 0;
    std::mutex _orderLock;
    std::condition_variable _turn;
};

}  // namespace platform::sim
