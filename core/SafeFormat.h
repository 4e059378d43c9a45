#pragma once

#include <fmt/printf.h>

#include <string>

// Writes a line about a format that could not be applied to the debug trace.
void TraceFormatFailure(const char* format, const char* why);

// printf-style formatting of texts that come from files (translations) or from callers: a
// format that does not fit its arguments gives the format itself back, unformatted, and a line
// in the debug trace, never undefined behaviour.
template <typename... Args>
std::string SafeSprintf(const char* format, const Args&... args) {
    if (!format) {
        return {};
    }
    try {
        return fmt::sprintf(format, args...);
    } catch (const std::exception& e) {
        TraceFormatFailure(format, e.what());
        return format;
    }
}

template <typename... Args>
std::string SafeSprintf(const std::string& format, const Args&... args) {
    return SafeSprintf(format.c_str(), args...);
}
