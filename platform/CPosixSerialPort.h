#pragma once

#include <termios.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/CUniqueFd.h"
#include "platform/ISerialPort.h"

namespace platform {

// A serial line of the machine (a tty device: a USB serial adapter, a built-in port, a
// pseudo-terminal) opened through termios.
class CPosixSerialPort : public ISerialPort {
  public:
    // Opens `device` for reading without making it the controlling terminal, puts it in raw mode
    // (8 data bits, no parity, one stop bit, modem lines ignored) and discards pending input.
    // `port` is set only on success.
    static Result open(const std::string& device, std::unique_ptr<ISerialPort>& port);

    // The termios speed of a baud rate; none for a rate termios has no speed for.
    static std::optional<speed_t> speedOf(uint32_t baudRate);
    // The baud rate of a termios speed; 0 for none.
    static uint32_t baudRateOf(speed_t speed);

    ReadStatus read(char* buffer, size_t size, uint32_t timeoutMs, size_t& count) override;
    Result getSettings(SerialSettings& settings) override;
    Result setSettings(const SerialSettings& settings) override;
    void close() override;

  private:
    CPosixSerialPort(CUniqueFd fd, CUniqueFd wake) : _fd(std::move(fd)), _wake(std::move(wake)) {}

    CUniqueFd _fd;
    CUniqueFd _wake;  // an eventfd that close() signals, so that a read under way returns
    std::atomic<bool> _closed{false};
};

}  // namespace platform
