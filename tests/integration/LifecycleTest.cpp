// The launcher and the application's lifecycle with the real programs: forwarding of command
// lines to the running instance, a second launch during the first one's start-up, the Exit
// command, the end by a signal, failed starts, a home of an older version, and the restart
// through the phone's notification service.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

#include "support/ProgramFixture.h"

namespace {

namespace fs = std::filesystem;

class LifecycleTest : public ProgramFixture {
  protected:
    ~LifecycleTest() override {
        program.reset();
        stopRelaunched();
    }

    int launch(const std::vector<std::string>& args) {
        ChildProcess p(bin("zentrova"), args, env, (base / "launch.out").string());
        return p.wait();
    }
    std::string app() {
        Result r = device({"app"});
        return r.code == 0 ? r.out : std::string();
    }
    std::string appValue(const std::string& key) { return value(key); }

    // A program started by the phone (not by the test) is stopped through its pid.
    void stopRelaunched() {
        std::string pid = appValue("pid");
        if (!pid.empty()) {
            ::kill(std::stoi(pid), SIGTERM);
            WaitUntil([&] { return app().empty(); });
        }
    }
};

TEST_F(LifecycleTest, SecondLaunchesAreHandedToTheRunningInstance) {
    startProgram();
    std::string pid = appValue("pid");

    EXPECT_EQ(launch({}), 0);
    EXPECT_TRUE(WaitUntil([&] { return appValue("activations") == "1"; }));

    // 44 characters: the whole line and its terminating zero arrive, 90 bytes.
    EXPECT_EQ(launch({"timer_notification_00_01_2008_02_15_00_20_10"}), 0);
    EXPECT_TRUE(WaitUntil([&] { return appValue("last_timer") == "0 1 2008-02-15 00:20:10"; })) << app();
    EXPECT_EQ(appValue("last_copydata_bytes"), "90");

    EXPECT_EQ(launch({"iddle_notification"}), 0);
    EXPECT_TRUE(WaitUntil([&] { return appValue("idle_notifications") == "1"; }));
    EXPECT_EQ(launch({"Iddle_notification"}), 0);
    EXPECT_EQ(launch({"iddle_notificationx"}), 0);
    EXPECT_EQ(launch({"hello"}), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(appValue("idle_notifications"), "1");
    EXPECT_EQ(appValue("timer_notifications"), "1");
    EXPECT_EQ(appValue("pid"), pid);
}

TEST_F(LifecycleTest, ExitAsksFirstAndClosesOnYes) {
    startProgram();
    ChildProcess exitNo(bin("zentrova-device"), {"command", "1234"}, env, (base / "exit.out").string());
    EXPECT_EQ(exitNo.wait(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(program->running());
    EXPECT_NE(program->output().find("-> no"), std::string::npos) << program->output();
    program.reset();

    env["ZENTROVA_BOX_ANSWER"] = "yes";
    startProgram();
    ChildProcess exitYes(bin("zentrova-device"), {"command", "1234"}, env, (base / "exit.out").string());
    EXPECT_EQ(exitYes.wait(), 0);
    EXPECT_EQ(program->wait(), 0);
    EXPECT_TRUE(app().empty());
}

TEST_F(LifecycleTest, RestartEndsTheProgramAndThePhoneStartsItAgain) {
    env["ZENTROVA_CLOCK_SPEED"] = "20";  // the 10 s of the relaunch pass in half a second
    startProgram();
    std::string firstPid = appValue("pid");
    ChildProcess restart(bin("zentrova-device"), {"command", "40057"}, env, (base / "restart.out").string());
    EXPECT_EQ(restart.wait(), 0);
    EXPECT_EQ(program->wait(), 0) << program->output();
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::string pid = appValue("pid");
            return !pid.empty() && pid != firstPid && appValue("initiated") == "1";
        },
        std::chrono::seconds(20)));
}

// The instance lock is taken before anything else: a second launch while the first one is still
// starting waits for it, hands its command line over and ends; the first one goes on.
TEST_F(LifecycleTest, ASecondLaunchDuringStartUpIsHandedToTheFirst) {
    // A new home starts in a tenth of a second: the second launch comes while the first one is
    // still installing and opening its database.
    program = std::make_unique<ChildProcess>(bin("zentrova"), std::vector<std::string>{}, env,
                                             (base / "program.out").string());
    // The second comes once the first holds the home's lock (as the kernel's lock table shows,
    // without touching the lock), however slowly a loaded machine starts the first.
    auto holdsLock = [&] {
        std::ifstream locks("/proc/locks");
        const std::string pid = " " + std::to_string(program->pid()) + " ";
        for (std::string line; std::getline(locks, line);) {
            if (line.find("FLOCK") != std::string::npos && line.find(pid) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!holdsLock() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(holdsLock()) << program->output();
    ChildProcess second(bin("zentrova"), {}, env, (base / "second.out").string());
    EXPECT_EQ(second.wait(std::chrono::seconds(60)), 0) << second.output();
    EXPECT_TRUE(program->running()) << program->output();
    EXPECT_EQ(appValue("initiated"), "1");
    EXPECT_EQ(appValue("pid"), std::to_string(program->pid()));
    EXPECT_TRUE(WaitUntil([&] { return appValue("activations") == "1"; })) << app();
}

// Ctrl-C and SIGTERM are not the user's Exit: the pending wake-ups stay, and a change made for a
// limited time reverts when the program runs again.
TEST_F(LifecycleTest, ASignalKeepsThePendingWakeUpsSoATimeLimitStillReverts) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
        startProgram();
        ASSERT_EQ(device({"wifi", "off"}).code, 0);
        ASSERT_TRUE(WaitUntil([&] { return appValue("mgr0") == "0"; })) << app();
        ASSERT_EQ(device({"force", "0", "1", "--minutes", "30", "--restore", "0"}).code, 0);
        ASSERT_TRUE(WaitUntil([&] { return appValue("mgr0") == "1"; })) << app();
        auto pending = [&] { return device({"notifications"}).out.find("timer_notification_00_00_"); };
        ASSERT_TRUE(WaitUntil([&] { return pending() != std::string::npos; }));

        ::kill(program->pid(), signal);
        EXPECT_EQ(program->wait(), 0) << program->output();
        EXPECT_NE(pending(), std::string::npos) << device({"notifications"}).out;

        startProgram();
        EXPECT_EQ(appValue("mgr0"), "1");
        ASSERT_EQ(device({"clock", "advance", "31m"}).code, 0);
        EXPECT_TRUE(WaitUntil([&] { return appValue("mgr0") == "0"; })) << app();
        program.reset();
    }
}

// An error before the application runs (here the installation of a new home) is shown in the
// application's message box, and the final clean-up still runs.
TEST_F(LifecycleTest, AFailedStartIsShownInTheMessageBoxAndTheCleanUpRuns) {
    env["ZENTROVA_RESOURCES"] = (base / "no-resources").string();
    env["ZENTROVA_DEBUG_LOG"] = "stderr";
    ChildProcess failed(bin("zentrova"), {}, env, (base / "failed.out").string());
    EXPECT_EQ(failed.wait(), 1);
    std::string out = failed.output();
    EXPECT_NE(out.find("] " + (base / "no-resources").string() + ": the shipped resources are missing"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("worker threads alive"), std::string::npos) << out;
    EXPECT_FALSE(running());
}

// A home installed by an older version: the start adds the settings it lacks and keeps the
// values the user changed.
TEST_F(LifecycleTest, AStartOfAnOlderHomeAddsTheMissingSettingsAndKeepsTheUsers) {
    const std::string key = "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova";
    ChildProcess install(bin("zentrova"), {"--install"}, env, (base / "install.out").string());
    ASSERT_EQ(install.wait(), 0) << install.output();
    ASSERT_EQ(device({"reg", "delete", key, "cell_history_list_number"}).code, 0);
    ASSERT_EQ(device({"reg", "set", key, "events_log_items_screen", "dword", "20"}).code, 0);
    startProgram();
    EXPECT_EQ(device({"reg", "get", key, "cell_history_list_number"}).out, "50\n");
    EXPECT_EQ(device({"reg", "get", key, "events_log_items_screen"}).out, "20\n");
}

}  // namespace
