#include "platform/CHome.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/PlatformError.h"

namespace platform {

std::filesystem::path CHome::resolve() {
    if (const char* home = std::getenv("ZENTROVA_HOME"); home && *home) {
        return std::filesystem::absolute(home);
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return std::filesystem::path(xdg) / "zentrova";
    }
    const char* user = std::getenv("HOME");
    return std::filesystem::path(user && *user ? user : "/tmp") / ".local" / "share" / "zentrova";
}

namespace {

void makeFolder(const std::filesystem::path& dir, mode_t mode) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        throw PlatformError(dir.string() + ": cannot create folder: " + ec.message());
    }
    if (::access(dir.c_str(), W_OK | X_OK) != 0) {
        throw PlatformError(dir.string() + ": folder is not writable: " + std::strerror(errno));
    }
    if (mode != 0 && ::chmod(dir.c_str(), mode) != 0) {
        throw PlatformError(dir.string() + ": cannot set permissions: " + std::strerror(errno));
    }
}

}  // namespace

void CHome::create() const {
    makeFolder(_root, 0);
    makeFolder(phoneDir(), 0);
    makeFolder(runDir(), 0700);
}

}  // namespace platform
