#include "location/CHistoryReader.h"

#include <cstdio>
#include <fstream>

#include "core/DateTime.h"
#include "core/Utf16.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// `count` digits at `pos`, as a number; false when any is not a digit.
bool Digits(std::string_view text, size_t pos, size_t count, int& value) {
    if (pos + count > text.size()) {
        return false;
    }
    value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (!IsDigit(text[i])) {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// Text of a file: UTF-16LE (with its mark, or without one when the second byte of the text is
// zero, as plain text in UTF-16 always has) becomes UTF-8; anything else is taken as UTF-8.
std::string Decode(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        return Utf16LeToUtf8(bytes.substr(2));
    }
    if (bytes.size() >= 2 && bytes[1] == '\0') {
        return Utf16LeToUtf8(bytes);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return std::string(bytes.substr(3));
    }
    return std::string(bytes);
}

}  // namespace

bool CHistoryReader::ParseLine(std::string_view line, Kind kind, Sample& sample) {
    // "YYYY-MM-DD hh:mm:ss " is 20 characters, then the value.
    if (line.size() < 22 || line.size() > kMaxLineChars) {
        return false;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(line, 0, 4, year) || line[4] != '-' || !Digits(line, 5, 2, month) || line[7] != '-' ||
        !Digits(line, 8, 2, day) || line[10] != ' ' || !Digits(line, 11, 2, hour) || line[13] != ':' ||
        !Digits(line, 14, 2, minute) || line[16] != ':' || !Digits(line, 17, 2, second) || line[19] != ' ') {
        return false;
    }
    if (hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    SYSTEMTIME time;
    time.wYear = static_cast<uint16_t>(year);
    time.wMonth = static_cast<uint16_t>(month);
    time.wDay = static_cast<uint16_t>(day);
    time.wHour = static_cast<uint16_t>(hour);
    time.wMinute = static_cast<uint16_t>(minute);
    time.wSecond = static_cast<uint16_t>(second);
    int64_t ticks = 0;
    if (!SystemTimeToTicks(time, ticks)) {
        return false;  // 2023-02-30 and the like
    }
    std::string_view value = line.substr(20);
    int number = 0;
    if (kind == Kind::Battery) {
        // One to three digits and "%"; the history caps the level at 100.
        if (value.size() < 2 || value.size() > 4 || value.back() != '%' ||
            !Digits(value, 0, value.size() - 1, number) || number > 100) {
            return false;
        }
    } else {
        // An optional sign, one to five digits and "mA".
        if (value.size() < 3 || value.substr(value.size() - 2) != "mA") {
            return false;
        }
        value.remove_suffix(2);
        bool negative = false;
        if (!value.empty() && (value[0] == '-' || value[0] == '+')) {
            negative = value[0] == '-';
            value.remove_prefix(1);
        }
        if (value.empty() || value.size() > 5 || !Digits(value, 0, value.size(), number)) {
            return false;
        }
        number = negative ? -number : number;
    }
    sample.seconds = ticks / DT_SECOND;
    sample.value = number;
    return true;
}

CHistoryReader::Result CHistoryReader::ReadText(std::string_view bytes, Kind kind) {
    Result result;
    result.opened = true;
    const std::string text = Decode(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        Sample sample;
        if (ParseLine(line, kind, sample)) {
            result.samples.push_back(sample);
        } else {
            ++result.refused;
        }
    }
    return result;
}

CHistoryReader::Result CHistoryReader::Read(const std::filesystem::path& file, Kind kind) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string bytes;
    char buffer[64 * 1024];
    while (bytes.size() < kMaxFileBytes && in.read(buffer, sizeof buffer).gcount() > 0) {
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        return {};
    }
    if (bytes.size() > kMaxFileBytes) {
        bytes.resize(kMaxFileBytes);
    }
    return ReadText(bytes, kind);
}

std::string CHistoryReader::FormatLine(const Sample& sample, Kind kind) {
    SYSTEMTIME time;
    TicksToSystemTime(sample.seconds * DT_SECOND, time);
    char value[24];
    if (kind == Kind::Battery) {
        std::snprintf(value, sizeof value, " %03d%%", sample.value);
    } else if (sample.value < 0) {
        std::snprintf(value, sizeof value, " %04dmA", sample.value);
    } else {
        std::snprintf(value, sizeof value, " +%03dmA", sample.value);
    }
    return DT_Format(time) + value;
}
