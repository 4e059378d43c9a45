#include "core/AppExports.h"

#include <fstream>
#include <string>

#include "core/CApp.h"
#include "core/DebugTrace.h"

void Restart() {
    RequestApplicationRestart();
}

void RequestApplicationRestart() {
    CApp* app = CApp::GetInstance();
    if (!app) {
        return;
    }
    app->SetRestart(1);
    app->RequestClose();
}

uint32_t LogMemoryState(const char* label, uint32_t previous) {
    uint64_t availableKb = 0;
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t value = 0;
    std::string unit;
    while (meminfo >> key >> value >> unit) {
        if (key == "MemAvailable:") {
            availableKb = value;
            break;
        }
    }
    uint64_t bytes = availableKb * 1024;
    auto available = static_cast<uint32_t>(bytes > UINT32_MAX ? UINT32_MAX : bytes);
    const char* text = label ? label : "Memory Status:";
    if (previous == 0) {
        LogFormateado(0, "MEM REPORT:%s %d bytes ", text, static_cast<long long>(available));
    } else {
        LogFormateado(0, "MEM REPORT:%s %d bytes [%d bytes]", text, static_cast<long long>(available),
                      static_cast<long long>(previous) - static_cast<long long>(available));
    }
    return available;
}
