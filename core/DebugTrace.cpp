#include "core/DebugTrace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/Services.h"

namespace {

std::atomic<bool> g_debugMode{false};
std::mutex g_writeLock;

const char* target() {
    const char* t = std::getenv("ZENTROVA_DEBUG_LOG");
    return (t && *t) ? t : nullptr;
}

std::string stamp() {
    if (!platform::Services::isInstalled()) {
        return {};
    }
    SYSTEMTIME t = platform::Services::get().clock().localTime();
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03} ", t.wYear, t.wMonth, t.wDay, t.wHour,
                       t.wMinute, t.wSecond, t.wMilliseconds);
}

}  // namespace

bool IsDebugMode() {
    return g_debugMode.load();
}

void SetDebugMode(bool on) {
    g_debugMode.store(on);
}

bool DebugTraceEnabled() {
    return target() != nullptr || IsDebugMode();
}

void DebugTraceWrite(int level, const std::string& text) {
    std::string line = stamp() + "[" + std::to_string(level) + "] " + text + "\n";
    std::lock_guard lock(g_writeLock);
    const char* t = target();
    if (!t || std::string_view(t) == "stderr") {
        std::fputs(line.c_str(), stderr);
        return;
    }
    if (FILE* f = std::fopen(t, "a")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    }
}

void TraceFormatFailure(const char* format, const char* why) {
    if (DebugTraceEnabled()) {
        DebugTraceWrite(0, std::string("text format '") + format + "' does not fit its arguments: " + why);
    }
}
