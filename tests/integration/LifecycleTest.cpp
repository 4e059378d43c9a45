// The launcher and the application's lifecycle with the real programs: forwarding of command
// lines to the running instance, the Exit command, and the restart through the phone's
// notification service.

#include <gtest/gtest.h>
#include <signal.h>

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

}  // namespace
