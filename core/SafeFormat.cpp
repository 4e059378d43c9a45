#include "core/SafeFormat.h"

#include <cctype>
#include <cstring>

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Reads the digits at `pos` (advancing it) as a number, saturating instead of overflowing.
size_t readNumber(const char* format, size_t& pos) {
    size_t value = 0;
    constexpr size_t kCeiling = static_cast<size_t>(1) << 40;
    while (isDigit(format[pos])) {
        value = value * 10 + static_cast<size_t>(format[pos] - '0');
        if (value > kCeiling) {
            value = kCeiling;
        }
        ++pos;
    }
    return value;
}

}  // namespace

bool BoundFormatFields(const char* format, size_t budget, std::string& bounded) {
    bounded.clear();
    const size_t length = std::strlen(format);
    bounded.reserve(length);
    size_t i = 0;
    while (i < length) {
        char c = format[i];
        if (c != '%') {
            bounded += c;
            ++i;
            continue;
        }
        if (format[i + 1] == '%') {
            bounded += "%%";
            i += 2;
            continue;
        }
        bounded += '%';
        ++i;
        // An argument position ("%2$s") is kept as written.
        size_t digits = i;
        while (isDigit(format[digits])) {
            ++digits;
        }
        if (digits > i && format[digits] == '$') {
            bounded.append(format + i, digits + 1 - i);
            i = digits + 1;
        }
        while (format[i] != '\0' && std::strchr("-+ #0", format[i])) {
            bounded += format[i++];
        }
        auto boundedNumber = [&](bool precision) -> bool {
            if (format[i] == '*') {
                return false;
            }
            if (!isDigit(format[i])) {
                if (precision) {
                    bounded += '0';  // "%.s" is a precision of zero
                }
                return true;
            }
            size_t value = readNumber(format, i);
            size_t kept = value < budget ? value : budget;
            budget -= kept;
            // A width of zero is left out: written, it would read as the zero flag.
            if (precision || kept > 0) {
                bounded += std::to_string(kept);
            }
            return true;
        };
        if (!boundedNumber(false)) {
            return false;
        }
        if (format[i] == '.') {
            bounded += '.';
            ++i;
            if (!boundedNumber(true)) {
                return false;
            }
        }
        // Length modifiers and the conversion letter follow as ordinary characters.
    }
    return true;
}
