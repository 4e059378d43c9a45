#include "platform/sim/CSimGpsReceiver.h"

#include <cmath>
#include <cstdio>

#include "platform/CPosixSerialPorts.h"
#include "platform/PlatformError.h"

namespace platform::sim {

namespace {

// Degrees as NMEA writes them: degrees and minutes with four decimals ("4807.0380"), then the
// hemisphere letter as its own field.
std::string nmeaAngle(double value, int degreeDigits, char positive, char negative) {
    // In ten-thousandths of a minute, so that rounding never gives 60 minutes.
    long long units = std::llround(std::fabs(value) * 60.0 * 10000.0);
    long long degrees = units / 600000;
    long long rest = units % 600000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld%02lld.%04lld,%c", degreeDigits, degrees, rest / 10000,
                  rest % 10000, value < 0 ? negative : positive);
    return buf;
}

}  // namespace

std::string CSimGpsReceiver::sentence(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) {
        sum ^= c;
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    return "$" + body + tail;
}

std::string CSimGpsReceiver::sentencesOf(const CSimPhone::State& s, const SYSTEMTIME& t) {
    if (s.gps == CSimPhone::Gps::Off) {
        return std::string();
    }
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02u%02u%02u.00", t.wHour, t.wMinute, t.wSecond);
    char date[32];
    std::snprintf(date, sizeof date, "%02u%02u%02u", t.wDay, t.wMonth, t.wYear % 100);
    char sats[16];
    std::snprintf(sats, sizeof sats, "%02u", s.gpsSatellites);
    bool fix = s.gps == CSimPhone::Gps::Fix;
    std::string position =
        fix ? nmeaAngle(s.gpsLatitude, 2, 'N', 'S') + "," + nmeaAngle(s.gpsLongitude, 3, 'E', 'W')
            : std::string(",,,");
    std::string gga = std::string("GPGGA,") + clock + "," + position + "," + (fix ? "1" : "0") + "," + sats +
                      "," + (fix ? "0.9,12.0,M,47.0,M,," : "99.9,,,,,,");
    std::string rmc = std::string("GPRMC,") + clock + "," + (fix ? "A" : "V") + "," + position + ",0.0,0.0," +
                      date + ",,," + (fix ? "A" : "N");
    return sentence(gga) + sentence(rmc);
}

CSimGpsReceiver::CSimGpsReceiver(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock)
    : _phone(std::move(phone)), _registry(registry), _clock(clock) {
    {
        std::lock_guard lock(_lock);
        _state = _phone->state();
        follow(_state);
    }
    _subscription = _phone->subscribe([this](const CSimPhone::State&, const CSimPhone::State& after) {
        std::lock_guard lock(_lock);
        _state = after;
        follow(after);
        _wake.notify_all();
    });
    _thread = std::thread([this] { run(); });
}

CSimGpsReceiver::~CSimGpsReceiver() {
    _subscription.reset();
    {
        std::lock_guard lock(_lock);
        _stop = true;
        _wake.notify_all();
    }
    _thread.join();
    std::lock_guard lock(_lock);
    unplug();
}

std::string CSimGpsReceiver::devicePath() {
    std::lock_guard lock(_lock);
    return _terminal ? _terminal->devicePath() : std::string();
}

void CSimGpsReceiver::follow(const CSimPhone::State& state) {
    if (state.gps == CSimPhone::Gps::Off) {
        unplug();
        return;
    }
    if (_terminal) {
        return;
    }
    try {
        _terminal = std::make_unique<CPseudoTerminal>();
    } catch (const PlatformError&) {
        // A machine out of pseudo-terminals: the receiver stays unplugged until the next change.
        return;
    }
    // Claim the port unless it names a device of the machine (a real receiver).
    std::string current;
    if (_registry.getString(RegRoot::LocalMachine, CPosixSerialPorts::kPortsKey, kPort, current) !=
            ERROR_SUCCESS ||
        current.rfind("/dev/pts/", 0) == 0) {
        _registry.setString(RegRoot::LocalMachine, CPosixSerialPorts::kPortsKey, kPort,
                            _terminal->devicePath());
    }
}

void CSimGpsReceiver::unplug() {
    if (!_terminal) {
        return;
    }
    std::string current;
    if (_registry.getString(RegRoot::LocalMachine, CPosixSerialPorts::kPortsKey, kPort, current) ==
            ERROR_SUCCESS &&
        current == _terminal->devicePath()) {
        _registry.deleteValue(RegRoot::LocalMachine, CPosixSerialPorts::kPortsKey, kPort);
    }
    _terminal.reset();
}

void CSimGpsReceiver::run() {
    std::unique_lock lock(_lock);
    while (!_stop) {
        _wake.wait_for(lock, _clock.realDuration(kSendEveryMs));
        if (_stop || !_terminal) {
            continue;
        }
        std::string bytes = sentencesOf(_state, _clock.localTime());
        // A line carries about a tenth of its baud rate in bytes a second (8 data bits, start
        // and stop bit); a slow one gets the position sentence only.
        uint32_t baud = _terminal->baudRate();
        if (baud != 0 && bytes.size() * 10 > baud) {
            bytes = bytes.substr(0, bytes.find('\n') + 1);
        }
        _terminal->write(bytes);
    }
}

}  // namespace platform::sim
