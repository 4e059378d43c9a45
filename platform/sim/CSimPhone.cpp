#include "platform/sim/CSimPhone.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>
#include <vector>

#include "platform/CControlServer.h"
#include "platform/CSqliteConnection.h"
#include "platform/CSqliteStatement.h"
#include "platform/CSqliteTransaction.h"
#include "platform/PlatformError.h"

namespace platform::sim {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS devices(key TEXT PRIMARY KEY, value TEXT NOT NULL)";
constexpr const char* kSettingsSchema =
    "CREATE TABLE IF NOT EXISTS settings(name TEXT PRIMARY KEY, value TEXT NOT NULL)";

const char* onOff(bool on) {
    return on ? "on" : "off";
}

constexpr size_t kKeys = 4;  // wifi, wifi_power, bt, radio

// Reads the stored rows into a state; keys that are missing or unreadable keep their default.
// `complete` tells whether every key was stored.
CSimPhone::State readState(CSqliteConnection& db, bool* complete = nullptr) {
    std::map<std::string, std::string> rows;
    CSqliteStatement st(db, "SELECT key, value FROM devices");
    while (st.step()) {
        rows[st.columnText(0)] = st.columnText(1);
    }
    if (complete) {
        *complete = rows.size() >= kKeys;
    }
    CSimPhone::State s;
    if (auto it = rows.find("wifi"); it != rows.end()) {
        s.wifi = it->second == "on";
    }
    if (auto it = rows.find("wifi_power");
        it != rows.end() && it->second.size() == 1 && it->second[0] >= '0' && it->second[0] <= '4') {
        s.wifiPower = static_cast<DevicePowerState>(it->second[0] - '0');
    } else {
        s.wifiPower = s.wifi ? DevicePowerState::D0 : DevicePowerState::D4;
    }
    if (auto it = rows.find("bt"); it != rows.end()) {
        CSimPhone::parseBluetooth(it->second, s.bluetooth);
    }
    if (auto it = rows.find("radio"); it != rows.end()) {
        s.radio = it->second != "off";
    }
    return s;
}

void writeState(CSqliteConnection& db, const CSimPhone::State& s) {
    CSqliteStatement st(db, "INSERT OR REPLACE INTO devices(key, value) VALUES(?, ?)");
    auto put = [&](const char* key, const std::string& value) {
        st.reset();
        st.bind(1, std::string(key)).bind(2, value).run();
    };
    put("wifi", onOff(s.wifi));
    put("wifi_power", std::to_string(static_cast<int>(s.wifiPower)));
    put("bt", CSimPhone::bluetoothName(s.bluetooth));
    put("radio", onOff(s.radio));
}

std::unique_ptr<CSqliteConnection> openStateFile(const CHome& home) {
    std::error_code ec;
    std::filesystem::create_directories(home.phoneDir(), ec);
    if (ec) {
        throw PlatformError(home.phoneDir().string() + ": cannot create folder: " + ec.message());
    }
    auto db = std::make_unique<CSqliteConnection>(CSimPhone::stateFile(home), true);
    db->exec("PRAGMA journal_mode=WAL");
    db->exec(kSchema);
    db->exec(kSettingsSchema);
    return db;
}

}  // namespace

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
      _registry(registry) {
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
}

CSimPhone::~CSimPhone() = default;

std::filesystem::path CSimPhone::stateFile(const CHome& home) {
    return home.phoneDir() / "devices.db";
}

CSimPhone::State CSimPhone::state() {
    std::lock_guard lock(_lock);
    return readState(*_db);
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
    std::lock_guard lock(_lock);
    LockFile::Guard guard(*_lockFile);
    State s;
    try {
        CSqliteTransaction tx(*_db);
        s = readState(*_db);
        modify(s);
        writeState(*_db, s);
        tx.commit();
    } catch (const PlatformError&) {
        return ERROR_WRITE_FAULT;
    }
    // After the commit: a reader told of the registry change sees the new state.
    return writeRegistry(s, false);
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
    return result;
}

Result CSimPhone::setWifi(bool on) {
    return change([on](State& s) {
        s.wifi = on;
        s.wifiPower = on ? DevicePowerState::D0 : DevicePowerState::D4;
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
    });
}

Result CSimPhone::setBluetooth(Bluetooth mode) {
    return change([mode](State& s) { s.bluetooth = mode; });
}

Result CSimPhone::setRadio(bool on) {
    return change([on](State& s) { s.radio = on; });
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
    return std::string("wifi=") + onOff(s.wifi) +
           "\nwifi_power=" + std::to_string(static_cast<int>(s.wifiPower)) +
           "\nbt=" + bluetoothName(s.bluetooth) + "\nradio=" + onOff(s.radio) + "\n";
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
    auto live = [phone]() {
        std::shared_ptr<CSimPhone> p = phone.lock();
        if (!p) {
            throw CControlServer::ControlError("the simulated phone is not available");
        }
        return p;
    };
    auto done = [](Result r, const std::string& line) {
        if (r != ERROR_SUCCESS) {
            throw CControlServer::ControlError("the phone could not make the change (error " +
                                               std::to_string(r) + ")");
        }
        return line + "\n";
    };
    auto onOffArgument = [](const Words& args, const char* verb) {
        if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) {
            throw CControlServer::ControlError(std::string(verb) + ": expected on or off");
        }
        return args[0] == "on";
    };
    control.on("wifi", [=](const Words& args) {
        bool on = onOffArgument(args, "wifi");
        return done(live()->setWifi(on), std::string("wifi=") + onOff(on));
    });
    control.on("radio", [=](const Words& args) {
        bool on = onOffArgument(args, "radio");
        return done(live()->setRadio(on), std::string("radio=") + onOff(on));
    });
    control.on("bt", [=](const Words& args) {
        Bluetooth mode;
        if (args.size() != 1 || !parseBluetooth(args[0], mode)) {
            throw CControlServer::ControlError("bt: expected off, connectable or discoverable");
        }
        return done(live()->setBluetooth(mode), std::string("bt=") + bluetoothName(mode));
    });
    control.on("phone", [=](const Words& args) {
        if (!args.empty()) {
            throw CControlServer::ControlError("phone takes no arguments");
        }
        return describe(live()->state());
    });
}

}  // namespace platform::sim
