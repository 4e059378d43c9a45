#include "platform/CControlServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
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

CControlServer::BadArguments::BadArguments(const std::string& what)
    : ControlError(std::string(control::kBadArguments) + what) {}

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
        // The byte stays in the pipe, so the server loop and every connection still reading see it.
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

void CControlServer::reapConnections() {
    auto ended = std::partition(_connections.begin(), _connections.end(),
                                [](const Connection& c) { return !c.done->load(); });
    for (auto it = ended; it != _connections.end(); ++it) {
        it->thread.join();
    }
    _connections.erase(ended, _connections.end());
}

void CControlServer::serve() {
    for (;;) {
        pollfd fds[2] = {{_listenFd, POLLIN, 0}, {_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[1].revents) {
            break;
        }
        if (!(fds[0].revents & POLLIN)) {
            continue;
        }
        int fd = ::accept4(_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // A client that does not read its reply cannot hold a connection's thread for long.
        timeval sendWait{kRequestDeadlineMs / 1000, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendWait, sizeof sendWait);
        std::lock_guard lock(_connectionsLock);
        reapConnections();
        if (_connections.size() >= kMaxConnections) {
            writeAll(fd, "ERR\nthe program is busy with other requests; try again");
            ::close(fd);
            continue;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        _connections.push_back({std::thread([this, fd, done] {
                                    handle(fd);
                                    ::close(fd);
                                    done->store(true);
                                }),
                                done});
    }
    // Every connection sees the wake-up byte too; wait for those still running.
    std::lock_guard lock(_connectionsLock);
    for (Connection& c : _connections) {
        c.thread.join();
    }
    _connections.clear();
}

void CControlServer::handle(int fd) {
    std::string line;
    char buf[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestDeadlineMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            writeAll(fd, "ERR\nthe request did not arrive in time");
            return;
        }
        pollfd p[2] = {{fd, POLLIN, 0}, {_wakePipe[0], POLLIN, 0}};
        int ready = ::poll(p, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || p[1].revents) {
            return;
        }
        if (ready == 0) {
            continue;  // the deadline is checked above
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
    std::string reply;
    try {
        std::lock_guard run(_runLock);
        reply = "OK\n" + handler(words);
    } catch (const std::exception& e) {
        reply = std::string("ERR\n") + e.what();
    }
    writeAll(fd, reply);
}

}  // namespace platform
