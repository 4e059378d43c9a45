#pragma once

#include <fmt/printf.h>

#include <cstddef>
#include <string>

#include "core/TextBuffer.h"

// Writes a line about a format that could not be applied to the debug trace.
void TraceFormatFailure(const char* format, const char* why);

// The most padding and precision one formatting may add, all conversions together, when the
// caller names no buffer.
inline constexpr size_t kFormatFieldBudget = 4096;

// Copies `format` into `bounded` with every width and precision cut so that together they stay
// within `budget` characters. A width or precision taken from the arguments ('*') cannot be
// bounded beforehand: the answer is then false and the format must not be applied.
bool BoundFormatFields(const char* format, size_t budget, std::string& bounded);

// printf-style formatting of texts that come from files (translations) or from callers: a
// format that does not fit its arguments gives the format itself back, unformatted, and a line
// in the debug trace, never undefined behaviour. Widths and precisions are bounded, so a
// translation asking for "%2147483647s" cannot make the program allocate gigabytes.
template <typename... Args>
std::string SafeFormatWithin(size_t fieldBudget, const char* format, const Args&... args) {
    if (!format) {
        return {};
    }
    std::string bounded;
    if (!BoundFormatFields(format, fieldBudget, bounded)) {
        TraceFormatFailure(format, "width or precision taken from the arguments");
        return format;
    }
    try {
        return fmt::sprintf(bounded, args...);
    } catch (const std::exception& e) {
        TraceFormatFailure(format, e.what());
        return format;
    }
}

template <typename... Args>
std::string SafeSprintf(const char* format, const Args&... args) {
    return SafeFormatWithin(kFormatFieldBudget, format, args...);
}

template <typename... Args>
std::string SafeSprintf(const std::string& format, const Args&... args) {
    return SafeSprintf(format.c_str(), args...);
}

// Formats into a buffer of `bufferChars` characters (the terminator included): widths and
// precisions are bounded by the buffer and the result is cut to it, as FitBuffer cuts.
template <typename... Args>
std::string SafeSnprintf(size_t bufferChars, const std::string& format, const Args&... args) {
    if (bufferChars == 0) {
        return {};
    }
    return FitBuffer(SafeFormatWithin(bufferChars - 1, format.c_str(), args...), bufferChars);
}
