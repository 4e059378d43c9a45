#include "platform/CInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/PlatformError.h"

namespace platform {

CInstanceLock::CInstanceLock(const CHome& home) : _home(home) {}

CInstanceLock::~CInstanceLock() {
    release();
}

bool CInstanceLock::tryLock() {
    if (held()) {
        return true;
    }
    _home.create();
    std::string path = _home.instanceLock().string();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw PlatformError(path + ": cannot open: " + std::strerror(errno));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    _fd = fd;
    return true;
}

void CInstanceLock::release() {
    if (_fd >= 0) {
        ::close(_fd);
        _fd = -1;
    }
}

}  // namespace platform
