#pragma once

#include <cstdint>

// Functions the program and the dialog library call on the running application.

// Closes the running application through its normal close path so that it is started again ten
// seconds later. Returns at once.
void Restart();

// The body of Restart, shared by the library's and the program's own Restart.
void RequestApplicationRestart();

// Available physical memory in bytes. Also writes "MEM REPORT:<label> <available> bytes" to the
// debug trace, with the difference to `previous` when it is not 0. A null label means
// "Memory Status:".
uint32_t LogMemoryState(const char* label, uint32_t previous);
