// The real programs on a temporary home: start, install, single instance, the control socket,
// zentrova-device's file commands, notifications fired by the running program, and bad input.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/ProgramFixture.h"

namespace {

namespace fs = std::filesystem;

class ProgramTest : public ProgramFixture {};

TEST_F(ProgramTest, FirstStartInstallsAndASecondLaunchDoesNotStartAnotherInstance) {
    startProgram();
    EXPECT_TRUE(fs::is_directory(home / "program"));
    EXPECT_EQ(fs::status(home / "run").permissions() & fs::perms::all, fs::perms::owner_all);
    Result lang = device({"reg", "get", "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova", "language"});
    EXPECT_EQ(lang.code, 0);
    EXPECT_EQ(lang.out, "en\n");

    ChildProcess second(bin("zentrova"), {}, env, base.string() + "/second");
    EXPECT_EQ(second.wait(), 0);
    EXPECT_TRUE(program->running());
    // Any command line with no instance running starts nothing.
    EXPECT_EQ(program->stop(), 0);
    ChildProcess notified(bin("zentrova"), {"timer_notification_00_01_2008_02_15_00_20_10_00"}, env,
                          base.string() + "/third");
    EXPECT_EQ(notified.wait(), 0);
    EXPECT_EQ(device({"app"}).code, 3);
}

// libcurl and the thirty-odd libraries it needs are loaded by the first HTTP request or mail,
// not by the start-up.
TEST_F(ProgramTest, TheHttpAndMailLibraryIsNotLoadedAtStart) {
    startProgram();
    const std::string pid = value("pid");
    ASSERT_FALSE(pid.empty());
    std::ifstream maps("/proc/" + pid + "/maps");
    const std::string mapped((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    ASSERT_NE(mapped.find("libZentrovaCommon.so"), std::string::npos);
    EXPECT_EQ(mapped.find("libcurl"), std::string::npos);
}

TEST_F(ProgramTest, ClockJumpFiresAPendingNotificationThroughARealProcessStart) {
    startProgram();
    fs::path marker = home / "fired.txt";
    fs::path script = home / "notified.sh";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" >> '" << marker.string() << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    // Real time from here on: only the jumps below move the phone's clock noticeably.
    ASSERT_EQ(device({"clock", "speed", "1"}).code, 0);
    ASSERT_EQ(device({"clock", "set", "2008-02-14 23:50:10"}).code, 0);
    // The trigger is registered by a second process; the running program fires it.
    ChildProcess reg(
        bin("../tests/bin/notifyregister"),
        {home.string(), script.string(), "timer_notification_00_00_2008_02_15_00_20_10", "1800000"}, env,
        base.string() + "/reg");
    ASSERT_EQ(reg.wait(), 0) << reg.output();
    Result pending = device({"notifications"});
    EXPECT_NE(pending.out.find("time=2008-02-15 00:20:10"), std::string::npos) << pending.out;
    EXPECT_NE(pending.out.find("arguments=timer_notification_00_00_2008_02_15_00_20_10"), std::string::npos);

    ASSERT_EQ(device({"clock", "advance", "29m"}).code, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(marker));
    ASSERT_EQ(device({"clock", "advance", "2m"}).code, 0);
    // The started program writes its line: wait for all of it, not only for the file.
    std::string line;
    ASSERT_TRUE(WaitUntil([&] {
        std::ifstream in(marker);
        return std::getline(in, line) && !in.eof();
    }));
    EXPECT_EQ(line, "timer_notification_00_00_2008_02_15_00_20_10");
    EXPECT_EQ(device({"notifications"}).out, "");
}

TEST_F(ProgramTest, DeviceToolReportsBadInputClearly) {
    EXPECT_EQ(device({"reg", "set", "HKLM\\SOFTWARE\\Test", "n", "dword", "-4"}).code, 2);
    EXPECT_EQ(device({"reg", "set", "HKXX\\SOFTWARE", "n", "dword", "4"}).code, 2);
    EXPECT_EQ(device({"clock", "set", "2008-02-30 10:00:00"}).code, 2);
    EXPECT_EQ(device({"reg", "get", "HKLM\\SOFTWARE\\Test", "missing"}).code, 1);
    Result notRunning = device({"app"});
    EXPECT_EQ(notRunning.code, 3);
    EXPECT_NE(notRunning.out.find("no Zentrova program is running"), std::string::npos) << notRunning.out;

    // A registry file that is not a database: both programs name it and fail.
    std::ofstream(home / "registry.db", std::ios::trunc) << std::string(4096, 'x');
    Result broken = device({"reg", "list", "HKLM\\SOFTWARE"});
    EXPECT_EQ(broken.code, 1);
    EXPECT_NE(broken.out.find((home / "registry.db").string()), std::string::npos) << broken.out;
    ChildProcess p(bin("zentrova"), {}, env, base.string() + "/broken");
    EXPECT_EQ(p.wait(), 1);
    EXPECT_NE(p.output().find("registry.db"), std::string::npos) << p.output();
}

TEST_F(ProgramTest, InstallCommandAddsMissingValuesAndKeepsChangedOnes) {
    ChildProcess first(bin("zentrova"), {"--install"}, env, base.string() + "/i1");
    ASSERT_EQ(first.wait(), 0) << first.output();
    const std::string key = "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova";
    ASSERT_EQ(device({"reg", "set", key, "language", "sz", "es"}).code, 0);
    ASSERT_EQ(device({"reg", "delete", key, "theme"}).code, 0);
    ChildProcess second(bin("zentrova"), {"--install"}, env, base.string() + "/i2");
    ASSERT_EQ(second.wait(), 0);
    EXPECT_NE(second.output().find("1 settings added"), std::string::npos) << second.output();
    EXPECT_EQ(device({"reg", "get", key, "language"}).out, "es\n");
    EXPECT_EQ(device({"reg", "get", key, "theme"}).out, "default\n");
}

}  // namespace
