#include "core/MemoryState.h"

#include <fstream>
#include <sstream>
#include <string>

#include "core/DebugTrace.h"

MemoryFigures ReadMemoryFigures() {
    MemoryFigures figures;
    std::ifstream in("/proc/meminfo");
    std::string line;
    long commitLimit = 0;
    long committed = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        long value = 0;
        fields >> key >> value;
        if (key == "MemTotal:") {
            figures.totalKb = value;
        } else if (key == "MemAvailable:") {
            figures.availableKb = value;
        } else if (key == "CommitLimit:") {
            commitLimit = value;
        } else if (key == "Committed_AS:") {
            committed = value;
        }
    }
    figures.virtualAvailableKb = commitLimit > committed ? commitLimit - committed : 0;
    figures.loadPercent = figures.totalKb > 0 ? 100 - figures.availableKb * 100 / figures.totalKb : 0;
    return figures;
}

uint32_t LogMemoryState(const char* label, uint32_t previous) {
    // The figure is for the trace only: with the trace off, /proc/meminfo is not read at all
    // (start-up brackets some twenty phases with these calls).
    if (!DebugTraceEnabled()) {
        return 0;
    }
    uint64_t bytes = static_cast<uint64_t>(ReadMemoryFigures().availableKb) * 1024;
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
