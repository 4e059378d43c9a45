#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/CHome.h"
#include "platform/CProcessLauncher.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimUserNotifications.h"

namespace fs = std::filesystem;
using platform::CHome;
using platform::CProcessLauncher;
using platform::UserNotificationTrigger;
using platform::sim::CSimClock;
using platform::sim::CSimUserNotifications;
using Handles = std::vector<uint32_t>;

namespace {

constexpr int64_t kMinute = 60 * 1000;
constexpr int64_t kHour = 60 * kMinute;
// 2024-06-01 12:00 local.
constexpr int64_t kT0 = 1717243200000;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void writeScript(const fs::path& file, const std::string& body) {
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(file, fs::perms::owner_all);
}

class UserNotificationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        _root = fs::temp_directory_path() / ("zv-notify-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(_root);
        _home = std::make_unique<CHome>(_root);
        _home->create();
        _clock = std::make_unique<CSimClock>(_home->clockFile());
        _clock->setLocalMillis(kT0);
        // The started application notes how many arguments it got and the first one.
        writeScript(script(), "printf '%s:%s\\n' \"$#\" \"$1\" >> '" + fired().string() + "'");
    }
    void TearDown() override { fs::remove_all(_root); }

    fs::path script() const { return _root / "fire.sh"; }
    fs::path fired() const { return _root / "fired.txt"; }

    UserNotificationTrigger trigger(int64_t startMs, const std::string& args) const {
        UserNotificationTrigger t;
        t.application = script().string();
        t.arguments = args;
        t.start = CSimClock::fromMillis(startMs);
        return t;
    }
    std::vector<std::string> firedLines() const {
        std::vector<std::string> lines;
        std::ifstream in(fired());
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    bool waitForFired(size_t n) {
        return waitFor([&] { return firedLines().size() >= n; });
    }

    fs::path _root;
    std::unique_ptr<CHome> _home;
    std::unique_ptr<CSimClock> _clock;
};

using ProcessLauncherTest = UserNotificationsTest;

}  // namespace

TEST_F(UserNotificationsTest, RegisterReadClearAndKeepAcrossObjects) {
    uint32_t first = 0, second = 0;
    {
        CSimUserNotifications n(*_home, *_clock, false);
        first = n.setUserNotification(trigger(kT0 + kHour, "--alarm 42"));
        second = n.setUserNotification(trigger(kT0 + 2 * kHour, ""));
        ASSERT_NE(first, 0u);
        EXPECT_GT(second, first);
        EXPECT_EQ(n.getUserNotificationHandles(), (Handles{first, second}));
        auto notTime = trigger(kT0, "x");
        notTime.type = 1;
        EXPECT_EQ(n.setUserNotification(notTime), 0u);
        EXPECT_TRUE(n.clearUserNotification(second));
        EXPECT_FALSE(n.clearUserNotification(second));
    }
    CSimUserNotifications n(*_home, *_clock, false);
    EXPECT_EQ(n.getUserNotificationHandles(), (Handles{first}));
    UserNotificationTrigger out;
    EXPECT_FALSE(n.getUserNotification(second, out));
    ASSERT_TRUE(n.getUserNotification(first, out));
    EXPECT_EQ(out.type, platform::CNT_TIME);
    EXPECT_EQ(out.application, script().string());
    EXPECT_EQ(out.arguments, "--alarm 42");
    EXPECT_EQ(out.start, CSimClock::fromMillis(kT0 + kHour));
    // A cleared trigger's handle is never given out again.
    EXPECT_GT(n.setUserNotification(trigger(kT0, "new")), second);
}

TEST_F(UserNotificationsTest, ClockJumpStartsDueApplicationButNotLaterOne) {
    CSimUserNotifications host(*_home, *_clock, true);
    host.setUserNotification(trigger(kT0 + kHour, "--alarm 42"));
    uint32_t later = host.setUserNotification(trigger(kT0 + 24 * kHour, "later"));

    _clock->advance(2 * kHour);
    ASSERT_TRUE(waitForFired(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(firedLines(), (std::vector<std::string>{"1:--alarm 42"}));
    EXPECT_EQ(host.getUserNotificationHandles(), (Handles{later}));
    host.clearUserNotification(later);  // nothing is left to hand on at the end
}

TEST_F(UserNotificationsTest, EachTriggerFiresOnceWithSeveralHostsAndProcesses) {
    ASSERT_TRUE(
        CProcessLauncher::startDetached(fs::path(ZENTROVA_TEST_HELPERS) / "notifyhost", {_root.string()}));
    ASSERT_TRUE(waitFor([&] { return fs::exists(_root / "host.ready"); }));
    {
        CSimUserNotifications hostA(*_home, *_clock, true);
        CSimUserNotifications hostB(*_home, *_clock, true);
        std::vector<std::string> expected;
        for (int i = 0; i < 12; ++i) {
            expected.push_back("1:t" + std::to_string(i));
            ASSERT_NE(
                (i % 2 ? hostA : hostB).setUserNotification(trigger(kT0 + kHour, "t" + std::to_string(i))),
                0u);
        }
        _clock->advance(2 * kHour);
        ASSERT_TRUE(waitForFired(expected.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        auto lines = firedLines();
        std::sort(lines.begin(), lines.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(lines, expected);
    }
    std::ofstream(_root / "host.stop") << "stop\n";
    EXPECT_TRUE(waitFor([&] { return !fs::exists(_root / "host.ready"); }));
}

TEST_F(UserNotificationsTest, RunnerFiresPendingTriggersAndYieldsToRunningProgram) {
    CSimUserNotifications tool(*_home, *_clock, false);
    _clock->setSpeed(3600);  // a phone hour per real second
    tool.setUserNotification(trigger(kT0 - kMinute, "past"));
    tool.setUserNotification(trigger(kT0 + 30 * kMinute, ""));
    auto start = std::chrono::steady_clock::now();
    tool.runUntilIdle();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(tool.getUserNotificationHandles().empty());
    ASSERT_TRUE(waitForFired(2));
    EXPECT_EQ(firedLines(), (std::vector<std::string>{"1:past", "0:"}));

    // A running program holds the instance lock: after a moment (the program that started the
    // runner may still be ending) the runner leaves the triggers to it.
    int fd = ::open(_home->instanceLock().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    uint32_t pending = tool.setUserNotification(trigger(kT0 + 240 * kHour, "far"));
    start = std::chrono::steady_clock::now();
    tool.runUntilIdle();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(tool.getUserNotificationHandles(), (Handles{pending}));
    ::close(fd);
}

TEST_F(ProcessLauncherTest, StartsDetachedWithArgumentsNullStdinAndNoOtherFiles) {
    // A descriptor the caller left open without close-on-exec must not reach the program.
    int opened = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int leaked = ::fcntl(opened, F_DUPFD, 50);
    ::close(opened);
    ASSERT_GE(leaked, 50);
    fs::path out = _root / "out";
    writeScript(_root / "probe.sh", "{ readlink /proc/$$/fd/0; [ -e /proc/$$/fd/" + std::to_string(leaked) +
                                        " ] && echo open || echo closed; echo \"$#:$1:$2\"; } > '" +
                                        out.string() + ".tmp' && mv '" + out.string() + ".tmp' '" +
                                        out.string() + "'");
    // Our own standard input is a pipe meanwhile, so that "/dev/null" can only come from the launcher.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int savedStdin = ::dup(STDIN_FILENO);
    ::dup2(pipeFds[0], STDIN_FILENO);
    bool started = CProcessLauncher::startDetached(_root / "probe.sh", {"a b", ""});
    ::dup2(savedStdin, STDIN_FILENO);
    for (int fd : {savedStdin, pipeFds[0], pipeFds[1], leaked}) {
        ::close(fd);
    }
    ASSERT_TRUE(started);
    ASSERT_TRUE(waitFor([&] { return fs::exists(out); }));
    std::ifstream in(out);
    std::string stdinTarget, fdState, args;
    std::getline(in, stdinTarget), std::getline(in, fdState), std::getline(in, args);
    EXPECT_EQ(stdinTarget, "/dev/null");
    EXPECT_EQ(fdState, "closed");
    EXPECT_EQ(args, "2:a b:");
    // The started process is nobody's child of ours: nothing to reap, no zombie left.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    EXPECT_FALSE(CProcessLauncher::startDetached(_root / "missing", {}));
    EXPECT_FALSE(CProcessLauncher::startDetached(out, {}));  // not executable
    EXPECT_EQ(CProcessLauncher::selfExecutable().filename(), "test_platform");
}
