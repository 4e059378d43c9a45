#include "platform/sim/CPseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/CPosixSerialPort.h"
#include "platform/PlatformError.h"

namespace platform::sim {

CPseudoTerminal::CPseudoTerminal() : _master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (!_master.valid()) {
        throw PlatformError(std::string("no pseudo-terminal: ") + std::strerror(errno));
    }
    char name[128];
    if (::grantpt(_master.get()) != 0 || ::unlockpt(_master.get()) != 0 ||
        ::ptsname_r(_master.get(), name, sizeof name) != 0) {
        throw PlatformError(std::string("pseudo-terminal not usable: ") + std::strerror(errno));
    }
    _path = name;
    ::fcntl(_master.get(), F_SETFL, ::fcntl(_master.get(), F_GETFL) | O_NONBLOCK);
    // The line starts raw at 4800 baud, as a receiver's serial line would; the settings made on
    // the master side are the slave's.
    termios tio{};
    if (::tcgetattr(_master.get(), &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B4800);
        ::cfsetospeed(&tio, B4800);
        ::tcsetattr(_master.get(), TCSANOW, &tio);
    }
}

size_t CPseudoTerminal::write(const std::string& bytes) {
    ssize_t n = ::write(_master.get(), bytes.data(), bytes.size());
    return n > 0 ? static_cast<size_t>(n) : 0;
}

uint32_t CPseudoTerminal::baudRate() const {
    termios tio{};
    if (::tcgetattr(_master.get(), &tio) != 0) {
        return 0;
    }
    return CPosixSerialPort::baudRateOf(::cfgetospeed(&tio));
}

}  // namespace platform::sim
