#pragma once

#include <cstddef>
#include <cstdint>

// The bodies of the fuzz targets: each feeds one input to one parser of outside input. The same
// functions run under libFuzzer (tests/fuzz/driver) and, for every kept input, in the routine
// test suite. They return 0, as libFuzzer wants.
int FuzzTimerLine(const uint8_t* data, size_t size);
int FuzzControlRequest(const uint8_t* data, size_t size);
int FuzzExportXml(const uint8_t* data, size_t size);
int FuzzTranslation(const uint8_t* data, size_t size);
int FuzzScenario(const uint8_t* data, size_t size);
int FuzzDeviceArgs(const uint8_t* data, size_t size);
int FuzzNmea(const uint8_t* data, size_t size);
int FuzzVersionAnswer(const uint8_t* data, size_t size);
int FuzzHistory(const uint8_t* data, size_t size);
int FuzzSkin(const uint8_t* data, size_t size);
