#include "tools/device/CDeviceArgs.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/device/CDeviceTool.h"

bool CDeviceArgs::ParseDuration(const std::string& text, int64_t& ms) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    double n = std::strtod(text.c_str(), &end);
    std::string unit = end;
    double factor = unit.empty() || unit == "s" ? 1000
                    : unit == "m"               ? 60'000
                    : unit == "h"               ? 3'600'000
                    : unit == "d"               ? 86'400'000
                                                : 0;
    // Up to 100 years of phone time: more is a typing error, and it keeps the product in range.
    if (end == text.c_str() || factor == 0 || !(n >= 0) || n * factor > 3.2e12) {
        return false;
    }
    ms = static_cast<int64_t>(std::llround(n * factor));
    return true;
}

std::string CDeviceArgs::FormatDuration(int64_t ms) {
    struct Unit {
        int64_t ms;
        const char* name;
    };
    for (Unit u : {Unit{86'400'000, "d"}, Unit{3'600'000, "h"}, Unit{60'000, "m"}, Unit{1000, "s"}}) {
        if (ms != 0 && ms % u.ms == 0) {
            return std::to_string(ms / u.ms) + u.name;
        }
    }
    return std::to_string(ms) + "ms";
}

bool CDeviceArgs::ParseInt(const std::string& text, long long min, long long max, long long& value) {
    // Digits with an optional minus: strtoll alone would also take blanks and a plus sign.
    size_t first = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789", first) != std::string::npos || first == text.size()) {
        return false;
    }
    char* end = nullptr;
    long long n = std::strtoll(text.c_str(), &end, 10);
    if (*end || n < min || n > max) {
        return false;
    }
    value = n;
    return true;
}

bool CDeviceArgs::ParseTimeOfDay(const std::string& text, int& hour, int& minute) {
    auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (i != colon && (text[i] < '0' || text[i] > '9')) {
            return false;
        }
    }
    int h = std::atoi(text.substr(0, colon).c_str());
    int m = std::atoi(text.substr(colon + 1).c_str());
    if (h > 23 || m > 59) {
        return false;
    }
    hour = h;
    minute = m;
    return true;
}

bool CDeviceArgs::ParseWeekDay(const std::string& text, int& weekDay) {
    static constexpr const char* kNames[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    for (int i = 0; i < 7; ++i) {
        if (strcasecmp(text.c_str(), kNames[i]) == 0) {
            weekDay = i + 1;
            return true;
        }
    }
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '7') {
        weekDay = text[0] - '0';
        return true;
    }
    return false;
}

int CDeviceArgs::Fail(const std::string& why) {
    std::fprintf(stderr, "zentrova-device: %s\n", why.c_str());
    return CDeviceTool::kFailed;
}

int CDeviceArgs::UsageError(const std::string& why) {
    std::fprintf(stderr, "zentrova-device: %s (see zentrova-device --help)\n", why.c_str());
    return CDeviceTool::kUsage;
}

bool CDeviceArgs::ParseDword(const std::string& text, uint32_t& value) {
    // Decimal digits, or 0x and hex digits; strtoull alone would take blanks and signs
    // ("-1" as 0xFFFFFFFF).
    bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    bool digitsOnly = !text.empty() && std::all_of(text.begin() + (isHex ? 2 : 0), text.end(), [&](char c) {
        return isHex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                     : std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (!digitsOnly) {
        return false;
    }
    errno = 0;
    unsigned long long n = std::strtoull(text.c_str(), nullptr, isHex ? 16 : 10);
    if (errno == ERANGE || n > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<uint32_t>(n);
    return true;
}

bool CDeviceArgs::ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes, std::string& why) {
    if (text.size() % 2) {
        why = "binary data needs an even number of hex digits";
        return false;
    }
    if (!std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })) {
        why = "not hex: '" + text + "'";
        return false;
    }
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return true;
}
