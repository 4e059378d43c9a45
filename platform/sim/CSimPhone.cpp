#include "platform/sim/CSimPhone.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <system_error>
#include <type_traits>
#include <vector>

#include "platform/CControlServer.h"
#include "platform/CSqliteConnection.h"
#include "platform/CSqliteStatement.h"
#include "platform/CSqliteTransaction.h"
#include "platform/ISim.h"
#include "platform/ISoundSettings.h"
#include "platform/PlatformError.h"
#include "platform/SmsText.h"

namespace platform::sim {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS devices(key TEXT PRIMARY KEY, value TEXT NOT NULL)";
constexpr const char* kSettingsSchema =
    "CREATE TABLE IF NOT EXISTS settings(name TEXT PRIMARY KEY, value TEXT NOT NULL)";
constexpr const char* kOutboxSchema =
    "CREATE TABLE IF NOT EXISTS outbox(id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, "
    "kind TEXT NOT NULL, store TEXT NOT NULL, recipients TEXT NOT NULL, subject TEXT NOT NULL, "
    "text TEXT NOT NULL, transport TEXT NOT NULL)";
constexpr const char* kConnectionsSchema =
    "CREATE TABLE IF NOT EXISTS connections(position INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
    "network TEXT NOT NULL, connected INTEGER NOT NULL, sent INTEGER NOT NULL, received INTEGER NOT NULL)";

const char* onOff(bool on) {
    return on ? "on" : "off";
}

// Every power-state flag the system knows; other bits are refused.
constexpr uint32_t kKnownPowerStates = POWER_STATE_ON | POWER_STATE_OFF | POWER_STATE_CRITICAL |
                                       POWER_STATE_BOOT | POWER_STATE_IDLE | POWER_STATE_SUSPEND |
                                       POWER_STATE_UNATTENDED | POWER_STATE_RESET | POWER_STATE_USERIDLE |
                                       POWER_STATE_BACKLIGHTON | POWER_STATE_PASSWORD;

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}

// A whole decimal number (or, with `base` 16, digits after "0x") within [lo, hi].
bool parseNumber(const std::string& text, int64_t lo, int64_t hi, int64_t& out, int base = 10) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (base == 16) {
        if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
            return false;
        }
        first += 2;
    }
    int64_t v = 0;
    auto [end, ec] = std::from_chars(first, last, v, base);
    if (ec != std::errc() || end != last || v < lo || v > hi) {
        return false;
    }
    out = v;
    return true;
}

std::string degrees(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    return buf;
}

// A decimal number within [lo, hi], the whole text.
bool parseDegrees(const std::string& text, double lo, double hi, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(v >= lo && v <= hi)) {
        return false;
    }
    out = v;
    return true;
}

// The state as the rows of the file, in the order describe() prints them.
std::vector<std::pair<std::string, std::string>> rowsOf(const CSimPhone::State& s) {
    return {
        {"wifi", onOff(s.wifi)},
        {"wifi_power", std::to_string(static_cast<int>(s.wifiPower))},
        {"bt", CSimPhone::bluetoothName(s.bluetooth)},
        {"radio", onOff(s.radio)},
        {"registered", onOff(s.registered)},
        {"bt_stack", s.btStack ? "up" : "down"},
        {"band", CSimPhone::bandName(s.band)},
        {"vendor_band", CSimPhone::bandName(s.vendorBand)},
        {"forwarding", s.forwarding.empty() ? "off" : s.forwarding},
        {"sim", s.simLocked ? "locked" : "unlocked"},
        {"sim_pin", s.simPin},
        {"pin_prompt", s.pinPrompt ? "shown" : "closed"},
        {"cell", std::to_string(s.cell)},
        {"lac", std::to_string(s.lac)},
        {"signal", std::to_string(s.signal)},
        {"signal_min", std::to_string(s.signalMin)},
        {"signal_max", std::to_string(s.signalMax)},
        {"battery", std::to_string(s.battery)},
        {"current", std::to_string(s.current)},
        {"ac", onOff(s.ac)},
        {"call", std::to_string(s.calls)},
        {"power", hex(s.powerState)},
        {"sound", CSimPhone::soundName(s.sound)},
        {"sound_file", s.soundFile},
        {"volume", std::to_string(s.volume)},
        {"backlight", std::to_string(s.backlightBattery) + "-" + std::to_string(s.backlightAc)},
        {"brightness", std::to_string(s.brightness)},
        {"beam", onOff(s.beam)},
        {"gps", CSimPhone::gpsName(s.gps)},
        {"gps_lat", degrees(s.gpsLatitude)},
        {"gps_lon", degrees(s.gpsLongitude)},
        {"gps_sats", std::to_string(s.gpsSatellites)},
        {"vibrations", std::to_string(s.vibrations)},
        {"vibrating", onOff(s.vibrating)},
        {"beeps", std::to_string(s.beeps)},
        {"model", s.model},
        {"os", std::to_string(s.osMajor) + "." + std::to_string(s.osMinor)},
    };
}

// Reads the stored rows into a state; keys that are missing or unreadable keep their default.
// `complete` tells whether every key was stored.
CSimPhone::State readState(CSqliteConnection& db, bool* complete = nullptr) {
    std::map<std::string, std::string> rows;
    CSqliteStatement st(db, "SELECT key, value FROM devices");
    while (st.step()) {
        rows[st.columnText(0)] = st.columnText(1);
    }
    CSimPhone::State s;
    if (complete) {
        *complete = true;
        for (const auto& [key, value] : rowsOf(s)) {
            if (!rows.count(key)) {
                *complete = false;
            }
        }
    }
    auto text = [&](const char* key) -> const std::string* {
        auto it = rows.find(key);
        return it == rows.end() ? nullptr : &it->second;
    };
    auto flag = [&](const char* key, const char* yes, const char* no, bool& field) {
        if (const std::string* t = text(key); t && (*t == yes || *t == no)) {
            field = *t == yes;
        }
    };
    auto number = [&](const char* key, int64_t lo, int64_t hi, auto& field, int base = 10) {
        int64_t v;
        if (const std::string* t = text(key); t && parseNumber(*t, lo, hi, v, base)) {
            field = static_cast<std::remove_reference_t<decltype(field)>>(v);
        }
    };
    constexpr int64_t kInt32Min = INT32_MIN, kInt32Max = INT32_MAX, kUint32Max = UINT32_MAX;

    flag("wifi", "on", "off", s.wifi);
    if (const std::string* t = text("wifi_power"); t && t->size() == 1 && (*t)[0] >= '0' && (*t)[0] <= '4') {
        s.wifiPower = static_cast<DevicePowerState>((*t)[0] - '0');
    } else {
        s.wifiPower = s.wifi ? DevicePowerState::D0 : DevicePowerState::D4;
    }
    if (const std::string* t = text("bt")) {
        CSimPhone::parseBluetooth(*t, s.bluetooth);
    }
    if (const std::string* t = text("radio")) {
        s.radio = *t != "off";
    }
    flag("registered", "on", "off", s.registered);
    s.registered = s.registered && s.radio;
    flag("sim", "locked", "unlocked", s.simLocked);
    if (const std::string* t = text("sim_pin"); t && CSimPhone::validPin(*t)) {
        s.simPin = *t;
    }
    flag("pin_prompt", "shown", "closed", s.pinPrompt);
    number("cell", 0, kInt32Max, s.cell);
    number("lac", 0, kInt32Max, s.lac);
    if (s.cell == 0 || s.lac == 0) {
        s.cell = s.lac = 0;  // no coverage is both
    }
    number("signal", kInt32Min, kInt32Max, s.signal);
    int32_t lo = s.signalMin, hi = s.signalMax;
    number("signal_min", kInt32Min, kInt32Max, lo);
    number("signal_max", kInt32Min, kInt32Max, hi);
    if (lo < hi) {
        s.signalMin = lo;
        s.signalMax = hi;
    }
    number("battery", 0, CSimPhone::kMaxBattery, s.battery);
    number("current", kInt32Min, kInt32Max, s.current);
    flag("ac", "on", "off", s.ac);
    number("call", 0, kUint32Max, s.calls);
    number("power", 1, kUint32Max, s.powerState, 16);
    number("vibrations", 0, kUint32Max, s.vibrations);
    flag("vibrating", "on", "off", s.vibrating);
    number("beeps", 0, kUint32Max, s.beeps);
    if (const std::string* t = text("model")) {
        s.model = *t;
    }
    flag("bt_stack", "up", "down", s.btStack);
    auto band = [&](const char* key, uint32_t& field) {
        if (const std::string* t = text(key)) {
            for (uint32_t b = 0; b <= 2; ++b) {
                if (*t == CSimPhone::bandName(b)) {
                    field = b;
                }
            }
        }
    };
    band("band", s.band);
    band("vendor_band", s.vendorBand);
    if (const std::string* t = text("forwarding")) {
        s.forwarding = *t == "off" ? std::string() : *t;
    }
    if (const std::string* t = text("sound")) {
        CSimPhone::parseSound(*t, s.sound);
    }
    if (const std::string* t = text("sound_file")) {
        s.soundFile = *t;
    }
    number("volume", 0, kUint32Max, s.volume);
    if (const std::string* t = text("backlight")) {
        int64_t battery, ac;
        auto dash = t->find('-');
        if (dash != std::string::npos &&
            parseNumber(t->substr(0, dash), 0, CSimPhone::kMaxBacklight, battery) &&
            parseNumber(t->substr(dash + 1), 0, CSimPhone::kMaxBacklight, ac)) {
            s.backlightBattery = static_cast<uint32_t>(battery);
            s.backlightAc = static_cast<uint32_t>(ac);
        }
    }
    number("brightness", 0, CSimPhone::kMaxBacklight, s.brightness);
    flag("beam", "on", "off", s.beam);
    if (const std::string* t = text("gps")) {
        for (CSimPhone::Gps g : {CSimPhone::Gps::Off, CSimPhone::Gps::NoFix, CSimPhone::Gps::Fix}) {
            if (*t == CSimPhone::gpsName(g)) {
                s.gps = g;
            }
        }
    }
    if (const std::string* t = text("gps_lat")) {
        parseDegrees(*t, -90, 90, s.gpsLatitude);
    }
    if (const std::string* t = text("gps_lon")) {
        parseDegrees(*t, -180, 180, s.gpsLongitude);
    }
    number("gps_sats", 0, CSimPhone::kMaxGpsSatellites, s.gpsSatellites);
    if (const std::string* t = text("os")) {
        int64_t major, minor;
        auto dot = t->find('.');
        if (dot != std::string::npos && parseNumber(t->substr(0, dot), 0, 255, major) &&
            parseNumber(t->substr(dot + 1), 0, 255, minor)) {
            s.osMajor = static_cast<uint32_t>(major);
            s.osMinor = static_cast<uint32_t>(minor);
        }
    }
    // A file written before the phone had data connections has no table for them.
    CSqliteStatement table(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'connections'");
    if (table.step()) {
        CSqliteStatement st(
            db, "SELECT name, network, connected, sent, received FROM connections ORDER BY position");
        while (st.step()) {
            CSimPhone::Connection c;
            c.name = st.columnText(0);
            c.network = st.columnText(1);
            // A connection is up only while the radio is.
            c.connected = st.columnInt(2) != 0 && s.radio;
            c.sent = c.connected ? static_cast<uint32_t>(st.columnInt(3)) : 0;
            c.received = c.connected ? static_cast<uint32_t>(st.columnInt(4)) : 0;
            s.connections.push_back(std::move(c));
        }
    }
    return s;
}

void writeState(CSqliteConnection& db, const CSimPhone::State& s) {
    CSqliteStatement st(db, "INSERT OR REPLACE INTO devices(key, value) VALUES(?, ?)");
    for (const auto& [key, value] : rowsOf(s)) {
        st.reset();
        st.bind(1, key).bind(2, value).run();
    }
    CSqliteStatement row(
        db,
        "INSERT OR REPLACE INTO connections(position, name, network, connected, sent, received) "
        "VALUES(?, ?, ?, ?, ?, ?)");
    for (size_t i = 0; i < s.connections.size(); ++i) {
        const CSimPhone::Connection& c = s.connections[i];
        row.reset();
        row.bind(1, static_cast<long long>(i)).bind(2, c.name).bind(3, c.network);
        row.bind(4, static_cast<long long>(c.connected ? 1 : 0)).bind(5, static_cast<long long>(c.sent));
        row.bind(6, static_cast<long long>(c.received)).run();
    }
}

std::unique_ptr<CSqliteConnection> openStateFile(const CHome& home) {
    std::error_code ec;
    std::filesystem::create_directories(home.phoneDir(), ec);
    if (ec) {
        throw PlatformError(home.phoneDir().string() + ": cannot create folder: " + ec.message());
    }
    auto db = std::make_unique<CSqliteConnection>(CSimPhone::stateFile(home), true);
    db->useWriteAheadLog();
    db->exec(kSchema);
    db->exec(kSettingsSchema);
    db->exec(kOutboxSchema);
    db->exec(kConnectionsSchema);
    return db;
}

}  // namespace

struct CSimPhone::Subscription::Observers {
    // Held while observers are called: removing one waits for a call under way on another
    // thread; recursive so that an observer may end its own subscription.
    std::recursive_mutex lock;
    std::map<uint64_t, Observer> list;
    uint64_t next = 1;
};

CSimPhone::Subscription::~Subscription() {
    reset();
}

CSimPhone::Subscription::Subscription(Subscription&& other) noexcept
    : _list(std::move(other._list)), _id(other._id) {
    other._id = 0;
}

CSimPhone::Subscription& CSimPhone::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        _list = std::move(other._list);
        _id = other._id;
        other._id = 0;
    }
    return *this;
}

void CSimPhone::Subscription::reset() {
    if (_list) {
        std::lock_guard lock(_list->lock);
        _list->list.erase(_id);
    }
    _list.reset();
    _id = 0;
}

class CSimPhone::LockFile {
  public:
    explicit LockFile(const std::filesystem::path& file)
        : _fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (_fd < 0) {
            throw PlatformError(file.string() + ": cannot open: " + std::strerror(errno));
        }
    }
    ~LockFile() { ::close(_fd); }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Held for as long as the guard lives.
    class Guard {
      public:
        explicit Guard(LockFile& file) : _fd(file._fd) {
            while (::flock(_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
        ~Guard() { ::flock(_fd, LOCK_UN); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

      private:
        int _fd;
    };

  private:
    int _fd;
};

CSimPhone::CSimPhone(const CHome& home, IRegistry& registry, bool ownsRegistry)
    : _db(openStateFile(home)),
      _lockFile(std::make_unique<LockFile>(home.phoneDir() / "devices.lock")),
      _registry(registry),
      _observers(std::make_shared<Subscription::Observers>()) {
    std::lock_guard lock(_lock);
    LockFile::Guard guard(*_lockFile);
    CSqliteTransaction tx(*_db);
    bool complete = false;
    State s = readState(*_db, &complete);
    if (!complete) {
        // A new (or older) file: store every key, so that it holds the whole state.
        writeState(*_db, s);
    }
    tx.commit();
    writeRegistry(s, !ownsRegistry);
    // Values the program writes and the phone reads: created when missing, never overwritten.
    uint32_t existing = 0;
    if (_registry.getDword(RegRoot::LocalMachine, kBandKey, kBandValue, existing) == ERROR_FILE_NOT_FOUND) {
        _registry.setDword(RegRoot::LocalMachine, kBandKey, kBandValue, s.band);
    }
    if (_registry.getDword(RegRoot::CurrentUser, kBacklightKey, kBacklightBattery, existing) ==
        ERROR_FILE_NOT_FOUND) {
        _registry.setDword(RegRoot::CurrentUser, kBacklightKey, kBacklightBattery, s.backlightBattery);
    }
    if (_registry.getDword(RegRoot::CurrentUser, kBacklightKey, kBacklightAc, existing) ==
        ERROR_FILE_NOT_FOUND) {
        _registry.setDword(RegRoot::CurrentUser, kBacklightKey, kBacklightAc, s.backlightAc);
    }
}

CSimPhone::~CSimPhone() = default;

std::filesystem::path CSimPhone::stateFile(const CHome& home) {
    return home.phoneDir() / "devices.db";
}

CSimPhone::State CSimPhone::state() {
    std::lock_guard lock(_lock);
    // Reading and parsing the whole table costs some fifty times the version check, and the
    // managers ask for the state far more often than it changes.
    const long long version = _db->dataVersion();
    if (!_cached || version != _cachedVersion) {
        _cached = readState(*_db);
        _cachedVersion = version;
    }
    return *_cached;
}

CSimPhone::State CSimPhone::load(const CHome& home) {
    std::filesystem::path file = stateFile(home);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return State{};
    }
    CSqliteConnection db(file, false);
    return readState(db);
}

template <typename Change>
Result CSimPhone::change(Change modify) {
    State before, after;
    Result result;
    uint64_t seq;
    {
        std::lock_guard lock(_lock);
        LockFile::Guard guard(*_lockFile);
        try {
            CSqliteTransaction tx(*_db);
            before = readState(*_db);
            after = before;
            if (Result refused = modify(after); refused != ERROR_SUCCESS) {
                return refused;  // nothing stored: the transaction rolls back
            }
            _cached.reset();
            writeState(*_db, after);
            tx.commit();
        } catch (const PlatformError&) {
            return ERROR_WRITE_FAULT;
        }
        // After the commit: a reader told of the registry change sees the new state.
        result = writeRegistry(after, false);
        seq = ++_commits;
    }
    notify(seq, before, after);
    return result;
}

void CSimPhone::notify(uint64_t seq, const State& before, const State& after) {
    std::unique_lock order(_orderLock);
    _turn.wait(order, [&] { return _notified + 1 == seq; });
    order.unlock();
    if (before != after) {
        std::lock_guard calls(_observers->lock);
        // A copy: an observer may end subscriptions (its own included) while the list is walked.
        std::vector<std::pair<uint64_t, Observer>> observers(_observers->list.begin(),
                                                             _observers->list.end());
        for (const auto& [id, observer] : observers) {
            if (!_observers->list.count(id)) {
                continue;
            }
            try {
                observer(before, after);
            } catch (const std::exception&) {
                // An observer's failure is its own; the change is made and the others still hear of it.
            }
        }
    }
    order.lock();
    _notified = seq;
    _turn.notify_all();
}

CSimPhone::Subscription CSimPhone::subscribe(Observer observer) {
    std::lock_guard lock(_observers->lock);
    uint64_t id = _observers->next++;
    _observers->list.emplace(id, std::move(observer));
    return Subscription(_observers, id);
}

uint32_t CSimPhone::batteryFlags(const State& s) {
    if (s.ac) {
        return kBatteryCharging;
    }
    if (s.battery < 10) {
        return kBatteryCritical;
    }
    return s.battery < 40 ? kBatteryLow : kBatteryHigh;
}

bool CSimPhone::validPin(const std::string& pin) {
    return pin.size() >= kMinPinLength && pin.size() <= kMaxPinLength &&
           std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Result CSimPhone::writeRegistry(const State& s, bool onlyMissing) {
    struct Entry {
        const char* key;
        const char* name;
        uint32_t value;
    };
    const Entry entries[] = {
        {kPowerStateKey, kWifiAdapter, static_cast<uint32_t>(s.wifiPower)},
        {kHardwareKey, kWifiHardwareValue, s.wifi ? kWifiHardwareOn : kWifiHardwareOff},
        {kPhoneKey, kPhoneStatusValue, s.radio ? 0u : kPhoneRadioOff},
        {kPhoneKey, kCallCountValue, s.calls},
        {kBatteryKey, kBatteryMainValue, (s.battery << 16) | batteryFlags(s)},
    };
    Result result = ERROR_SUCCESS;
    for (const Entry& e : entries) {
        if (onlyMissing) {
            RegValue existing;
            if (_registry.getValue(RegRoot::LocalMachine, e.key, e.name, existing) != ERROR_FILE_NOT_FOUND) {
                continue;
            }
        }
        Result r = _registry.setDword(RegRoot::LocalMachine, e.key, e.name, e.value);
        if (r != ERROR_SUCCESS && result == ERROR_SUCCESS) {
            result = r;
        }
    }
    // The provider key of each data connection: its network is the phone's; whether the
    // connection manager may use it and keeps it always on are the user's (created when missing).
    for (const Connection& c : s.connections) {
        const std::string key = connectionKey(c.name);
        std::string network;
        Result r = ERROR_SUCCESS;
        if (_registry.getString(RegRoot::LocalMachine, key, kConnectionNetworkValue, network) !=
                ERROR_SUCCESS ||
            network != c.network) {
            r = _registry.setString(RegRoot::LocalMachine, key, kConnectionNetworkValue, c.network);
        }
        for (const auto& [name, initial] :
             {std::pair{kConnectionEnabledValue, 1u}, std::pair{kConnectionAlwaysOnValue, 0u}}) {
            uint32_t existing = 0;
            if (r == ERROR_SUCCESS &&
                _registry.getDword(RegRoot::LocalMachine, key, name, existing) == ERROR_FILE_NOT_FOUND) {
                r = _registry.setDword(RegRoot::LocalMachine, key, name, initial);
            }
        }
        if (r != ERROR_SUCCESS && result == ERROR_SUCCESS) {
            result = r;
        }
    }
    return result;
}

bool CSimPhone::validConnectionName(const std::string& name) {
    return !name.empty() && name.size() <= kMaxConnectionName &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '-';
           });
}

std::string CSimPhone::connectionKey(const std::string& name) {
    return std::string(kPacketDataProviderKey) + "\\" + name;
}

std::string CSimPhone::connectionNetwork(size_t position) {
    char text[48];
    std::snprintf(text, sizeof text, "{5A1D0C0E-0000-4000-8000-%012llX}",
                  static_cast<unsigned long long>(position + 1));
    return text;
}

Result CSimPhone::addConnection(const std::string& name) {
    if (!validConnectionName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([&name](State& s) {
        for (const Connection& c : s.connections) {
            if (strcasecmp(c.name.c_str(), name.c_str()) == 0) {
                return ERROR_ALREADY_EXISTS;
            }
        }
        Connection c;
        c.name = name;
        c.network = connectionNetwork(s.connections.size());
        s.connections.push_back(std::move(c));
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setConnectionUp(const std::string& name, bool up) {
    return change([&name, up](State& s) {
        for (Connection& c : s.connections) {
            if (c.name != name) {
                continue;
            }
            if (up && !s.radio) {
                return ERROR_NOT_READY;
            }
            if (up != c.connected) {
                c.connected = up;
                c.sent = c.received = 0;
            }
            return ERROR_SUCCESS;
        }
        return ERROR_NOT_FOUND;
    });
}

Result CSimPhone::addConnectionTraffic(const std::string& name, uint32_t bytes) {
    return change([&name, bytes](State& s) {
        for (Connection& c : s.connections) {
            if (c.name != name) {
                continue;
            }
            if (!c.connected) {
                return ERROR_NOT_READY;
            }
            c.received += bytes;  // a 32-bit counter: it wraps
            return ERROR_SUCCESS;
        }
        return ERROR_NOT_FOUND;
    });
}

std::string CSimPhone::describeConnections(const State& state, IRegistry& registry) {
    std::string text;
    for (const Connection& c : state.connections) {
        auto flag = [&](const char* value) {
            uint32_t v = 0;
            return registry.getDword(RegRoot::LocalMachine, connectionKey(c.name), value, v) == ERROR_SUCCESS
                       ? std::to_string(v)
                       : std::string("-1");
        };
        text += "connection=" + c.name + " enabled=" + flag(kConnectionEnabledValue) +
                " always_on=" + flag(kConnectionAlwaysOnValue) + " connected=" + (c.connected ? "1" : "0") +
                " bytes=" + std::to_string(static_cast<uint32_t>(c.sent + c.received)) + "\n";
    }
    return text;
}

Result CSimPhone::setWifi(bool on) {
    return change([on](State& s) {
        s.wifi = on;
        s.wifiPower = on ? DevicePowerState::D0 : DevicePowerState::D4;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setWifiPower(DevicePowerState power) {
    return change([power](State& s) {
        s.wifiPower = power;
        if (power == DevicePowerState::D0) {
            s.wifi = true;
        } else if (power == DevicePowerState::D4) {
            s.wifi = false;
        }
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setBluetooth(Bluetooth mode) {
    return change([mode](State& s) {
        s.bluetooth = mode;
        return ERROR_SUCCESS;
    });
}

bool CSimPhone::takesBandCommand(const std::string& model) {
    return model == "Kaiser" || model == "Polaris";
}

Result CSimPhone::setRadio(bool on) {
    // A radio that starts reads the band it is to work in; an unreadable value leaves the band.
    uint32_t stored = 0;
    const bool readable =
        _registry.getDword(RegRoot::LocalMachine, kBandKey, kBandValue, stored) == ERROR_SUCCESS &&
        stored <= 2;
    return change([on, stored, readable](State& s) {
        if (on && !s.radio) {
            if (takesBandCommand(s.model)) {
                s.band = s.vendorBand;
            } else if (readable) {
                s.band = stored;
            }
        }
        s.radio = on;
        if (!on) {
            // No data connection outlives the radio.
            for (Connection& c : s.connections) {
                c.connected = false;
                c.sent = c.received = 0;
            }
            s.registered = false;
        }
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setRegistered(bool registered) {
    return change([registered](State& s) {
        if (registered && !s.radio) {
            return ERROR_INVALID_PARAMETER;
        }
        s.registered = registered;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setNoCoverage() {
    return change([](State& s) {
        s.cell = 0;
        s.lac = 0;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setCell(int32_t cell, int32_t lac) {
    if (cell < 1 || lac < 1) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([=](State& s) {
        s.cell = cell;
        s.lac = lac;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setSignal(int32_t dbm, std::optional<std::pair<int32_t, int32_t>> range) {
    if (range && range->first >= range->second) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([=](State& s) {
        s.signal = dbm;
        if (range) {
            s.signalMin = range->first;
            s.signalMax = range->second;
        }
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setBattery(uint32_t percent, std::optional<int32_t> current, std::optional<bool> ac) {
    if (percent > kMaxBattery) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([=](State& s) {
        s.battery = percent;
        s.current = current.value_or(s.current);
        s.ac = ac.value_or(s.ac);
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setAc(bool plugged) {
    return change([plugged](State& s) {
        s.ac = plugged;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setSimLocked(bool locked) {
    return change([locked](State& s) {
        s.simLocked = locked;
        s.pinPrompt = locked;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setSimPin(const std::string& pin) {
    if (!validPin(pin)) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([&pin](State& s) {
        s.simPin = pin;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::unlockSim(const std::string& pin) {
    return change([&pin](State& s) {
        if (!s.simLocked) {
            return ERROR_SUCCESS;
        }
        if (pin != s.simPin) {
            return SIM_E_INCORRECTPASSWORD;
        }
        s.simLocked = false;
        s.pinPrompt = false;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::closePinPrompt() {
    return change([](State& s) {
        s.pinPrompt = false;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::startCall() {
    return change([](State& s) {
        ++s.calls;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::endCall() {
    return change([](State& s) {
        if (s.calls > 0) {
            --s.calls;
        }
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setPowerState(uint32_t flags) {
    if (flags == 0 || (flags & ~kKnownPowerStates) != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([flags](State& s) {
        s.powerState = flags;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setVibrator(bool on) {
    return change([on](State& s) {
        if (on && !s.vibrating) {
            ++s.vibrations;
        }
        s.vibrating = on;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::beep() {
    return change([](State& s) {
        ++s.beeps;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setBluetoothStack(bool up) {
    return change([up](State& s) {
        s.btStack = up;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setVendorBand(uint32_t band) {
    if (band > 2) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([band](State& s) {
        s.vendorBand = band;
        return ERROR_SUCCESS;
    });
}

bool CSimPhone::validPhoneNumber(const std::string& number) {
    return platform::validPhoneNumber(number);
}

Result CSimPhone::setForwarding(const std::string& number) {
    if (!number.empty() && !validPhoneNumber(number)) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([&number](State& s) {
        s.forwarding = number;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setSound(uint32_t type, const std::string& file) {
    if (type > SND_SOUNDTYPE_NONE || (type == SND_SOUNDTYPE_FILE && file.empty()) ||
        file.find_first_of("\r\n") != std::string::npos) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([type, &file](State& s) {
        s.sound = type;
        s.soundFile = type == SND_SOUNDTYPE_FILE ? file : std::string();
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setVolume(uint32_t volume) {
    return change([volume](State& s) {
        s.volume = volume;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setBacklight(uint32_t battery, uint32_t ac) {
    if (battery > kMaxBacklight || ac > kMaxBacklight) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([battery, ac](State& s) {
        s.backlightBattery = battery;
        s.backlightAc = ac;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setBrightness(uint32_t level) {
    if (level > kMaxBacklight) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([level](State& s) {
        s.brightness = level;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setBeam(bool on) {
    return change([on](State& s) {
        s.beam = on;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setGps(Gps gps, uint32_t satellites, std::optional<std::pair<double, double>> position) {
    if (satellites > kMaxGpsSatellites ||
        (position && !(position->first >= -90 && position->first <= 90 && position->second >= -180 &&
                       position->second <= 180))) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([=](State& s) {
        s.gps = gps;
        s.gpsSatellites = satellites;
        if (position) {
            s.gpsLatitude = position->first;
            s.gpsLongitude = position->second;
        }
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::setModel(const std::string& model) {
    if (model.empty() || model.size() > kMaxModelLength || model.find_first_of("\r\n") != std::string::npos) {
        return ERROR_INVALID_PARAMETER;
    }
    return change([&model](State& s) {
        s.model = model;
        return ERROR_SUCCESS;
    });
}

Result CSimPhone::loadBacklightSettings() {
    uint32_t battery = 0;
    uint32_t ac = 0;
    if (_registry.getDword(RegRoot::CurrentUser, kBacklightKey, kBacklightBattery, battery) !=
            ERROR_SUCCESS ||
        _registry.getDword(RegRoot::CurrentUser, kBacklightKey, kBacklightAc, ac) != ERROR_SUCCESS) {
        return ERROR_FILE_NOT_FOUND;
    }
    // The driver knows levels up to kMaxBacklight; more is its brightest.
    return setBacklight(std::min(battery, kMaxBacklight), std::min(ac, kMaxBacklight));
}

Result CSimPhone::addToOutbox(const OutboxEntry& e) {
    std::lock_guard lock(_lock);
    LockFile::Guard guard(*_lockFile);
    try {
        CSqliteStatement st(*_db,
                            "INSERT INTO outbox(time, kind, store, recipients, subject, text, transport) "
                            "VALUES(?, ?, ?, ?, ?, ?, ?)");
        st.bind(1, e.time).bind(2, e.kind).bind(3, e.store).bind(4, e.to).bind(5, e.subject).bind(6, e.text);
        st.bind(7, e.transport).run();
    } catch (const PlatformError&) {
        return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

std::vector<CSimPhone::OutboxEntry> CSimPhone::loadOutbox(const CHome& home) {
    std::vector<OutboxEntry> entries;
    std::filesystem::path file = stateFile(home);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return entries;
    }
    CSqliteConnection db(file, false);
    CSqliteStatement table(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'outbox'");
    if (!table.step()) {
        return entries;
    }
    CSqliteStatement st(
        db, "SELECT id, time, kind, store, recipients, subject, text, transport FROM outbox ORDER BY id");
    while (st.step()) {
        OutboxEntry e;
        e.id = st.columnInt(0);
        e.time = st.columnText(1);
        e.kind = st.columnText(2);
        e.store = st.columnText(3);
        e.to = st.columnText(4);
        e.subject = st.columnText(5);
        e.text = st.columnText(6);
        e.transport = st.columnText(7);
        entries.push_back(std::move(e));
    }
    return entries;
}

Result CSimPhone::setSetting(const std::string& name, const std::string& value) {
    std::lock_guard lock(_lock);
    LockFile::Guard guard(*_lockFile);
    try {
        CSqliteStatement st(*_db, "INSERT OR REPLACE INTO settings(name, value) VALUES(?, ?)");
        st.bind(1, name).bind(2, value).run();
    } catch (const PlatformError&) {
        return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

std::string CSimPhone::setting(const std::string& name) {
    std::lock_guard lock(_lock);
    CSqliteStatement st(*_db, "SELECT value FROM settings WHERE name = ?");
    st.bind(1, name);
    return st.step() ? st.columnText(0) : std::string();
}

std::map<std::string, std::string> CSimPhone::loadSettings(const CHome& home) {
    std::map<std::string, std::string> settings;
    std::filesystem::path file = stateFile(home);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return settings;
    }
    CSqliteConnection db(file, false);
    // A file written before the phone kept settings has no table for them.
    CSqliteStatement table(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'settings'");
    if (!table.step()) {
        return settings;
    }
    CSqliteStatement st(db, "SELECT name, value FROM settings");
    while (st.step()) {
        settings[st.columnText(0)] = st.columnText(1);
    }
    return settings;
}

std::string CSimPhone::describe(const State& s) {
    std::string text;
    for (const auto& [key, value] : rowsOf(s)) {
        text += key + "=" + value + "\n";
    }
    return text;
}

const char* CSimPhone::gpsName(Gps gps) {
    switch (gps) {
        case Gps::Off:
            return "off";
        case Gps::Fix:
            return "fix";
        case Gps::NoFix:
            break;
    }
    return "nofix";
}

const char* CSimPhone::bluetoothName(Bluetooth mode) {
    switch (mode) {
        case Bluetooth::Connectable:
            return "connectable";
        case Bluetooth::Discoverable:
            return "discoverable";
        case Bluetooth::Off:
            break;
    }
    return "off";
}

const char* CSimPhone::bandName(uint32_t band) {
    switch (band) {
        case 1:
            return "2G";
        case 2:
            return "3G";
        default:
            return "auto";
    }
}

const char* CSimPhone::soundName(uint32_t type) {
    switch (type) {
        case SND_SOUNDTYPE_FILE:
            return "file";
        case SND_SOUNDTYPE_VIBRATE:
            return "vibrate";
        case SND_SOUNDTYPE_NONE:
            return "none";
        default:
            return "on";
    }
}

bool CSimPhone::parseSound(const std::string& text, uint32_t& type) {
    for (uint32_t t = SND_SOUNDTYPE_ON; t <= SND_SOUNDTYPE_NONE; ++t) {
        if (text == soundName(t)) {
            type = t;
            return true;
        }
    }
    return false;
}

bool CSimPhone::parseBluetooth(const std::string& text, Bluetooth& mode) {
    if (text == "off") {
        mode = Bluetooth::Off;
    } else if (text == "connectable") {
        mode = Bluetooth::Connectable;
    } else if (text == "discoverable") {
        mode = Bluetooth::Discoverable;
    } else {
        return false;
    }
    return true;
}

void CSimPhone::registerControlCommands(const std::weak_ptr<CSimPhone>& phone, CControlServer& control) {
    using Words = std::vector<std::string>;
    using Error = CControlServer::ControlError;
    auto live = [phone]() {
        std::shared_ptr<CSimPhone> p = phone.lock();
        if (!p) {
            throw Error("the simulated phone is not available");
        }
        return p;
    };
    auto done = [](Result r, const std::string& lines) {
        if (r != ERROR_SUCCESS) {
            throw Error("the phone could not make the change (error " + std::to_string(r) + ")");
        }
        return lines;
    };
    auto onOffArgument = [](const Words& args, const char* verb) {
        if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) {
            throw Error(std::string(verb) + ": expected on or off");
        }
        return args[0] == "on";
    };
    // A whole number in [lo, hi], or a refusal that names what was expected.
    auto number = [](const std::string& text, int64_t lo, int64_t hi, const std::string& what) {
        int64_t v = 0;
        if (!parseNumber(text, lo, hi, v)) {
            throw Error(what + ": expected a whole number from " + std::to_string(lo) + " to " +
                        std::to_string(hi) + ", got '" + text + "'");
        }
        return v;
    };
    auto line = [](const char* key, const std::string& value) {
        return std::string(key) + "=" + value + "\n";
    };

    control.on("wifi", [=](const Words& args) {
        bool on = onOffArgument(args, "wifi");
        return done(live()->setWifi(on), line("wifi", onOff(on)));
    });
    control.on("radio", [=](const Words& args) {
        bool on = onOffArgument(args, "radio");
        std::shared_ptr<CSimPhone> p = live();
        Result r = p->setRadio(on);
        // A radio switched on from outside registers by itself.
        if (r == ERROR_SUCCESS && on) {
            r = p->setRegistered(true);
        }
        return done(r, line("radio", onOff(on)));
    });
    control.on("power", [=](const Words& args) {
        static const std::map<std::string, uint32_t> kStates = {
            {"on", POWER_STATE_ON}, {"idle", POWER_STATE_IDLE}, {"suspend", POWER_STATE_SUSPEND}};
        auto it = args.size() == 1 ? kStates.find(args[0]) : kStates.end();
        if (it == kStates.end()) {
            throw Error("power: expected on, idle or suspend");
        }
        return done(live()->setPowerState(it->second), line("power", hex(it->second)));
    });
    control.on("bt", [=](const Words& args) {
        if (args.size() == 2 && args[0] == "stack" && (args[1] == "up" || args[1] == "down")) {
            return done(live()->setBluetoothStack(args[1] == "up"), line("bt_stack", args[1]));
        }
        Bluetooth mode;
        if (args.size() != 1 || !parseBluetooth(args[0], mode)) {
            throw Error("bt: expected off, connectable, discoverable or stack up|down");
        }
        return done(live()->setBluetooth(mode), line("bt", bluetoothName(mode)));
    });
    control.on("model", [=](const Words& args) {
        if (args.size() != 1 || args[0].empty() || args[0].size() > kMaxModelLength ||
            args[0].find_first_of("\r\n") != std::string::npos) {
            throw Error("model: expected the model text (1 to " + std::to_string(kMaxModelLength) +
                        " characters, one line)");
        }
        return done(live()->setModel(args[0]), line("model", args[0]));
    });
    control.on("sound", [=](const Words& args) {
        uint32_t type = 0;
        if (args.empty() || args.size() > 2 || !parseSound(args[0], type) ||
            (args.size() == 2 && type != SND_SOUNDTYPE_FILE)) {
            throw Error("sound: expected on, vibrate, none or file [FILE]");
        }
        // A sound file from outside: the one given, or the phone's own alarm.
        std::string file = type == SND_SOUNDTYPE_FILE ? (args.size() == 2 ? args[1] : "Alarm1.wav") : "";
        return done(live()->setSound(type, file), line("sound", soundName(type)));
    });
    control.on("cell", [=](const Words& args) {
        if (args.size() == 1 && args[0] == "none") {
            return done(live()->setNoCoverage(), line("cell", "0") + line("lac", "0"));
        }
        if (args.size() != 2) {
            throw Error("cell: expected CELL LAC, or none");
        }
        auto cell = static_cast<int32_t>(number(args[0], 1, INT32_MAX, "cell: CELL"));
        auto lac = static_cast<int32_t>(number(args[1], 1, INT32_MAX, "cell: LAC"));
        return done(live()->setCell(cell, lac),
                    line("cell", std::to_string(cell)) + line("lac", std::to_string(lac)));
    });
    control.on("signal", [=](const Words& args) {
        if (args.size() != 1 && args.size() != 3) {
            throw Error("signal: expected DBM, or DBM MIN MAX");
        }
        // dBm: a wide, but sane, range.
        constexpr int64_t kLow = -1000, kHigh = 1000;
        auto dbm = static_cast<int32_t>(number(args[0], kLow, kHigh, "signal: DBM"));
        std::optional<std::pair<int32_t, int32_t>> range;
        std::string lines = line("signal", std::to_string(dbm));
        if (args.size() == 3) {
            auto lo = static_cast<int32_t>(number(args[1], kLow, kHigh, "signal: MIN"));
            auto hi = static_cast<int32_t>(number(args[2], kLow, kHigh, "signal: MAX"));
            if (lo >= hi) {
                throw Error("signal: MIN must be below MAX");
            }
            range.emplace(lo, hi);
            lines += line("signal_min", std::to_string(lo)) + line("signal_max", std::to_string(hi));
        }
        return done(live()->setSignal(dbm, range), lines);
    });
    control.on("battery", [=](const Words& args) {
        if (args.empty()) {
            throw Error("battery: expected PERCENT [--current MA] [--ac|--no-ac]");
        }
        auto percent = static_cast<uint32_t>(number(args[0], 0, kMaxBattery, "battery: PERCENT"));
        std::optional<int32_t> current;
        std::optional<bool> ac;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--current" && !current) {
                if (i + 1 >= args.size()) {
                    throw Error("battery: --current needs a value in mA");
                }
                current = static_cast<int32_t>(number(args[++i], -100000, 100000, "battery: --current"));
            } else if ((args[i] == "--ac" || args[i] == "--no-ac") && !ac) {
                ac = args[i] == "--ac";
            } else {
                throw Error("battery: unexpected '" + args[i] +
                            "' (expected --current MA and one of --ac or --no-ac, each at most once)");
            }
        }
        std::string lines = line("battery", std::to_string(percent));
        if (current) {
            lines += line("current", std::to_string(*current));
        }
        if (ac) {
            lines += line("ac", onOff(*ac));
        }
        return done(live()->setBattery(percent, current, ac), lines);
    });
    control.on("sim", [=](const Words& args) {
        if (args.size() == 1 && (args[0] == "locked" || args[0] == "unlocked")) {
            bool locked = args[0] == "locked";
            return done(live()->setSimLocked(locked),
                        line("sim", args[0]) + line("pin_prompt", locked ? "shown" : "closed"));
        }
        if (args.size() == 2 && args[0] == "pin") {
            if (!validPin(args[1])) {
                throw Error("sim pin: the PIN must be " + std::to_string(kMinPinLength) + " to " +
                            std::to_string(kMaxPinLength) + " digits");
            }
            return done(live()->setSimPin(args[1]), line("sim_pin", args[1]));
        }
        throw Error("sim: expected locked, unlocked or pin PIN");
    });
    control.on("call", [=](const Words& args) {
        if (args.size() != 1 || (args[0] != "start" && args[0] != "end")) {
            throw Error("call: expected start or end");
        }
        std::shared_ptr<CSimPhone> p = live();
        Result r = args[0] == "start" ? p->startCall() : p->endCall();
        if (r != ERROR_SUCCESS) {
            return done(r, "");
        }
        return line("call", std::to_string(p->state().calls));
    });
    control.on("gps", [=](const Words& args) {
        const char* usage = "gps: expected fix LAT LON [--sats N], nofix [--sats N], off or on";
        if (args.size() == 1 && (args[0] == "off" || args[0] == "on")) {
            std::shared_ptr<CSimPhone> p = live();
            State s = p->state();
            if (args[0] == "off") {
                return done(p->setGps(Gps::Off, 0), line("gps", gpsName(Gps::Off)));
            }
            // Plugged in again: it sends, without a fix until told of one.
            if (s.gps == Gps::Off) {
                return done(p->setGps(Gps::NoFix, 0), line("gps", gpsName(Gps::NoFix)));
            }
            return line("gps", gpsName(s.gps));
        }
        if (args.empty() || (args[0] != "fix" && args[0] != "nofix")) {
            throw Error(usage);
        }
        bool fix = args[0] == "fix";
        size_t next = 1;
        std::optional<std::pair<double, double>> position;
        std::string lines = line("gps", args[0]);
        if (fix) {
            double lat = 0, lon = 0;
            if (args.size() < 3 || !parseDegrees(args[1], -90, 90, lat) ||
                !parseDegrees(args[2], -180, 180, lon)) {
                throw Error("gps fix: expected LAT (-90 to 90) and LON (-180 to 180) in decimal degrees");
            }
            position.emplace(lat, lon);
            lines += line("gps_lat", degrees(lat)) + line("gps_lon", degrees(lon));
            next = 3;
        }
        // A receiver with a fix uses a few satellites unless told otherwise.
        uint32_t sats = fix ? 8 : 0;
        if (args.size() == next + 2 && args[next] == "--sats") {
            sats = static_cast<uint32_t>(number(args[next + 1], 0, kMaxGpsSatellites, "gps: --sats"));
        } else if (args.size() != next) {
            throw Error(usage);
        }
        lines += line("gps_sats", std::to_string(sats));
        return done(live()->setGps(fix ? Gps::Fix : Gps::NoFix, sats, position), lines);
    });
    control.on("phone", [=](const Words& args) {
        if (!args.empty()) {
            throw Error("phone takes no arguments");
        }
        std::shared_ptr<CSimPhone> p = live();
        State s = p->state();
        return describe(s) + describeConnections(s, p->_registry);
    });
    control.on("connection", [=](const Words& args) { return connectionCommand(*live(), args); });
}

std::string CSimPhone::connectionCommand(CSimPhone& phone, const std::vector<std::string>& args) {
    using BadArguments = CControlServer::BadArguments;
    using Error = CControlServer::ControlError;
    const bool known = args.size() >= 2 &&
                       (args[0] == "add" || args[0] == "up" || args[0] == "down" || args[0] == "traffic");
    if (!known || (args[0] == "traffic" ? args.size() != 3 : args.size() != 2)) {
        throw BadArguments("connection: expected add NAME, up NAME, down NAME or traffic NAME BYTES");
    }
    const std::string& name = args[1];
    if (!validConnectionName(name)) {
        throw BadArguments("connection: a NAME is 1 to " + std::to_string(kMaxConnectionName) +
                           " letters, digits, '.', '_' or '-'");
    }
    Result r;
    if (args[0] == "add") {
        r = phone.addConnection(name);
    } else if (args[0] == "traffic") {
        int64_t bytes = 0;
        if (!parseNumber(args[2], 0, UINT32_MAX, bytes)) {
            throw BadArguments("connection traffic: BYTES is a whole number from 0 to " +
                               std::to_string(UINT32_MAX));
        }
        r = phone.addConnectionTraffic(name, static_cast<uint32_t>(bytes));
    } else {
        r = phone.setConnectionUp(name, args[0] == "up");
    }
    switch (r) {
        case ERROR_SUCCESS:
            break;
        case ERROR_ALREADY_EXISTS:
            throw Error("connection: there is already an entry named " + name);
        case ERROR_NOT_FOUND:
            throw Error("connection: no entry is named " + name);
        case ERROR_NOT_READY:
            throw Error(args[0] == "up" ? "connection: the phone radio is off"
                                        : "connection: " + name + " is not connected");
        default:
            throw Error("connection: the phone could not make the change (error " + std::to_string(r) + ")");
    }
    State s = phone.state();
    for (const Connection& c : s.connections) {
        if (c.name == name) {
            State one;
            one.connections.push_back(c);
            return describeConnections(one, phone._registry);
        }
    }
    return std::string();
}

}  // namespace platform::sim
