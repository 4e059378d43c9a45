#include "platform/CPosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace platform {

namespace {

struct SpeedEntry {
    uint32_t baudRate;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},         {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},       {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000},
};

Result resultOf(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EBUSY:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // namespace

std::optional<speed_t> CPosixSerialPort::speedOf(uint32_t baudRate) {
    for (const SpeedEntry& e : kSpeeds) {
        if (e.baudRate == baudRate) {
            return e.speed;
        }
    }
    return std::nullopt;
}

uint32_t CPosixSerialPort::baudRateOf(speed_t speed) {
    for (const SpeedEntry& e : kSpeeds) {
        if (e.speed == speed) {
            return e.baudRate;
        }
    }
    return 0;
}

Result CPosixSerialPort::open(const std::string& device, std::unique_ptr<ISerialPort>& port) {
    // Non-blocking, so that opening a line whose modem has no carrier does not wait for one.
    CUniqueFd fd(::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return resultOf(errno);
    }
    if (!::isatty(fd.get())) {
        return ERROR_NOT_SUPPORTED;
    }
    termios tio{};
    if (::tcgetattr(fd.get(), &tio) != 0) {
        return ERROR_NOT_SUPPORTED;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd.get(), TCSANOW, &tio) != 0) {
        return ERROR_GEN_FAILURE;
    }
    // What the device sent before the port was opened is stale.
    ::tcflush(fd.get(), TCIFLUSH);
    CUniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.valid()) {
        return ERROR_OUTOFMEMORY;
    }
    port.reset(new CPosixSerialPort(std::move(fd), std::move(wake)));
    return ERROR_SUCCESS;
}

ISerialPort::ReadStatus CPosixSerialPort::read(char* buffer, size_t size, uint32_t timeoutMs, size_t& count) {
    count = 0;
    if (_closed.load()) {
        return ReadStatus::Closed;
    }
    pollfd fds[2] = {{_fd.get(), POLLIN, 0}, {_wake.get(), POLLIN, 0}};
    int n = ::poll(fds, 2, static_cast<int>(std::min<uint32_t>(timeoutMs, INT32_MAX)));
    if (_closed.load()) {
        return ReadStatus::Closed;
    }
    if (n < 0) {
        return errno == EINTR ? ReadStatus::Timeout : ReadStatus::End;
    }
    if (n == 0) {
        return ReadStatus::Timeout;
    }
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) {
        return ReadStatus::Timeout;
    }
    ssize_t got = ::read(_fd.get(), buffer, size);
    if (got > 0) {
        count = static_cast<size_t>(got);
        return ReadStatus::Data;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return ReadStatus::Timeout;
    }
    // Zero bytes after the line was ready, or an error: the device went away.
    return ReadStatus::End;
}

Result CPosixSerialPort::getSettings(SerialSettings& settings) {
    termios tio{};
    if (::tcgetattr(_fd.get(), &tio) != 0) {
        return ERROR_INVALID_HANDLE;
    }
    settings.baudRate = baudRateOf(::cfgetispeed(&tio));
    return ERROR_SUCCESS;
}

Result CPosixSerialPort::setSettings(const SerialSettings& settings) {
    std::optional<speed_t> speed = speedOf(settings.baudRate);
    if (!speed) {
        return ERROR_INVALID_PARAMETER;
    }
    termios tio{};
    if (::tcgetattr(_fd.get(), &tio) != 0) {
        return ERROR_INVALID_HANDLE;
    }
    ::cfsetispeed(&tio, *speed);
    ::cfsetospeed(&tio, *speed);
    return ::tcsetattr(_fd.get(), TCSANOW, &tio) == 0 ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

void CPosixSerialPort::close() {
    _closed.store(true);
    uint64_t one = 1;
    // A full counter already wakes the reader; nothing to do about a failed write.
    [[maybe_unused]] ssize_t written = ::write(_wake.get(), &one, sizeof one);
}

}  // namespace platform
