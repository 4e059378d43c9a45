#include "platform/CProcessLauncher.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

namespace platform {

namespace {

// Owns one file descriptor and closes it with the object.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : _fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return _fd; }
    void reset(int fd = -1) {
        if (_fd >= 0) {
            ::close(_fd);
        }
        _fd = fd;
    }

  private:
    int _fd;
};

// Moves a close-on-exec descriptor above the standard ones, so that setting up stdin in the
// child cannot overwrite it.
int aboveStandard(int fd) {
    if (fd >= 3) {
        return fd;
    }
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

[[noreturn]] void reportAndExit(int fd, int code) {
    int err = errno;
    ssize_t ignored = ::write(fd, &err, sizeof err);
    (void)ignored;
    ::_exit(code);
}

// Runs in the grandchild, between fork and exec: only async-signal-safe calls from here on.
[[noreturn]] void execChild(const char* path, char* const argv[], int errFd, int maxFd) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        ::sigaction(sig, &dfl, nullptr);
    }

    int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull < 0) {
        reportAndExit(errFd, 127);
    }
    if (devNull != STDIN_FILENO) {
        ::dup2(devNull, STDIN_FILENO);
        ::close(devNull);
    }
    // Every other descriptor goes away at exec; the error pipe stays open until then.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < maxFd; ++fd) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    ::execv(path, argv);
    reportAndExit(errFd, 127);
}

}  // namespace

bool CProcessLauncher::startDetached(const std::filesystem::path& exe, const std::vector<std::string>& args) {
    // Everything the children need is prepared here: after fork they must not allocate.
    std::string path = exe.string();
    std::vector<std::string> argStrings;
    argStrings.reserve(args.size() + 1);
    argStrings.push_back(path);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    struct rlimit lim {};
    int maxFd = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) {
        maxFd = static_cast<int>(std::min<rlim_t>(lim.rlim_cur, 1 << 20));
    }

    // The exec status comes back over a close-on-exec pipe: it closes without data when exec
    // succeeded, and carries errno when it failed.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    UniqueFd readEnd(aboveStandard(fds[0]));
    UniqueFd writeEnd(aboveStandard(fds[1]));
    if (readEnd.get() < 0 || writeEnd.get() < 0) {
        return false;
    }

    pid_t middle = ::fork();
    if (middle < 0) {
        return false;
    }
    if (middle == 0) {
        // The middle process leaves the caller's session and ends at once, so the grandchild
        // is adopted by init and never becomes the caller's zombie.
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild < 0) {
            reportAndExit(writeEnd.get(), 1);
        }
        if (grandchild == 0) {
            execChild(path.c_str(), argv.data(), writeEnd.get(), maxFd);
        }
        ::_exit(0);
    }
    writeEnd.reset();

    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int childErrno = 0;
    ssize_t n;
    while ((n = ::read(readEnd.get(), &childErrno, sizeof childErrno)) < 0 && errno == EINTR) {
    }
    if (n == 0) {
        return true;
    }
    errno = n == static_cast<ssize_t>(sizeof childErrno) ? childErrno : EIO;
    return false;
}

std::filesystem::path CProcessLauncher::selfExecutable() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : p;
}

}  // namespace platform
