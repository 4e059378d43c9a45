#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/ControlProtocol.h"
#include "support/TempHome.h"

namespace {

using platform::CControlClient;
using platform::CControlServer;
using Clock = std::chrono::steady_clock;

// A connection opened by hand, to send a request as slowly as a test wants.
class RawClient {
  public:
    explicit RawClient(const platform::CHome& home) {
        sockaddr_un addr{};
        unsigned length = 0;
        if (platform::control::socketAddress(home.controlSocket().string(), &addr, length)) {
            _fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (_fd >= 0 && ::connect(_fd, reinterpret_cast<sockaddr*>(&addr), length) != 0) {
                ::close(_fd);
                _fd = -1;
            }
        }
    }
    ~RawClient() {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return _fd >= 0; }
    // A server that has already turned the connection away may have closed it: no SIGPIPE then.
    void send(const std::string& bytes) { (void)!::send(_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Everything the server sends until it closes the connection.
    std::string readAll() {
        std::string out;
        char buf[512];
        ssize_t n = 0;
        while ((n = ::read(_fd, buf, sizeof buf)) > 0) {
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }

  private:
    int _fd = -1;
};

class ControlServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.on("echo", [](const std::vector<std::string>& args) { return args.empty() ? "" : args[0]; });
        ASSERT_TRUE(server.start());
    }
    long long msSince(Clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    }

    TempHome home;
    platform::CHome phoneHome{home.root()};
    CControlServer server{phoneHome};
    CControlClient client{phoneHome};
};

// A client that sends a byte now and then must not delay other requests (a forwarded timer line
// among them) until its own request times out.
TEST_F(ControlServerTest, ASlowClientDoesNotHoldUpTheNextRequest) {
    RawClient slow(phoneHome);
    ASSERT_TRUE(slow.connected());
    slow.send("ec");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the server take it first
    auto start = Clock::now();
    std::string reply;
    ASSERT_EQ(client.request({"echo", "fast"}, reply), CControlClient::Status::Ok) << reply;
    EXPECT_EQ(reply, "fast");
    EXPECT_LT(msSince(start), 2000);
    // The slow request still gets its answer when it is complete.
    slow.send("ho\n");
    EXPECT_EQ(slow.readAll(), "OK\n");
}

TEST_F(ControlServerTest, HandlersStillRunOneAtATime) {
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    server.on("work", [&](const std::vector<std::string>&) {
        int now = ++running;
        most = std::max(most.load(), now);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        --running;
        return std::string("done");
    });
    std::vector<std::thread> clients;
    std::atomic<int> ok{0};
    for (int i = 0; i < 6; ++i) {
        clients.emplace_back([&] {
            std::string reply;
            if (client.request({"work"}, reply) == CControlClient::Status::Ok && reply == "done") {
                ++ok;
            }
        });
    }
    for (std::thread& t : clients) {
        t.join();
    }
    EXPECT_EQ(ok.load(), 6);
    EXPECT_EQ(most.load(), 1);
}

TEST_F(ControlServerTest, ConnectionsAreBoundedAndStopEndsThemAtOnce) {
    std::vector<std::unique_ptr<RawClient>> idle;
    for (size_t i = 0; i < CControlServer::kMaxConnections; ++i) {
        idle.push_back(std::make_unique<RawClient>(phoneHome));
        ASSERT_TRUE(idle.back()->connected());
        idle.back()->send("e");
    }
    // Each idle one holds a place; one more is turned away at once, not after a wait.
    RawClient extra(phoneHome);
    ASSERT_TRUE(extra.connected());
    extra.send("echo\n");
    auto start = Clock::now();
    EXPECT_NE(extra.readAll().find("busy"), std::string::npos);
    EXPECT_LT(msSince(start), 2000);

    start = Clock::now();
    server.stop();
    EXPECT_LT(msSince(start), 2000);
    for (auto& c : idle) {
        EXPECT_EQ(c->readAll(), "");
    }
}

}  // namespace
