#include "platform/CControlServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ControlProtocol.h"
#include "platform/PlatformError.h"

namespace platform {

namespace {

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

CControlServer::CControlServer(CHome home) : _home(std::move(home)) {}

CControlServer::~CControlServer() {
    stop();
}

void CControlServer::on(const std::string& verb, Handler handler) {
    std::lock_guard lock(_handlersLock);
    _handlers[verb] = std::move(handler);
}

void CControlServer::useInstanceLock(std::shared_ptr<CInstanceLock> lock) {
    _lock = std::move(lock);
}

bool CControlServer::start() {
    if (_thread.joinable()) {
        return false;  // already listening: this is the instance
    }
    _home.create();
    if (!_lock) {
        _lock = std::make_shared<CInstanceLock>(_home);
    }
    if (!_lock->tryLock()) {
        _lock.reset();
        return false;
    }
    // Holding the lock, any socket file left behind belongs to an instance that has ended.
    std::string path = _home.controlSocket().string();
    ::unlink(path.c_str());
    sockaddr_un addr{};
    unsigned length = 0;
    if (!control::socketAddress(path, &addr, length)) {
        _lock.reset();
        throw PlatformError(path + ": the path is too long for a socket; choose a shorter home folder");
    }
    _listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (_listenFd < 0 || ::bind(_listenFd, reinterpret_cast<sockaddr*>(&addr), length) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(_listenFd, 16) != 0 ||
        ::pipe2(_wakePipe, O_CLOEXEC) != 0) {
        std::string why = std::strerror(errno);
        closeFd(_listenFd);
        _lock.reset();
        throw PlatformError(path + ": cannot listen: " + why);
    }
    _thread = std::thread([this] { serve(); });
    return true;
}

void CControlServer::stop() {
    if (_thread.joinable()) {
        char c = 'q';
        (void)!::write(_wakePipe[1], &c, 1);
        _thread.join();
    }
    if (_listenFd >= 0) {
        closeFd(_listenFd);
        ::unlink(_home.controlSocket().c_str());
    }
    closeFd(_wakePipe[0]);
    closeFd(_wakePipe[1]);
    _lock.reset();
}

void CControlServer::serve() {
    for (;;) {
        pollfd fds[2] = {{_listenFd, POLLIN, 0}, {_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents) {
            return;
        }
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                handle(fd);
                ::close(fd);
            }
        }
    }
}

void CControlServer::handle(int fd) {
    std::string line;
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) {
            return;
        }
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        line.append(buf, static_cast<size_t>(n));
        if (auto nl = line.find('\n'); nl != std::string::npos) {
            line.resize(nl);
            break;
        }
        if (line.size() > control::kMaxRequest) {
            writeAll(fd, "ERR\nrequest too long");
            return;
        }
    }
    std::vector<std::string> words = control::decode(line);
    std::string verb = words.front();
    words.erase(words.begin());
    Handler handler;
    {
        std::lock_guard lock(_handlersLock);
        if (auto it = _handlers.find(verb); it != _handlers.end()) {
            handler = it->second;
        }
    }
    if (!handler) {
        writeAll(fd, "ERR\n" + control::unknownVerbReply(verb));
        return;
    }
    try {
        writeAll(fd, "OK\n" + handler(words));
    } catch (const std::exception& e) {
        writeAll(fd, std::string("ERR\n") + e.what());
    }
}

}  // namespace platform
