#include "tools/device/CDeviceTool.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/DateTime.h"
#include "core/Utf16.h"
#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/ControlProtocol.h"
#include "platform/DeviceStateKeys.h"
#include "platform/PlatformError.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimPhone.h"
#include "platform/sim/CSimShell.h"
#include "platform/sim/CSimTodayThemePanel.h"
#include "platform/sim/CSimUserNotifications.h"
#include "store/CDB.h"
#include "tools/device/CDeviceArgs.h"
#include "tools/device/CScenario.h"

namespace {

using platform::RegRoot;
using platform::RegType;

bool parseTime(const std::string& text, SYSTEMTIME& t) {
    unsigned y, mo, d, h, mi, s;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u-%u-%u %u:%u:%u%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 &&
        std::sscanf(text.c_str(), "%u-%u-%uT%u:%u:%u%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
        return false;
    }
    static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] || h > 23 || mi > 59 ||
        s > 59) {
        return false;
    }
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (mo == 2 && d == 29 && !leap) {
        return false;
    }
    t = SYSTEMTIME{static_cast<uint16_t>(y),
                   static_cast<uint16_t>(mo),
                   0,
                   static_cast<uint16_t>(d),
                   static_cast<uint16_t>(h),
                   static_cast<uint16_t>(mi),
                   static_cast<uint16_t>(s),
                   0};
    return true;
}

bool parseRoot(const std::string& key, RegRoot& root, std::string& path) {
    auto slash = key.find('\\');
    std::string head = key.substr(0, slash);
    path = slash == std::string::npos ? "" : key.substr(slash + 1);
    if (strcasecmp(head.c_str(), "HKLM") == 0 || strcasecmp(head.c_str(), "HKEY_LOCAL_MACHINE") == 0) {
        root = RegRoot::LocalMachine;
    } else if (strcasecmp(head.c_str(), "HKCU") == 0 || strcasecmp(head.c_str(), "HKEY_CURRENT_USER") == 0) {
        root = RegRoot::CurrentUser;
    } else if (strcasecmp(head.c_str(), "HKCR") == 0 || strcasecmp(head.c_str(), "HKEY_CLASSES_ROOT") == 0) {
        root = RegRoot::ClassesRoot;
    } else {
        return false;
    }
    return true;
}

std::string valueText(const platform::RegValue& v) {
    switch (v.type) {
        case RegType::Dword:
            if (v.data.size() == 4) {
                uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                             (static_cast<uint32_t>(v.data[3]) << 24);
                return std::to_string(n);
            }
            break;
        case RegType::Sz:
            return std::string(v.data.begin(), v.data.end());
        case RegType::Binary: {
            std::string hex;
            static constexpr char kHex[] = "0123456789abcdef";
            for (uint8_t b : v.data) {
                hex += kHex[b >> 4];
                hex += kHex[b & 15];
            }
            return hex;
        }
        case RegType::None:
            break;
    }
    return "?";
}

int fail(const std::string& why) {
    std::fprintf(stderr, "zentrova-device: %s\n", why.c_str());
    return CDeviceTool::kFailed;
}

int usageError(const std::string& why) {
    std::fprintf(stderr, "zentrova-device: %s (see zentrova-device --help)\n", why.c_str());
    return CDeviceTool::kUsage;
}

}  // namespace

CDeviceTool::CDeviceTool(platform::Services& services, std::string backend)
    : _services(services), _backend(std::move(backend)), _profiles(services) {
    _local["status"] = [this](const auto& a) { return status(a); };
    _local["reg"] = [this](const auto& a) { return reg(a); };
    _local["clock"] = [this](const auto& a) { return clock(a); };
    _local["notifications"] = [this](const auto& a) { return notifications(a); };
    _local["log"] = [this](const auto& a) { return log(a); };
    _local["db"] = [this](const auto& a) { return db(a); };
    _local["outbox"] = [this](const auto& a) { return outbox(a); };
    _local["connection"] = [this](const auto& a) { return connection(a); };
    _profiles.Register(_local, [this](const auto& words) { return forward(words); });
    _local["scenario"] = [this](const auto& a) {
        return CScenario(_services, [this](const auto& words) { return Run(words); }).Run(a);
    };
}

void CDeviceTool::Usage(FILE* out) {
    std::fprintf(out,
                 "usage: zentrova-device [--home DIR] [--backend sim|linux] COMMAND ...\n"
                 "  --backend B                 the phone to read: sim (default, or $ZENTROVA_BACKEND) or\n"
                 "                              linux (this machine's services; status shows their state)\n"
                 "  status                      backend=, then the simulated phone: clock, speed, wifi, bt, "
                 "radio, sim,\n"
                 "                              cell, lac, signal, battery, current, ac, call, power, ...\n"
                 "  clock                       the phone's clock and speed\n"
                 "  clock set 'YYYY-MM-DD HH:MM:SS' | clock advance 90m|2h|30s|1d | clock speed N\n"
                 "  notifications               pending notifications: handle, time, application, arguments\n"
                 "  log [-f]                    the event log as UTF-8 text (-f: keep following it)\n"
                 "  db                          every row of the five tables, table by table\n"
                 "  reg list KEY | reg get KEY NAME | reg delete KEY NAME\n"
                 "  reg set KEY NAME dword N | reg set KEY NAME sz TEXT | reg set KEY NAME binary HEX\n"
                 "                              KEY as HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova\n"
                 "  outbox                      SMS and mail the phone sent, oldest first\n"
                 "  wifi on|off | bt off|connectable|discoverable | bt stack up|down | radio on|off\n"
                 "                              a change of a radio made outside the program\n"
                 "  sound on|vibrate|none|file [FILE] | power on|idle|suspend | model NAME\n"
                 "                              the sound profile, the power state, the model text\n"
                 "  cell CELL LAC | signal DBM [MIN MAX] | call start|end\n"
                 "  battery PERCENT [--current MA] [--ac|--no-ac]\n"
                 "  sim locked|unlocked | sim pin PIN\n"
                 "  connection add NAME | connection up|down NAME | connection traffic NAME BYTES\n"
                 "                              a data connection of the phone: a new entry, a link\n"
                 "                              up or down, bytes over the link\n"
                 "  gps fix LAT LON [--sats N] | gps nofix [--sats N] | gps off | gps on\n"
                 "                              a change of the phone made outside the program\n"
                 "  phone                       the running phone's devices as key=value lines\n"
                 "  app                         the running program's own view\n"
                 "  pin PIN | pin2 PIN          the SIM PINs the program unlocks the SIM with\n"
                 "  place add NAME              a new place, with no time frames\n"
                 "  frame add PLACE mon..sun|1..7|all HH:MM HH:MM [--name N] [--always-on]\n"
                 "                              a time frame of a place (all: one each day)\n"
                 "  action add PLACE FRAME enter|exit CODE INTOP1\n"
                 "             [--level N] [--delay S] [--text S] [--text2 S] [--text3 S]\n"
                 "                              an action of every frame of that name\n"
                 "                              (codes 0-6, 9-16, 50-53)\n"
                 "  cell assign CELLID PLACE | lac assign LAC PLACE\n"
                 "                              lead a cell or area code to a place\n"
                 "  lock PLACE | unlock         lock the program on a place (stored when none runs)\n"
                 "  scenario FILE [--real-limit SECONDS]\n"
                 "                              the steps of a file: commands, wait DURATION,\n"
                 "                              expect log TEXT|app K=V|status K=V [within DURATION]\n"
                 "  any other command is handed to the running program.\n"
                 "Exit codes: 0 done, 1 failed, 2 bad command, 3 no program running.\n");
}

int CDeviceTool::Run(const std::vector<std::string>& words) {
    if (auto it = _local.find(words.front()); it != _local.end()) {
        return it->second(std::vector<std::string>(words.begin() + 1, words.end()));
    }
    return forward(words);
}

int CDeviceTool::forward(const std::vector<std::string>& words) {
    platform::CControlClient client(_services.home());
    std::string reply;
    switch (client.request(words, reply)) {
        case platform::CControlClient::Status::Ok:
            std::fputs(reply.c_str(), stdout);
            return kOk;
        case platform::CControlClient::Status::Refused:
            if (reply.rfind(platform::control::kBadArguments, 0) == 0) {
                return usageError(words.front() + ": " +
                                  reply.substr(std::strlen(platform::control::kBadArguments)));
            }
            return fail(reply);
        case platform::CControlClient::Status::NotRunning:
            std::fprintf(stderr, "zentrova-device: %s; '%s' needs the running program\n", reply.c_str(),
                         words.front().c_str());
            return kNotRunning;
        case platform::CControlClient::Status::Failed:
            break;
    }
    return fail(reply);
}

int CDeviceTool::status(const std::vector<std::string>& args) {
    if (!args.empty()) {
        return usageError("status takes no arguments");
    }
    std::printf("backend=%s\n", _backend.c_str());
    if (_backend != "sim") {
        return realStatus();
    }
    platform::IClock& c = _services.clock();
    // The devices as the phone stored them, whether or not the program runs.
    platform::sim::CSimPhone::State phone = platform::sim::CSimPhone::load(_services.home());
    std::printf("clock=%s\nspeed=%g\n%sprogram=%s\n", DT_Format(c.localTime()).c_str(), c.speed(),
                platform::sim::CSimPhone::describe(phone).c_str(),
                platform::CControlClient(_services.home()).isRunning() ? "running" : "stopped");
    std::fputs(platform::sim::CSimPhone::describeConnections(phone, _services.registry()).c_str(), stdout);
    // What the shell and the Today panel keep: empty when never set.
    std::map<std::string, std::string> kept = platform::sim::CSimPhone::loadSettings(_services.home());
    for (const char* name : {platform::sim::CSimShell::kLastOpened, platform::sim::CSimShell::kRingTone,
                             platform::sim::CSimTodayThemePanel::kTodayTheme}) {
        std::printf("%s=%s\n", name, kept[name].c_str());
    }
    return kOk;
}

int CDeviceTool::realStatus() {
    platform::IClock& c = _services.clock();
    platform::IRegistry& r = _services.registry();
    std::printf("clock=%s\nspeed=%g\n", DT_Format(c.localTime()).c_str(), c.speed());
    // The values the backend keeps in step with the real services; -1 when it has none.
    auto value = [&r](const char* key, const char* name) -> long long {
        uint32_t v = 0;
        return r.getDword(platform::RegRoot::LocalMachine, key, name, v) == platform::ERROR_SUCCESS
                   ? static_cast<long long>(v)
                   : -1;
    };
    std::printf("wifi_hardware=%lld\nphone_status=%lld\ncalls=%lld\nbattery_main=%lld\n",
                value(platform::state::kHardwareKey, platform::state::kWifiHardwareValue),
                value(platform::state::kPhoneKey, platform::state::kPhoneStatusValue),
                value(platform::state::kPhoneKey, platform::state::kCallCountValue),
                value(platform::state::kBatteryKey, platform::state::kBatteryMainValue));
    for (const std::string& line : _services.unavailable()) {
        std::printf("unavailable=%s\n", line.c_str());
    }
    std::printf("program=%s\n",
                platform::CControlClient(_services.home()).isRunning() ? "running" : "stopped");
    return kOk;
}

int CDeviceTool::connection(const std::vector<std::string>& args) {
    std::vector<std::string> words{"connection"};
    words.insert(words.end(), args.begin(), args.end());
    if (platform::CControlClient(_services.home()).isRunning()) {
        return forward(words);
    }
    try {
        platform::sim::CSimPhone phone(_services.home(), _services.registry(), false);
        std::fputs(platform::sim::CSimPhone::connectionCommand(phone, args).c_str(), stdout);
        return kOk;
    } catch (const platform::CControlServer::BadArguments& e) {
        return usageError(e.what());
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

int CDeviceTool::outbox(const std::vector<std::string>& args) {
    if (!args.empty()) {
        return usageError("outbox takes no arguments");
    }
    // Line breaks of a text are shown as \n, so that each message stays one line.
    auto oneLine = [](const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c == '\n') {
                out += "\\n";
            } else if (c != '\r') {
                out += c;
            }
        }
        return out;
    };
    for (const auto& e : platform::sim::CSimPhone::loadOutbox(_services.home())) {
        if (e.kind == "sms") {
            std::printf("outbox=%lld kind=sms time=%s to=%s text=%s\n", static_cast<long long>(e.id),
                        e.time.c_str(), e.to.c_str(), oneLine(e.text).c_str());
        } else {
            std::printf("outbox=%lld kind=%s time=%s store=%s to=%s via=%s subject=%s body=%s\n",
                        static_cast<long long>(e.id), e.kind.c_str(), e.time.c_str(), e.store.c_str(),
                        e.to.c_str(), oneLine(e.transport).c_str(), oneLine(e.subject).c_str(),
                        oneLine(e.text).c_str());
        }
    }
    return kOk;
}

int CDeviceTool::clock(const std::vector<std::string>& args) {
    auto* sim = dynamic_cast<platform::sim::CSimClock*>(&_services.clock());
    if (args.empty()) {
        std::printf("clock=%s\nspeed=%g\n", DT_Format(_services.clock().localTime()).c_str(),
                    _services.clock().speed());
        return kOk;
    }
    if (!sim) {
        return fail(_backend == "sim"
                        ? "this phone's clock cannot be changed"
                        : "the " + _backend +
                              " backend runs on the system clock; set it with the system's tools "
                              "(timedatectl)");
    }
    if (args[0] == "set" && args.size() == 2) {
        SYSTEMTIME t;
        if (!parseTime(args[1], t)) {
            return usageError("clock set: expected 'YYYY-MM-DD HH:MM:SS', got '" + args[1] + "'");
        }
        try {
            sim->setLocalMillis(platform::sim::CSimClock::toMillis(t));
        } catch (const platform::PlatformError& e) {
            return usageError(std::string("clock set: ") + e.what());
        }
    } else if (args[0] == "advance" && args.size() == 2) {
        int64_t ms = 0;
        if (!CDeviceArgs::ParseDuration(args[1], ms)) {
            return usageError("clock advance: expected a duration such as 90m, 2h, 30s or 1d, got '" +
                              args[1] + "'");
        }
        try {
            sim->advance(ms);
        } catch (const platform::PlatformError& e) {
            return usageError(std::string("clock advance: ") + e.what());
        }
    } else if (args[0] == "speed" && args.size() == 2) {
        char* end = nullptr;
        double f = std::strtod(args[1].c_str(), &end);
        if (end == args[1].c_str() || *end || !(f >= 0.001) || f > 1e6) {
            return usageError("clock speed: expected a factor from 0.001 to 1000000, got '" + args[1] + "'");
        }
        sim->setSpeed(f);
    } else {
        return usageError("clock: expected set, advance or speed");
    }
    std::printf("clock=%s\nspeed=%g\n", DT_Format(sim->localTime()).c_str(), sim->speed());
    return kOk;
}

int CDeviceTool::notifications(const std::vector<std::string>& args) {
    auto& n = _services.notifications();
    if (args.size() == 1 && args[0] == "run") {
        // The detached runner that fires what a program left pending when it ended.
        auto* sim = dynamic_cast<platform::sim::CSimUserNotifications*>(&n);
        if (!sim) {
            return fail("this phone's notifications cannot be run here");
        }
        sim->runUntilIdle();
        return kOk;
    }
    if (!args.empty()) {
        return usageError("notifications takes no arguments");
    }
    for (uint32_t h : n.getUserNotificationHandles()) {
        platform::UserNotificationTrigger t;
        if (n.getUserNotification(h, t)) {
            std::printf("handle=%u time=%s application=%s arguments=%s\n", h, DT_Format(t.start).c_str(),
                        t.application.c_str(), t.arguments.c_str());
        }
    }
    return kOk;
}

int CDeviceTool::reg(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return usageError("reg: expected list, get, set or delete and a key");
    }
    RegRoot root;
    std::string path;
    if (!parseRoot(args[1], root, path)) {
        return usageError("reg: the key must start with HKLM, HKCU or HKCR: '" + args[1] + "'");
    }
    auto& r = _services.registry();
    const std::string& op = args[0];
    if (op == "list" && args.size() == 2) {
        if (!r.keyExists(root, path)) {
            return fail("no key " + args[1]);
        }
        std::vector<std::string> names;
        r.enumSubKeys(root, path, names);
        for (const auto& k : names) {
            std::printf("[%s]\n", k.c_str());
        }
        names.clear();
        r.enumValues(root, path, names);
        for (const auto& name : names) {
            platform::RegValue v;
            if (r.getValue(root, path, name, v) == platform::ERROR_SUCCESS) {
                std::printf("%s=%s\n", name.c_str(), valueText(v).c_str());
            }
        }
        return kOk;
    }
    if (op == "get" && args.size() == 3) {
        platform::RegValue v;
        platform::Result rc = r.getValue(root, path, args[2], v);
        if (rc != platform::ERROR_SUCCESS) {
            return fail("no value " + args[2] + " under " + args[1]);
        }
        std::printf("%s\n", valueText(v).c_str());
        return kOk;
    }
    if (op == "delete" && args.size() == 3) {
        if (r.deleteValue(root, path, args[2]) != platform::ERROR_SUCCESS) {
            return fail("no value " + args[2] + " under " + args[1]);
        }
        return kOk;
    }
    if (op == "set" && args.size() == 5) {
        const std::string& name = args[2];
        const std::string& type = args[3];
        const std::string& data = args[4];
        platform::Result rc = platform::ERROR_SUCCESS;
        if (type == "dword") {
            uint32_t n = 0;
            if (!CDeviceArgs::ParseDword(data, n)) {
                return usageError("reg set: not a 32-bit unsigned number: '" + data + "'");
            }
            rc = r.setDword(root, path, name, n);
        } else if (type == "sz") {
            rc = r.setString(root, path, name, data);
        } else if (type == "binary") {
            std::vector<uint8_t> bytes;
            std::string why;
            if (!CDeviceArgs::ParseHexBytes(data, bytes, why)) {
                return usageError("reg set: " + why);
            }
            rc = r.setBinary(root, path, name, bytes);
        } else {
            return usageError("reg set: the type must be dword, sz or binary");
        }
        if (rc != platform::ERROR_SUCCESS) {
            return fail("cannot write " + name + " under " + args[1] + " (error " + std::to_string(rc) + ")");
        }
        return kOk;
    }
    return usageError("reg: unknown form");
}

int CDeviceTool::db(const std::vector<std::string>& args) {
    if (!args.empty()) {
        return usageError("db takes no arguments");
    }
    std::filesystem::path file = _services.home().programDir() / "comm_mgr.db";
    if (!std::filesystem::exists(file)) {
        return fail("no database yet at " + file.string());
    }
    CDB database;
    database.SetImportsPendingExport(false);
    try {
        database.OpenDB(0);
        std::string line;
        auto print = [&line](const char* title, const auto& rows) {
            std::printf("[%s]\n", title);
            for (const auto& row : rows) {
                std::printf("%s\n", row.toString(line).c_str());
            }
        };
        print("places", database.GetTablePlaces()->GetAllRecordsCopy());
        print("periods", database.GetTablePeriods()->GetAllRecordsCopy());
        print("actions", database.GetTableActions()->GetAllRecordsCopy());
        print("lacs", database.GetTableLAC()->GetAllRecordsCopy());
        print("cells", database.GetTableCell()->GetAllRecordsCopy());
        database.CloseDB(0);
    } catch (const CBaseException& e) {
        if (database.IsVolumeDamaged()) {
            return fail(file.string() +
                        ": the database file is damaged and cannot be read; nothing was changed. Start "
                        "zentrova to keep it aside and restore the backup comm_mgr.bak or begin with a new "
                        "database, or move the file away yourself.");
        }
        return fail(file.string() + ": " + e.GetMessageW());
    }
    return kOk;
}

int CDeviceTool::log(const std::vector<std::string>& args) {
    bool follow = args.size() == 1 && args[0] == "-f";
    if (!args.empty() && !follow) {
        return usageError("log takes only -f");
    }
    std::string path;
    if (_services.registry().getString(RegRoot::LocalMachine, CConfigurationZentrova::kKeyPath,
                                       "events_log_path", path) != platform::ERROR_SUCCESS ||
        path.empty()) {
        path = (_services.home().programDir() / "log.txt").string();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in && !follow) {
        return fail("no event log at " + path);
    }
    std::string pending;
    for (;;) {
        std::ostringstream chunk;
        if (in) {
            chunk << in.rdbuf();
            in.clear();
        } else {
            in.open(path, std::ios::binary);
        }
        pending += chunk.str();
        size_t whole = pending.size() / 2 * 2;
        if (whole) {
            std::string text = Utf16LeToUtf8(std::string_view(pending).substr(0, whole));
            pending.erase(0, whole);
            // The file's lines end with CR LF; print them as plain lines.
            std::string out;
            for (char c : text) {
                if (c != '\r') {
                    out += c;
                }
            }
            std::fputs(out.c_str(), stdout);
            std::fflush(stdout);
        }
        if (!follow) {
            return kOk;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}
