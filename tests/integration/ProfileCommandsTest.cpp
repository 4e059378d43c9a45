// zentrova-device's place, frame, action, assign and lock commands on a home whose program is not
// running, and scenario files against a running program.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/CControlServer.h"
#include "support/ProgramFixture.h"

namespace {

class ProfileCommandsTest : public ProgramFixture {
  protected:
    // A phone minute passes in 0.6 s.
    ProfileCommandsTest() : ProgramFixture("100") {}

    // A home installed by one start of the program, which then ends.
    void installHome() {
        startProgram();
        program.reset();
        ASSERT_TRUE(WaitUntil([&] { return device({"app"}).code == 3; }));
    }
    // The id in a "place=ID name=..." answer.
    static std::string placeId(const Result& r) {
        auto at = r.out.find("place=");
        return at == std::string::npos ? "" : r.out.substr(at + 6, r.out.find(' ', at) - at - 6);
    }
    // The lines of a text that hold every one of `parts`.
    static size_t lines(const std::string& text, const std::vector<std::string>& parts) {
        size_t n = 0;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            bool all = true;
            for (const auto& p : parts) {
                all = all && line.find(p) != std::string::npos;
            }
            n += all;
        }
        return n;
    }
    std::string lockedProfile() {
        return device({"reg", "get", "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova", "locked_profile"}).out;
    }
    std::string scenario(const std::string& name, const std::string& text) {
        std::string path = (base / name).string();
        std::ofstream(path) << text;
        return path;
    }
};

TEST_F(ProfileCommandsTest, WithoutTheProgramTheCommandsWriteTheTablesAndRefusalsWriteNothing) {
    installHome();
    Result office = device({"place", "add", "Office"});
    ASSERT_EQ(office.code, 0) << office.out;
    std::string officeId = placeId(office);
    ASSERT_EQ(device({"frame", "add", "Office", "mon", "09:00", "17:00", "--name", "Work"}).code, 0);
    ASSERT_EQ(device({"frame", "add", "Office", "all", "22:00", "06:00", "--name", "Night"}).code, 0);
    ASSERT_EQ(device({"frame", "add", "Office", "1", "17:00", "22:00"}).code, 0);  // fits between the two
    std::string db = device({"db"}).out;
    EXPECT_EQ(count(db, ",Night," + officeId + ",(0000-00-00 22:00),(0000-00-00 06:00)]"), 7u) << db;
    // Monday, enabled, not always on: Work, Night and 17:00-22:00.
    EXPECT_EQ(lines(db, {"CStrPeriod:[", ",1,1,0,", "," + officeId + ",("}), 3u) << db;
    EXPECT_EQ(lines(db, {",17:00-22:00," + officeId + ",(0000-00-00 17:00),(0000-00-00 22:00)]"}), 1u) << db;

    struct Refused {
        std::vector<std::string> args;
        int code;
    };
    const Refused refusals[] = {
        {{"place", "add", "Office"}, 1},
        {{"place", "add", ""}, 2},
        {{"frame", "add", "Nowhere", "mon", "01:00", "02:00"}, 1},
        {{"frame", "add", "Office", "tue", "25:00", "26:00"}, 2},
        {{"frame", "add", "Office", "tue", "9:5", "10:00"}, 2},
        {{"frame", "add", "Office", "someday", "08:00", "09:00"}, 2},
        {{"frame", "add", "Office", "mon", "16:00", "18:00"}, 1},  // into Work's end
        {{"frame", "add", "Office", "mon", "08:00", "09:30"}, 1},  // into Work's start
        {{"frame", "add", "Office", "mon", "05:00", "07:00"}, 1},  // into the part after midnight
        {{"frame", "add", "Office", "wed", "23:00", "06:00"}, 1},  // inside Night, same end
        {{"frame", "add", "Office", "tue", "10:00", "10:00"}, 1},  // all day on a day with frames
        {{"frame", "add", "Office", "all", "10:00", "11:00"}, 1},  // Monday refuses it: no day has it
        {{"action", "add", "Office", "Work", "enter", "7", "1"}, 2},
        {{"action", "add", "Office", "Work", "enter", "54", "1"}, 2},
        {{"action", "add", "Office", "Work", "during", "0", "1"}, 2},
        {{"action", "add", "Office", "Lunch", "enter", "0", "1"}, 1},
        {{"action", "add", "Nowhere", "Work", "enter", "0", "1"}, 1},
        {{"cell", "assign", "1234", "Nowhere"}, 1},
        {{"lac", "assign", "-5", "Office"}, 2},
        {{"lock", "Nowhere"}, 1},
    };
    for (const Refused& r : refusals) {
        Result result = device(r.args);
        EXPECT_EQ(result.code, r.code)
            << r.args[0] << " " << r.args[1] << " " << r.args[2] << ": " << result.out;
        EXPECT_NE(result.out.find("zentrova-device: "), std::string::npos);
    }
    EXPECT_EQ(device({"db"}).out, db);

    // An action of an "all" frame reaches all seven; a second one of the same code and moment
    // does not.
    ASSERT_EQ(
        device({"action", "add", "Office", "Night", "exit", "2", "1", "--level", "4", "--delay", "5"}).code,
        0);
    EXPECT_EQ(device({"action", "add", "Office", "Night", "exit", "2", "0"}).code, 1);
    ASSERT_EQ(device({"action", "add", "Office", "Work", "enter", "12", "0", "--text", "/tmp/a b.txt"}).code,
              0);
    db = device({"db"}).out;
    // Exit, speaker, delay 5, status 1, enabled, level 4.
    EXPECT_EQ(lines(db, {"CStrAction:[", ",1,", ",2,", ",5,,,,1,0,4]"}), 7u) << db;
    EXPECT_NE(db.find(",0,/tmp/a b.txt,,,0,0,-1]"), std::string::npos) << db;

    // A known cell or area code moves to the new place: one row each.
    std::string homeId = placeId(device({"place", "add", "Home"}));
    for (const char* kind : {"cell", "lac"}) {
        ASSERT_EQ(device({kind, "assign", "1234", "Office"}).code, 0);
        ASSERT_EQ(device({kind, "assign", "1234", "Home"}).code, 0);
    }
    db = device({"db"}).out;
    EXPECT_EQ(count(db, ",1234,"), 2u) << db;
    EXPECT_NE(db.find(",1234," + homeId + "]"), std::string::npos) << db;
    EXPECT_NE(db.find(",1234," + homeId + ",,]"), std::string::npos) << db;

    ASSERT_EQ(device({"lock", "Office"}).code, 0);
    EXPECT_EQ(lockedProfile(), officeId + "\n");
    ASSERT_EQ(device({"unlock"}).code, 0);
    EXPECT_EQ(lockedProfile(), "0\n");
}

TEST_F(ProfileCommandsTest, ScenarioRunsItsStepsAndStopsAtTheFirstFailingOne) {
    startProgram();
    Result passed =
        device({"scenario", scenario("on.txt", R"(# Wi-Fi on, seen by the program, the phone and the log
place add 'Corner Shop'
force 0 1
expect app mgr0=1 within 5m
expect status wifi=on
expect log "Wi-Fi is now"   # the changed line of the manager
wait 1m
)")});
    ASSERT_EQ(passed.code, 0) << passed.out;
    EXPECT_NE(passed.out.find("[4] expect app mgr0=1 within 5m"), std::string::npos) << passed.out;
    EXPECT_NE(passed.out.find("6 steps passed"), std::string::npos) << passed.out;
    EXPECT_NE(device({"db"}).out.find(",Corner Shop,"), std::string::npos);

    Result failed = device({"scenario", scenario("off.txt", R"(force 0 0
expect app mgr0=0
expect app mgr0=1 within 30s
place add Never
)")});
    EXPECT_EQ(failed.code, 1) << failed.out;
    EXPECT_NE(failed.out.find("line 3: expect app mgr0=1 within 30s: not seen within 30s of phone time "
                              "(last seen: mgr0=0)"),
              std::string::npos)
        << failed.out;
    // A malformed line anywhere stops the file before its first step.
    Result malformed = device({"scenario", scenario("bad.txt", "place add Early\nwait soon\n")});
    EXPECT_EQ(malformed.code, 2) << malformed.out;
    EXPECT_NE(malformed.out.find("line 2"), std::string::npos) << malformed.out;
    std::string db = device({"db"}).out;
    EXPECT_EQ(db.find("Never"), std::string::npos);
    EXPECT_EQ(db.find("Early"), std::string::npos);
}

// Registry values are taken only as written: no blanks, no signs, nothing strtoull would bend.
TEST_F(ProfileCommandsTest, RegSetTakesOnlyPlainNumbersAndHex) {
    const std::string key = "HKLM\\SOFTWARE\\Test";
    struct Row {
        const char* type;
        const char* data;
        int code;
        const char* stored;  // what reg get shows afterwards, when taken
    };
    const Row rows[] = {
        {"dword", "5", 0, "5"},
        {"dword", "0x1F", 0, "31"},
        {"dword", "4294967295", 0, "4294967295"},
        {"dword", "-1", 2, nullptr},
        {"dword", "+5", 2, nullptr},
        {"dword", " 5", 2, nullptr},
        {"dword", "5 ", 2, nullptr},
        {"dword", "0x", 2, nullptr},
        {"dword", "0x-1", 2, nullptr},
        {"dword", "4294967296", 2, nullptr},
        {"dword", "", 2, nullptr},
        {"binary", "0a0B", 0, nullptr},
        {"binary", "+1", 2, nullptr},
        {"binary", " 1", 2, nullptr},
        {"binary", "-1", 2, nullptr},
        {"binary", "0g", 2, nullptr},
        {"binary", "0x1f", 2, nullptr},
    };
    for (const Row& row : rows) {
        Result r = device({"reg", "set", key, "v", row.type, row.data});
        EXPECT_EQ(r.code, row.code) << row.type << " '" << row.data << "': " << r.out;
        if (row.stored) {
            EXPECT_EQ(device({"reg", "get", key, "v"}).out, std::string(row.stored) + "\n") << row.data;
        }
    }
}

// A profile change is stored before the program is told of it; when the telling does not work
// the command has still done its job.
TEST_F(ProfileCommandsTest, AStoredChangeTheProgramCouldNotBeToldOfIsAWarning) {
    installHome();
    // Something answers on the program's socket but cannot read the tables again.
    platform::CControlServer refusing{platform::CHome(home)};
    refusing.on("dbchanged", [](const std::vector<std::string>&) -> std::string {
        throw platform::CControlServer::ControlError("the database is busy");
    });
    ASSERT_TRUE(refusing.start());
    Result r = device({"place", "add", "Cafe"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("warning"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("the database is busy"), std::string::npos) << r.out;
    r = device({"frame", "add", "Cafe", "mon", "08:00", "09:00"});
    EXPECT_EQ(r.code, 0) << r.out;
    refusing.stop();
    std::string db = device({"db"}).out;
    EXPECT_NE(db.find(",Cafe,"), std::string::npos) << db;
    EXPECT_NE(db.find("08:00-09:00"), std::string::npos) << db;
}

// force asks the manager which states it has; what it cannot carry out is a bad command (2) and
// changes nothing.
TEST_F(ProfileCommandsTest, ForceRefusesStatesAndTimesTheManagerCannotTake) {
    startProgram();
    ASSERT_EQ(value("mgr0"), "0");
    const std::vector<std::vector<std::string>> bad = {
        {"force", "0", "7"},
        {"force", "0", "-1"},
        {"force", "0", "1", "--minutes", "-5"},
        {"force", "0", "1", "--minutes", "1", "--restore", "3"},
        {"force", "0", "1", "--delay", "-1"},
        {"force", "0", "x"},
        {"force", "0", "99999999999"},
        {"force", "99", "1"},
        {"force", "0"},
        {"force", "0", "1", "--minutes"},
        {"force", "0", "1", "--hours", "1"},
        {"force", "3", "2"},
    };
    for (const auto& args : bad) {
        Result r = device(args);
        EXPECT_EQ(r.code, 2) << args[1] << " " << (args.size() > 2 ? args[2] : "") << ": " << r.out;
    }
    EXPECT_EQ(device({"force", "0", "10"}).code, 0);  // no change
    EXPECT_EQ(value("mgr0"), "0");
    EXPECT_EQ(count(device({"log"}).out, "Switching Wi-Fi"), 0u);
}

}  // namespace
