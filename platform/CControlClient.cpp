#include "platform/CControlClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ControlProtocol.h"

namespace platform {

namespace {

class Socket {
  public:
    Socket() : _fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return _fd; }

  private:
    int _fd;
};

bool connectTo(const Socket& s, const CHome& home) {
    sockaddr_un addr{};
    unsigned length = 0;
    if (s.fd() < 0 || !control::socketAddress(home.controlSocket().string(), &addr, length)) {
        return false;
    }
    return ::connect(s.fd(), reinterpret_cast<sockaddr*>(&addr), length) == 0;
}

}  // namespace

CControlClient::CControlClient(CHome home) : _home(std::move(home)) {}

bool CControlClient::isRunning() const {
    Socket s;
    return connectTo(s, _home);
}

CControlClient::Status CControlClient::request(const std::vector<std::string>& words, std::string& reply,
                                               int timeoutMs) const {
    for (const std::string& w : words) {
        if (w.find('\n') != std::string::npos || w.find(control::kSeparator) != std::string::npos) {
            reply = "a word of the request holds a line break or a control character";
            return Status::Failed;
        }
    }
    Socket s;
    if (!connectTo(s, _home)) {
        reply = "no Zentrova program is running for " + _home.root().string();
        return Status::NotRunning;
    }
    std::string data = control::encode(words);
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(s.fd(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            reply = std::string("the running program closed the connection: ") + std::strerror(errno);
            return Status::Failed;
        }
        sent += static_cast<size_t>(n);
    }
    std::string answer;
    char buf[4096];
    for (;;) {
        pollfd p{s.fd(), POLLIN, 0};
        int ready = ::poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            reply = "the running program did not answer in time";
            return Status::Failed;
        }
        ssize_t n = ::recv(s.fd(), buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            reply = std::string("reading the answer failed: ") + std::strerror(errno);
            return Status::Failed;
        }
        if (n == 0) {
            break;
        }
        answer.append(buf, static_cast<size_t>(n));
    }
    if (answer.rfind("OK\n", 0) == 0) {
        reply = answer.substr(3);
        return Status::Ok;
    }
    if (answer.rfind("ERR\n", 0) == 0) {
        reply = answer.substr(4);
        return Status::Refused;
    }
    reply = "the running program gave no answer";
    return Status::Failed;
}

}  // namespace platform
