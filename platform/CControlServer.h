#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/CHome.h"
#include "platform/CInstanceLock.h"

namespace platform {

// The running program's control socket (a Unix domain socket in the home's run folder, which
// only the user can enter). It also marks the single running instance: the server holds the
// home's instance lock (its own, or the one the launch took first) for as long as it runs.
// Each connection is read on a thread of its own (at most kMaxConnections at once), within a
// deadline for the whole request, so a client that is slow to send cannot hold up another one.
// The handlers themselves still run one at a time, as they always have: none of them has to cope
// with another handler running meanwhile. A handler returns the reply text or throws ControlError
// for a refusal, whose message goes back to the client.
class CControlServer {
  public:
    class ControlError : public std::runtime_error {
      public:
        explicit ControlError(const std::string& what) : std::runtime_error(what) {}
    };
    // A refusal of the request's words themselves (a client reports it as a bad command).
    class BadArguments : public ControlError {
      public:
        explicit BadArguments(const std::string& what);
    };
    using Handler = std::function<std::string(const std::vector<std::string>& args)>;

    explicit CControlServer(CHome home);
    ~CControlServer();
    CControlServer(const CControlServer&) = delete;
    CControlServer& operator=(const CControlServer&) = delete;

    // Registers the handler of a verb (the first word of a request); the handler gets the
    // remaining words. May be called before or after start.
    void on(const std::string& verb, Handler handler);

    // The instance lock the launch already holds; start() then takes none of its own. The lock
    // stays held as long as any owner keeps it, also after stop().
    void useInstanceLock(std::shared_ptr<CInstanceLock> lock);

    // Takes the instance lock (unless one was given) and starts listening. Returns false when
    // another instance of this home holds the lock. Throws PlatformError when the socket cannot
    // be set up.
    bool start();
    void stop();

    // Connections served at the same time; one more is told the server is busy.
    static constexpr size_t kMaxConnections = 16;
    // The time a client has to send its whole request line.
    static constexpr int kRequestDeadlineMs = 5000;

  private:
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void serve();
    void handle(int fd);
    // Joins the threads of connections that have ended. The caller holds _connectionsLock.
    void reapConnections();

    CHome _home;
    std::shared_ptr<CInstanceLock> _lock;
    int _listenFd = -1;
    int _wakePipe[2] = {-1, -1};
    std::thread _thread;
    std::mutex _handlersLock;
    std::map<std::string, Handler> _handlers;
    std::mutex _runLock;  // held while a handler runs
    std::mutex _connectionsLock;
    std::vector<Connection> _connections;
};

}  // namespace platform
