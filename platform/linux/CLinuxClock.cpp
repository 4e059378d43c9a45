#include "platform/linux/CLinuxClock.h"

#include <ctime>
#include <string>
#include <thread>

#include "platform/PlatformError.h"

namespace platform::lnx {

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(yoe + era * 400) + (month <= 2 ? 1 : 0);
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

int64_t CLinuxClock::localAt(int64_t utcMs) {
    const int64_t secs = floorDiv(utcMs, 1000);
    const auto t = static_cast<time_t>(secs);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) {
        return utcMs;
    }
    return (secs + tm.tm_gmtoff) * 1000 + (utcMs - secs * 1000);
}

int64_t CLinuxClock::localMillis() {
    const int64_t utc = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    return localAt(utc);
}

SYSTEMTIME CLinuxClock::localTime() {
    const int64_t ms = localMillis();
    const int64_t days = floorDiv(ms, 86400000);
    const int64_t inDay = ms - days * 86400000;
    int year = 1970;
    unsigned month = 1;
    unsigned day = 1;
    civilFromDays(days, year, month, day);
    SYSTEMTIME st;
    st.wYear = static_cast<uint16_t>(year);
    st.wMonth = static_cast<uint16_t>(month);
    st.wDay = static_cast<uint16_t>(day);
    // 1970-01-01 was a Thursday (4).
    st.wDayOfWeek = static_cast<uint16_t>(((days % 7) + 11) % 7);
    st.wHour = static_cast<uint16_t>(inDay / 3600000);
    st.wMinute = static_cast<uint16_t>(inDay / 60000 % 60);
    st.wSecond = static_cast<uint16_t>(inDay / 1000 % 60);
    st.wMilliseconds = static_cast<uint16_t>(inDay % 1000);
    return st;
}

uint32_t CLinuxClock::tickCount() {
    // Milliseconds since the machine started, wrapping like a 32-bit millisecond counter.
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000);
}

void CLinuxClock::sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::chrono::nanoseconds CLinuxClock::realDuration(uint32_t ms) {
    return std::chrono::milliseconds(ms);
}

void CLinuxClock::setLocalMillis(int64_t) {
    throw PlatformError(
        "the linux backend runs on the system clock, which the program does not set: set the "
        "time with the system's own tools (timedatectl)");
}

}  // namespace platform::lnx
