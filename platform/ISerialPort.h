#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ErrorCodes.h"

namespace platform {

// The line settings of a serial port that the system sets. The port always works with 8 data
// bits, no parity and one stop bit, in raw mode (no echo, no line editing, no translation).
struct SerialSettings {
    uint32_t baudRate = 0;
};

// An open serial port, read by one thread. The port is closed when the object goes; close() may
// be called from any thread to end a read under way.
class ISerialPort {
  public:
    enum class ReadStatus {
        Data,     // `count` bytes were read
        Timeout,  // nothing came within the time given; the port stays usable
        End,      // the device ended the stream (unplugged, hung up) or failed: no more data will come
        Closed,   // close() was called
    };

    virtual ~ISerialPort() = default;
    // Waits at most `timeoutMs` real milliseconds for data, then reads at most `size` bytes.
    virtual ReadStatus read(char* buffer, size_t size, uint32_t timeoutMs, size_t& count) = 0;
    virtual Result getSettings(SerialSettings& settings) = 0;
    // ERROR_INVALID_PARAMETER for a baud rate the port has no speed for (nothing changes then).
    virtual Result setSettings(const SerialSettings& settings) = 0;
    // Any thread: wakes a read under way, which returns Closed, as every later read does.
    virtual void close() = 0;
};

}  // namespace platform
