#include "platform/linux/CLinuxShell.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <QDBusUnixFileDescriptor>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <system_error>

#include "platform/CProcessLauncher.h"

namespace platform::lnx {

namespace {

bool fileExists(const std::string& file) {
    std::error_code ec;
    return !file.empty() && std::filesystem::exists(file, ec);
}

// Closes a file descriptor with the scope.
class ScopedFd {
  public:
    explicit ScopedFd(int fd) : _fd(fd) {}
    ~ScopedFd() {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return _fd; }

  private:
    int _fd;
};

}  // namespace

CLinuxShell::CLinuxShell(CDBusThread& bus, IRegistry& registry) : _bus(bus), _registry(registry) {}

std::string CLinuxShell::findOnPath(const std::string& program, const std::string& path) {
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) {
            continue;
        }
        std::filesystem::path candidate = std::filesystem::path(folder) / program;
        if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) {
            return candidate.string();
        }
    }
    return {};
}

bool CLinuxShell::openWithPortal(const std::string& file) {
    // The portal takes the file as an open descriptor (a path-only one will do), which also
    // works for a program in a sandbox that cannot see our paths.
    ScopedFd fd(::open(file.c_str(), O_PATH | O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    QDBusMessage reply =
        _bus.call(CDBusThread::Bus::Session, QString::fromLatin1(kPortal),
                  QStringLiteral("/org/freedesktop/portal/desktop"),
                  QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"),
                  {QString(), QVariant::fromValue(QDBusUnixFileDescriptor(fd.get())), QVariantMap{}});
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) {
            std::cerr << "shell: the desktop portal did not open " << file << ": "
                      << reply.errorName().toStdString() << ": " << reply.errorMessage().toStdString()
                      << '\n';
        }
        return false;
    }
    return true;
}

Result CLinuxShell::openFile(const std::string& verb, const std::string& file) {
    if (strcasecmp(verb.c_str(), "Open") != 0) {
        return ERROR_NOT_SUPPORTED;
    }
    if (!fileExists(file)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (openWithPortal(file)) {
        return ERROR_SUCCESS;
    }
    const char* path = std::getenv("PATH");
    std::string opener = findOnPath("xdg-open", path ? path : "/usr/local/bin:/usr/bin:/bin");
    if (opener.empty() || !CProcessLauncher::startDetached(opener, {file})) {
        return ERROR_GEN_FAILURE;
    }
    return ERROR_SUCCESS;
}

Result CLinuxShell::setRingTone(const std::string& soundFile) {
    if (!fileExists(soundFile)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return _registry.setString(RegRoot::CurrentUser, kRingToneKey, kRingToneSound, soundFile);
}

}  // namespace platform::lnx
