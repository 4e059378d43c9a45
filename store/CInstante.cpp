#include "store/CInstante.h"

#include <array>

#include "core/DateTime.h"
#include "platform/Services.h"

CInstante::CInstante(int hour, int minute) : _hour(hour), _minute(minute) {}

CInstante::CInstante(const SYSTEMTIME& time) : _hour(time.wHour), _minute(time.wMinute) {}

int CInstante::MinutesUntil(const CInstante& to) const {
    constexpr int kMinutesPerDay = 24 * 60;
    const int diff = (to.MinutesOfDay() - MinutesOfDay()) % kMinutesPerDay;
    return diff < 0 ? diff + kMinutesPerDay : diff;
}

void CInstante::SetToCurrentTime() {
    const SYSTEMTIME now = platform::Services::get().clock().localTime();
    _hour = now.wHour;
    _minute = now.wMinute;
}

void CInstante::reset() {
    _hour = 0;
    _minute = 0;
}

int CInstante::CompareSystemTimes(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    int64_t ta = 0;
    int64_t tb = 0;
    if (SystemTimeToTicks(a, ta) && SystemTimeToTicks(b, tb)) {
        return ta < tb ? -1 : (ta > tb ? 1 : 0);
    }
    // The day of the week is left out: it follows from the date.
    const std::array<uint16_t, 7> fa = {a.wYear,   a.wMonth,  a.wDay,         a.wHour,
                                        a.wMinute, a.wSecond, a.wMilliseconds};
    const std::array<uint16_t, 7> fb = {b.wYear,   b.wMonth,  b.wDay,         b.wHour,
                                        b.wMinute, b.wSecond, b.wMilliseconds};
    return fa < fb ? -1 : (fa > fb ? 1 : 0);
}
