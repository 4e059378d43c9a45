#include "platform/SystemTimeMillis.h"

#include <ctime>

namespace platform {

int64_t SystemTimeToMillis(const SYSTEMTIME& t) {
    struct tm tm {};
    tm.tm_year = t.wYear - 1900;
    tm.tm_mon = t.wMonth - 1;
    tm.tm_mday = t.wDay;
    tm.tm_hour = t.wHour;
    tm.tm_min = t.wMinute;
    tm.tm_sec = t.wSecond;
    return static_cast<int64_t>(timegm(&tm)) * 1000 + t.wMilliseconds;
}

}  // namespace platform
