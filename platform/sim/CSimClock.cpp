#include "platform/sim/CSimClock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/PlatformError.h"
#include "platform/SystemTimeMillis.h"

namespace platform::sim {

namespace {

// How often the state file is looked at for changes made by another process.
constexpr auto kRecheck = std::chrono::milliseconds(5);
// Longest real wait of one step of sleep(), so that a change of speed is followed.
constexpr auto kSleepChunk = std::chrono::milliseconds(50);

int64_t realNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The machine's local calendar time at the real UTC instant `realMs`, as local milliseconds.
// The conversion of the last second asked for is kept per thread: the time zone's rules change
// only at whole seconds, and many readings fall within the same second.
int64_t machineLocalMs(int64_t realMs) {
    int64_t secs = floorDiv(realMs, 1000);
    thread_local int64_t lastSecs = INT64_MIN;
    thread_local int64_t lastLocalSecs = 0;
    if (secs != lastSecs) {
        time_t t = static_cast<time_t>(secs);
        struct tm tm {};
        if (!localtime_r(&t, &tm)) {
            return realMs;
        }
        lastLocalSecs = static_cast<int64_t>(timegm(&tm));
        lastSecs = secs;
    }
    return lastLocalSecs * 1000 + (realMs - secs * 1000);
}

// The clock keeps to years 1601..9999 (local and real milliseconds since 1970) and to speeds
// that keep every conversion within 64 bits: a tick wait of 2^32 ms at the slowest speed is
// still a representable number of nanoseconds.
constexpr int64_t kMinMs = -11'644'473'600'000;  // 1601-01-01 00:00:00
constexpr int64_t kMaxMs = 253'402'300'799'999;  // 9999-12-31 23:59:59.999
constexpr double kMinSpeed = 0.001;
constexpr double kMaxSpeed = 1e6;

bool msInRange(int64_t ms) {
    return ms >= kMinMs && ms <= kMaxMs;
}

bool speedInRange(double speed) {
    return std::isfinite(speed) && speed >= kMinSpeed && speed <= kMaxSpeed;
}

std::string rangeText() {
    return "times within 1601-01-01..9999-12-31, speed within 0.001..1000000";
}

// Parses "baseRealMs baseLocalMs speed"; false, with the reason, when the text is anything else or
// holds numbers the clock cannot work with.
bool parseState(const std::string& text, int64_t& baseReal, int64_t& baseLocal, double& speed,
                std::string& reason) {
    std::istringstream in(text);
    std::string a, b, c, extra;
    if (!(in >> a >> b >> c) || (in >> extra)) {
        reason = "not three numbers";
        return false;
    }
    auto parseInt = [](const std::string& s, int64_t& v) {
        auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        return ec == std::errc() && p == s.data() + s.size();
    };
    if (!parseInt(a, baseReal) || !parseInt(b, baseLocal)) {
        reason = "a base time is not a whole number";
        return false;
    }
    char* end = nullptr;
    errno = 0;
    speed = std::strtod(c.c_str(), &end);
    if (errno != 0 || end != c.c_str() + c.size()) {
        reason = "the speed is not a number";
        return false;
    }
    if (!msInRange(baseReal) || !msInRange(baseLocal) || !speedInRange(speed)) {
        reason = "out of range (" + rangeText() + ")";
        return false;
    }
    return true;
}

}  // namespace

CSimClock::CSimClock(std::filesystem::path stateFile)
    : _file(std::move(stateFile)), _tickBaseReal(std::chrono::steady_clock::now()) {
    // The tick count starts at the machine's uptime in milliseconds, like a phone's would.
    _tickBase = static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(_tickBaseReal.time_since_epoch()).count());
    std::lock_guard lock(_lock);
    reloadIfChanged(true);
}

SYSTEMTIME CSimClock::localTime() {
    return fromMillis(localMillis());
}

int64_t CSimClock::localMillis() {
    std::lock_guard lock(_lock);
    reloadIfChanged(false);
    return localAt(_state, realNowMs());
}

uint32_t CSimClock::tickCount() {
    std::lock_guard lock(_lock);
    reloadIfChanged(false);
    // Wraps around like a 32-bit millisecond counter does.
    return static_cast<uint32_t>(static_cast<uint64_t>(tickNow(std::chrono::steady_clock::now())));
}

void CSimClock::sleep(uint32_t ms) {
    // Counts phone milliseconds that have passed, chunk by chunk, each at the speed of its time.
    double remaining = ms;
    while (remaining > 0) {
        double factor = speed();
        auto realLeft = std::chrono::duration<double, std::milli>(remaining / factor);
        auto chunk = std::min<std::chrono::duration<double, std::milli>>(realLeft, kSleepChunk);
        auto before = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(chunk);
        auto slept = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before);
        remaining -= slept.count() * factor;
    }
}

std::chrono::nanoseconds CSimClock::realDuration(uint32_t ms) {
    double factor = speed();
    return std::chrono::nanoseconds(std::llround(static_cast<double>(ms) * 1e6 / factor));
}

double CSimClock::speed() {
    std::lock_guard lock(_lock);
    reloadIfChanged(false);
    return _state.fromFile ? _state.speed : 1.0;
}

void CSimClock::setSpeed(double factor) {
    if (!speedInRange(factor)) {
        throw PlatformError(_file.string() + ": clock speed must be a number within 0.001..1000000");
    }
    std::lock_guard lock(_lock);
    reloadIfChanged(true);
    int64_t now = realNowMs();
    // Rebase at now so that the phone's time goes on from where it is.
    State s{now, localAt(_state, now), factor, true};
    write(s);
    adopt(s);
}

void CSimClock::setLocalMillis(int64_t localMs) {
    if (!msInRange(localMs)) {
        throw PlatformError(_file.string() + ": clock time must be within 1601-01-01..9999-12-31");
    }
    std::lock_guard lock(_lock);
    reloadIfChanged(true);
    State s{realNowMs(), localMs, _state.fromFile ? _state.speed : 1.0, true};
    write(s);
    adopt(s);
}

void CSimClock::advance(int64_t ms) {
    std::lock_guard lock(_lock);
    reloadIfChanged(true);
    int64_t now = realNowMs();
    int64_t moved = 0;
    if (__builtin_add_overflow(localAt(_state, now), ms, &moved) || !msInRange(moved)) {
        throw PlatformError(_file.string() + ": clock time must stay within 1601-01-01..9999-12-31");
    }
    State s{now, moved, _state.fromFile ? _state.speed : 1.0, true};
    write(s);
    adopt(s);
}

SYSTEMTIME CSimClock::fromMillis(int64_t localMs) {
    // Plain calendar arithmetic on the day number: the milliseconds are local time already, so
    // no time-zone rules apply (gmtime_r would take the C library's time-zone lock on every
    // reading of the clock).
    const int64_t secs = floorDiv(localMs, 1000);
    const int64_t dayNumber = floorDiv(secs, 86400);
    const int64_t secOfDay = secs - dayNumber * 86400;
    const std::chrono::sys_days day{std::chrono::days{dayNumber}};
    const std::chrono::year_month_day date{day};
    SYSTEMTIME st;
    st.wYear = static_cast<uint16_t>(static_cast<int>(date.year()));
    st.wMonth = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
    st.wDayOfWeek = static_cast<uint16_t>(std::chrono::weekday{day}.c_encoding());
    st.wDay = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
    st.wHour = static_cast<uint16_t>(secOfDay / 3600);
    st.wMinute = static_cast<uint16_t>(secOfDay / 60 % 60);
    st.wSecond = static_cast<uint16_t>(secOfDay % 60);
    st.wMilliseconds = static_cast<uint16_t>(localMs - secs * 1000);
    return st;
}

int64_t CSimClock::toMillis(const SYSTEMTIME& t) {
    return SystemTimeToMillis(t);
}

void CSimClock::reloadIfChanged(bool force) {
    auto now = std::chrono::steady_clock::now();
    if (!force && _checkedOnce && now - _lastCheck < kRecheck) {
        return;
    }
    _lastCheck = now;
    _checkedOnce = true;

    FileStamp stamp = currentStamp();
    if (stamp == _stamp) {
        return;
    }
    _stamp = stamp;
    load();
}

CSimClock::FileStamp CSimClock::currentStamp() const {
    FileStamp stamp;
    struct stat st {};
    if (::stat(_file.c_str(), &st) == 0) {
        stamp.exists = true;
        stamp.inode = st.st_ino;
        stamp.size = st.st_size;
        stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        stamp.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    }
    return stamp;
}

void CSimClock::load() {
    State s;
    if (_stamp.exists) {
        std::ifstream in(_file);
        std::stringstream text;
        text << in.rdbuf();
        std::string reason;
        if (in && parseState(text.str(), s.baseRealMs, s.baseLocalMs, s.speed, reason)) {
            s.fromFile = true;
            _reportedCorrupt = false;
        } else if (::access(_file.c_str(), F_OK) == 0) {
            if (!_reportedCorrupt) {
                std::cerr << _file.string() << ": clock state is not usable (" << (in ? reason : "unreadable")
                          << "), using the machine's time\n";
                _reportedCorrupt = true;
            }
            s = State{};
        }
    }
    adopt(s);
}

void CSimClock::adopt(const State& s) {
    // The tick count goes on at the speed it had up to now, then at the new one.
    auto now = std::chrono::steady_clock::now();
    _tickBase = tickNow(now);
    _tickBaseReal = now;
    _state = s;
}

double CSimClock::tickNow(std::chrono::steady_clock::time_point now) const {
    double factor = _state.fromFile ? _state.speed : 1.0;
    return _tickBase + std::chrono::duration<double, std::milli>(now - _tickBaseReal).count() * factor;
}

int64_t CSimClock::localAt(const State& s, int64_t realMs) const {
    if (!s.fromFile) {
        return machineLocalMs(realMs);
    }
    // Both bases and the speed are in range, so this cannot overflow; a fast clock left running
    // long enough still stops at the end of the range.
    double local = static_cast<double>(s.baseLocalMs) + static_cast<double>(realMs - s.baseRealMs) * s.speed;
    if (local <= static_cast<double>(kMinMs)) {
        return kMinMs;
    }
    if (local >= static_cast<double>(kMaxMs)) {
        return kMaxMs;
    }
    return std::llround(local);
}

void CSimClock::write(const State& s) {
    std::error_code ec;
    if (_file.has_parent_path()) {
        std::filesystem::create_directories(_file.parent_path(), ec);
        if (ec) {
            throw PlatformError(_file.parent_path().string() + ": cannot create folder: " + ec.message());
        }
    }
    char line[96];
    std::snprintf(line, sizeof line, "%lld %lld %.17g\n", static_cast<long long>(s.baseRealMs),
                  static_cast<long long>(s.baseLocalMs), s.speed);
    // A temporary file of this process and thread, renamed over the state file so that a reader
    // sees either the old or the new line, never half of one.
    std::filesystem::path tmp = _file;
    tmp += ".tmp." + std::to_string(::getpid()) + "." +
           std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << line;
        out.flush();
        if (!out) {
            std::filesystem::remove(tmp, ec);
            throw PlatformError(_file.string() + ": cannot write the clock state: " + std::strerror(errno));
        }
    }
    std::filesystem::rename(tmp, _file, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        throw PlatformError(_file.string() + ": cannot write the clock state: " + ec.message());
    }
    // Our own write is already known: no need to read it back.
    _stamp = currentStamp();
    _reportedCorrupt = false;
}

}  // namespace platform::sim
