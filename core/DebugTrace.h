#pragma once

#include <string>

#include "core/SafeFormat.h"

// The debug trace: developer lines that are not part of the event log. Where they go:
// ZENTROVA_DEBUG_LOG=stderr, or ZENTROVA_DEBUG_LOG=<file> (appended); with the variable unset,
// to standard error while the debug flag is on, else nowhere.
bool DebugTraceEnabled();
void DebugTraceWrite(int level, const std::string& text);

// The process-wide debug flag ("debug_info" equal to 1): makes some failures visible to the
// user and switches on the debug displays.
bool IsDebugMode();
void SetDebugMode(bool on);

// Formats and writes one line of the debug trace.
template <typename... Args>
void LogFormateado(int level, const char* format, const Args&... args) {
    if (!DebugTraceEnabled()) {
        return;
    }
    DebugTraceWrite(level, SafeSprintf(format, args...));
}
