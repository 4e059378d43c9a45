#pragma once

#include <cstdint>

// Memory figures of the machine in KB, read from the kernel.
struct MemoryFigures {
    long loadPercent = 0;         // share of physical memory in use
    long totalKb = 0;             // physical memory
    long availableKb = 0;         // physical memory still available
    long virtualAvailableKb = 0;  // what may still be committed
};

MemoryFigures ReadMemoryFigures();

// Available physical memory in bytes. Also writes "MEM REPORT:<label> <available> bytes" to the
// debug trace, with the difference to `previous` when it is not 0. A null label means
// "Memory Status:". Start-up and shutdown bracket their phases with pairs of calls, feeding the
// first result into the second. With the debug trace off nothing is read and the result is 0.
uint32_t LogMemoryState(const char* label, uint32_t previous);
