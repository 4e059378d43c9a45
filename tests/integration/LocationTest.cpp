// The location engine, the cell history, the battery history and the SIM in the running program,
// driven from outside with zentrova-device as a user or a test script would.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/ProgramFixture.h"

namespace {

namespace fs = std::filesystem;

// UTF-16LE text of the ASCII history files, as plain text.
std::string readAscii(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out += bytes[i];
    }
    return out;
}

class LocationTest : public ProgramFixture {
  protected:
    LocationTest() : ProgramFixture("200") {}
    std::string log() { return device({"log"}).out; }
};

TEST_F(LocationTest, NewCellReachesTheHistoryAndTheListenersAndBatteryTheFiles) {
    startProgram();
    ASSERT_EQ(device({"place", "add", "Home"}).code, 0);
    ASSERT_EQ(device({"cell", "assign", "1234", "Home"}).code, 0);
    ASSERT_EQ(device({"cell", "1234", "56"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("cell") == "1234"; })) << device({"app"}).out;
    EXPECT_EQ(value("lac"), "56");
    std::string app = device({"app"}).out;
    EXPECT_NE(app.find("cell_event=1234 56 "), std::string::npos) << app;
    // The schedule engine, a listener of the location engine, took the report: Home's place id.
    ASSERT_TRUE(WaitUntil([&] {
        return value("place") != "0" &&
               value("last_place", {"reg", "get", "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova", "last_place"}) !=
                   "0";
    })) << app;

    // A cell of no place, then the battery.
    ASSERT_EQ(device({"cell", "999", "57"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("cell_event").rfind("999 57 ", 0) == 0; }))
        << device({"app"}).out;
    EXPECT_EQ(value("place"), "0");
    ASSERT_EQ(device({"battery", "40", "--current", "-250"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("battery") == "40" && value("current") == "-250"; }))
        << device({"app"}).out;
    fs::path program = home / "program";
    ASSERT_TRUE(WaitUntil([&] {
        std::string b = readAscii(program / "log_battery.txt");
        std::string c = readAscii(program / "log_current.txt");
        return b.find(" 040%\r\n") != std::string::npos && c.find(" -250mA\r\n") != std::string::npos;
    })) << readAscii(program / "log_battery.txt")
        << readAscii(program / "log_current.txt");
}

TEST_F(LocationTest, LockedSimIsUnlockedAtStartWithTheStoredPin) {
    startProgram();
    ASSERT_EQ(device({"pin", "4321"}).code, 0);
    EXPECT_NE(device({"pin", "12x4"}).code, 0);
    ASSERT_EQ(device({"sim", "pin", "4321"}).code, 0);
    ASSERT_EQ(device({"sim", "locked"}).code, 0);
    EXPECT_EQ(value("sim", {"status"}), "locked");
    // The stored PIN is not readable in the registry.
    std::string stored = device({"reg", "get", "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova", "pin"}).out;
    EXPECT_EQ(stored.find("34003300320031"), std::string::npos) << stored;
    program.reset();  // ends the program
    startProgram();
    ASSERT_TRUE(WaitUntil([&] { return value("sim", {"status"}) == "unlocked"; })) << device({"status"}).out;
    EXPECT_EQ(value("pin_prompt", {"status"}), "closed");
}

}  // namespace
