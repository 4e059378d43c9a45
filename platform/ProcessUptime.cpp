#include "platform/ProcessUptime.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace platform {

long MillisecondsSinceProcessStart() {
    // Field 22 of /proc/self/stat: the process's start in clock ticks after boot.
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            startTicks = std::stoull(field);
        }
    }
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    double startMs = startTicks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return static_cast<long>(nowMs - startMs);
}

long long WallClockMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

}  // namespace platform
