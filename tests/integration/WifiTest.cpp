// The Wi-Fi manager in the running program: a time-limited change that the phone undoes through
// a real program start, and a change made outside the program.

#include <gtest/gtest.h>
#include <signal.h>

#include "support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

class WifiTest : public ::testing::Test {
  protected:
    WifiTest() {
        char tmpl[] = "/tmp/zentrova-wifi-XXXXXX";
        base = ::mkdtemp(tmpl);
        home = base / "home";
        env = {{"ZENTROVA_HOME", home.string()},
               {"QT_QPA_PLATFORM", "offscreen"},
               {"ZENTROVA_BOX_ANSWER", "no"},
               // A phone minute passes in 0.3 s; the broker's first 2 s in 10 ms.
               {"ZENTROVA_CLOCK_SPEED", "200"}};
        program = std::make_unique<ChildProcess>(bin("zentrova"), std::vector<std::string>{}, env,
                                                 (base / "program.out").string());
        EXPECT_TRUE(WaitUntil([&] { return value("initiated") == "1"; }, std::chrono::seconds(20)))
            << program->output();
    }
    ~WifiTest() override {
        program.reset();
        fs::remove_all(base);
    }

    std::string device(const std::vector<std::string>& args, int* code = nullptr) {
        ChildProcess p(bin("zentrova-device"), args, env, (base / "device.out").string());
        int rc = p.wait();
        if (code) {
            *code = rc;
        }
        return p.output();
    }
    std::string value(const std::string& key, const std::vector<std::string>& command = {"app"}) {
        std::string out = device(command);
        auto at = out.find(key + "=");
        if (at == std::string::npos || (at > 0 && out[at - 1] != '\n')) {
            return {};
        }
        auto start = at + key.size() + 1;
        return out.substr(start, out.find('\n', start) - start);
    }
    std::string log() { return device({"log"}); }
    static size_t count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }
    static std::string bin(const std::string& name) { return std::string(ZENTROVA_BIN_DIR) + "/" + name; }

    fs::path base;
    fs::path home;
    std::map<std::string, std::string> env;
    std::unique_ptr<ChildProcess> program;
};

TEST_F(WifiTest, TimeLimitedChangeIsUndoneThroughTheNotificationService) {
    ASSERT_EQ(value("mgr0"), "0") << device({"app"});
    size_t changedAtStart = count(log(), "DEBUG. Wi-Fi is now");
    int code = -1;
    device({"force", "0", "1", "--minutes", "1", "--restore", "0"}, &code);
    ASSERT_EQ(code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "1"; })) << log();
    // The trigger waits in the notification database, then the phone starts the program with it.
    std::string pending = device({"notifications"});
    EXPECT_NE(pending.find("arguments=timer_notification_00_00_"), std::string::npos) << pending;
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "0"; }, std::chrono::seconds(15))) << log();
    EXPECT_NE(value("last_timer_text").find("timer_notification_00_00_"), std::string::npos);
    EXPECT_EQ(device({"notifications"}), "");
    std::string text = log();
    EXPECT_EQ(count(text, "INFO. Switching Wi-Fi to"), 2u) << text;
    EXPECT_EQ(count(text, "DEBUG. Wi-Fi is now"), changedAtStart + 2) << text;
}

TEST_F(WifiTest, ChangeMadeOutsideTheProgramIsNoticed) {
    EXPECT_EQ(value("wifi", {"status"}), "off");
    size_t changedAtStart = count(log(), "DEBUG. Wi-Fi is now");
    int code = -1;
    device({"wifi", "on"}, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(value("wifi", {"status"}), "on");
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "1"; })) << log();
    device({"wifi", "off"});
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "0"; })) << log();
    EXPECT_EQ(count(log(), "DEBUG. Wi-Fi is now"), changedAtStart + 2);
    EXPECT_EQ(count(log(), "INFO. Switching Wi-Fi to"), 0u);
}

}  // namespace
