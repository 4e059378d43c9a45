// The real programs killed with SIGKILL at random points of an XML import, a restore of the
// database backup, a burst of profile writes and the event log's rotation. After every kill the
// home's SQLite files are intact, the device database holds the old or the new data and nothing
// in between, the registry reads, and the next start comes up with its pending notifications.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "support/ProgramFixture.h"

namespace {

namespace fs = std::filesystem;

const char* const kSettingsKey = "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova";
constexpr int kBurstPlaces = 12;

enum class Operation { Import, Restore, Writes, Rotation };
const char* Name(Operation op) {
    switch (op) {
        case Operation::Import:
            return "import";
        case Operation::Restore:
            return "restore";
        case Operation::Writes:
            return "writes";
        case Operation::Rotation:
            return "rotation";
    }
    return "?";
}

std::string IntegrityOf(const fs::path& file) {
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::string error = raw ? sqlite3_errmsg(raw) : "cannot open";
        sqlite3_close(raw);
        return error;
    }
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    sqlite3_stmt* rawStatement = nullptr;
    if (sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &rawStatement, nullptr) != SQLITE_OK) {
        return sqlite3_errmsg(db.get());
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(rawStatement, sqlite3_finalize);
    std::string result;
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        result += reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    }
    return result;
}

std::multiset<std::string> Lines(const std::string& text) {
    std::multiset<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.insert(line);
    }
    return lines;
}

// The rows of the device database in sorted order: a rebuilt database may list them in another one.
std::string Sorted(const std::string& text) {
    std::string out;
    for (const auto& line : Lines(text)) {
        out += line + "\n";
    }
    return out;
}

// The lines of `a` that `b` does not have, and the other way round.
std::string Difference(const std::string& a, const std::string& b) {
    auto left = Lines(a);
    auto right = Lines(b);
    std::string out;
    for (const auto& line : left) {
        if (!right.contains(line)) {
            out += "+ " + line + "\n";
        }
    }
    for (const auto& line : right) {
        if (!left.contains(line)) {
            out += "- " + line + "\n";
        }
    }
    return out.substr(0, 2000);
}

class CrashConsistencyTest : public ProgramFixture {
  protected:
    CrashConsistencyTest() : ProgramFixture("1000") {}

    // Runs `exe` with `args` on `trialHome` and kills it after `delay`; true when it was still
    // running then.
    bool RunAndKill(const std::string& exe, const std::vector<std::string>& args, const fs::path& trialHome,
                    std::map<std::string, std::string> extra, std::chrono::microseconds delay) {
        auto e = env;
        e["ZENTROVA_HOME"] = trialHome.string();
        for (auto& [k, v] : extra) {
            e[k] = v;
        }
        ChildProcess p(bin(exe), args, e, (base / "trial.out").string());
        std::this_thread::sleep_for(delay);
        bool wasRunning = p.running();
        if (p.pid() > 0) {
            ::kill(p.pid(), SIGKILL);
        }
        p.wait();
        fs::remove_all(trialHome / "run");  // what a killed program leaves behind
        return wasRunning;
    }

    Result deviceOn(const fs::path& trialHome, const std::vector<std::string>& args) {
        auto e = env;
        e["ZENTROVA_HOME"] = trialHome.string();
        ChildProcess p(bin("zentrova-device"), args, e, (base / "device.out").string());
        int code = p.wait();
        return {code, p.output()};
    }

    std::string dbOf(const fs::path& trialHome) {
        Result r = deviceOn(trialHome, {"db"});
        return r.code == 0 ? r.out : "FAILED " + r.out;
    }
};

TEST_F(CrashConsistencyTest, KilledAtRandomPointsLeavesOldOrNewDataAndStartsClean) {
    int trials = 50;
    if (const char* asked = std::getenv("ZENTROVA_CRASH_TRIALS")) {
        trials = std::max(4, std::atoi(asked));
    }
    unsigned seed = std::random_device{}();
    if (const char* asked = std::getenv("ZENTROVA_CRASH_SEED")) {
        seed = static_cast<unsigned>(std::strtoul(asked, nullptr, 10));
    }
    SCOPED_TRACE("seed " + std::to_string(seed) + " (ZENTROVA_CRASH_SEED repeats the run)");
    std::mt19937 random(seed);

    // The template: a home after a first start, with a backup of its database and a large export.
    startProgram();
    const std::string notificationsBefore = device({"notifications"}).out;
    program.reset();
    fs::remove_all(home / "run");
    ASSERT_EQ(device({"reg", "set", kSettingsKey, "events_log_file_max_size", "dword", "1"}).code, 0);
    const std::string oldRows = device({"db"}).out;
    ASSERT_EQ(count(oldRows, "CStrPlace:"), 7u);
    {
        std::ofstream out(base / "export.xml");
        out << "<Zentrova>";
        for (int i = 0; i < 3000; ++i) {
            out << "<place name=\"Imported " << i << "\"><cell id=\"" << 100000 + i
                << "\" latitude=\"\" longitude=\"\"/></place>";
        }
        out << "</Zentrova>";
    }
    {
        std::ofstream out(base / "burst.scenario");
        for (int i = 0; i < kBurstPlaces; ++i) {
            out << "place add 'Burst " << i << "'\n";
            out << "frame add 'Burst " << i << "' all 08:00 09:00 --name F\n";
            out << "action add 'Burst " << i << "' F enter 1 1\n";
        }
    }
    const fs::path templ = base / "template";
    fs::copy(home, templ, fs::copy_options::recursive);

    // The new data of each operation: the same run left to finish.
    auto prepare = [&](Operation op, const fs::path& trialHome) {
        fs::remove_all(trialHome);
        fs::copy(templ, trialHome, fs::copy_options::recursive);
        const fs::path program_dir = trialHome / "program";
        switch (op) {
            case Operation::Import:
                fs::copy_file(base / "export.xml", trialHome / "Zentrova.xml.pending");
                break;
            case Operation::Restore: {
                deviceOn(trialHome, {"place", "add", "In the backup"});
                fs::copy_file(program_dir / "comm_mgr.db", program_dir / "comm_mgr.bak",
                              fs::copy_options::overwrite_existing);
                for (const char* suffix : {"", "-wal", "-shm"}) {
                    fs::remove(program_dir / (std::string("comm_mgr.db") + suffix));
                }
                std::ofstream(program_dir / "comm_mgr.db", std::ios::binary) << std::string(8192, '\x5a');
                break;
            }
            case Operation::Writes:
            case Operation::Rotation:
                break;
        }
    };
    auto launch = [&](Operation op, const fs::path& trialHome, std::chrono::microseconds delay) {
        if (op == Operation::Writes) {
            return RunAndKill("zentrova-device", {"scenario", (base / "burst.scenario").string()}, trialHome,
                              {}, delay);
        }
        return RunAndKill("zentrova", {}, trialHome, {{"ZENTROVA_BOX_ANSWER", "yes"}}, delay);
    };
    const std::vector<Operation> ops = {Operation::Import, Operation::Restore, Operation::Writes,
                                        Operation::Rotation};
    std::map<Operation, std::string> newRows;
    std::map<Operation, std::chrono::microseconds> span;
    const fs::path trialHome = base / "trial";
    for (Operation op : ops) {
        prepare(op, trialHome);
        auto begin = std::chrono::steady_clock::now();
        if (op == Operation::Writes) {
            Result r = deviceOn(trialHome, {"scenario", (base / "burst.scenario").string()});
            ASSERT_EQ(r.code, 0) << r.out;
        } else {
            // Let it run until it has started up; that is the whole operation.
            auto e = env;
            e["ZENTROVA_HOME"] = trialHome.string();
            e["ZENTROVA_BOX_ANSWER"] = "yes";
            ChildProcess p(bin("zentrova"), {}, e, (base / "trial.out").string());
            ASSERT_TRUE(WaitUntil(
                [&] { return deviceOn(trialHome, {"app"}).out.find("initiated=1") != std::string::npos; },
                std::chrono::seconds(30)))
                << Name(op) << ": " << p.output();
        }
        span[op] =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);
        fs::remove_all(trialHome / "run");
        newRows[op] = dbOf(trialHome);
    }
    ASSERT_EQ(count(newRows[Operation::Import], "Imported "), 3000u);
    ASSERT_NE(newRows[Operation::Restore].find("In the backup"), std::string::npos);
    ASSERT_EQ(count(newRows[Operation::Writes], "CStrPlace:"), 7u + kBurstPlaces);

    std::map<std::string, int> killPoints;  // operation and the share of its run at the kill
    int passed = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const Operation op = ops[trial % ops.size()];
        std::uniform_int_distribution<long> pick(0, span[op].count());
        const std::chrono::microseconds delay(pick(random));
        const int share = static_cast<int>(100 * delay.count() / std::max<long>(1, span[op].count()));
        SCOPED_TRACE(std::string("trial ") + std::to_string(trial) + ", " + Name(op) + " killed after " +
                     std::to_string(delay.count()) + " us (" + std::to_string(share) + "% of its run)");
        prepare(op, trialHome);
        std::string before = op == Operation::Restore ? "" : dbOf(trialHome);
        bool killed = launch(op, trialHome, delay);
        ++killPoints[std::string(Name(op)) + (killed ? " " + std::to_string(share / 25 * 25) + "-" +
                                                           std::to_string(share / 25 * 25 + 25) + "%"
                                                     : " after it ended")];

        bool ok = true;
        for (const auto& entry : fs::recursive_directory_iterator(trialHome)) {
            const std::string name = entry.path().filename().string();
            // The restore's damaged file, when the kill came before the program put it aside.
            if (entry.is_regular_file() && name.ends_with(".db") &&
                !(op == Operation::Restore && name == "comm_mgr.db" && fs::file_size(entry.path()) == 8192 &&
                  IntegrityOf(entry.path()) == "file is not a database")) {
                const std::string integrity = IntegrityOf(entry.path());
                EXPECT_EQ(integrity, "ok") << entry.path();
                ok = ok && integrity == "ok";
            }
        }
        const std::string after = dbOf(trialHome);
        switch (op) {
            case Operation::Import:
            case Operation::Rotation: {
                bool same = Sorted(after) == Sorted(before) || Sorted(after) == Sorted(newRows[op]);
                EXPECT_TRUE(same) << "differs from the old rows in:\n"
                                  << Difference(after, before) << "from the new rows in:\n"
                                  << Difference(after, newRows[op]);
                ok = ok && same;
                break;
            }
            case Operation::Restore: {
                // The damaged file still in place (the tool refuses it), or the backup restored.
                bool oldOne = after.rfind("FAILED", 0) == 0 && after.find("damaged") != std::string::npos;
                bool same = oldOne || Sorted(after) == Sorted(newRows[op]);
                EXPECT_TRUE(same) << after.substr(0, 1000);
                ok = ok && same;
                break;
            }
            case Operation::Writes: {
                // Each step is its own change: the old rows, then whole places in their order.
                auto rows = Lines(after);
                auto all = Lines(newRows[op]);
                bool subset = std::includes(all.begin(), all.end(), rows.begin(), rows.end());
                auto oldLines = Lines(before);
                bool keepsOld = std::includes(rows.begin(), rows.end(), oldLines.begin(), oldLines.end());
                bool prefix = true;
                for (int i = 1; i < kBurstPlaces; ++i) {
                    if (after.find("Burst " + std::to_string(i) + ",") != std::string::npos &&
                        after.find("Burst " + std::to_string(i - 1) + ",") == std::string::npos) {
                        prefix = false;
                    }
                }
                EXPECT_TRUE(subset && keepsOld && prefix) << after.substr(0, 2000);
                ok = ok && subset && keepsOld && prefix;
                break;
            }
        }
        // The event log reads, and a rotation cut short leaves the log or its backup, never neither.
        Result log = deviceOn(trialHome, {"log"});
        const bool logKept =
            fs::exists(trialHome / "program" / "log.txt") || fs::exists(trialHome / "program" / "log.bak");
        EXPECT_TRUE(log.code == 0 && logKept) << log.out.substr(0, 500);
        ok = ok && log.code == 0 && logKept;
        Result reg = deviceOn(trialHome, {"reg", "get", kSettingsKey, "events_log_file_max_size"});
        EXPECT_EQ(reg.code, 0) << reg.out;
        ok = ok && reg.code == 0;

        // The next start: clean, and the phone still holds the program's pending notifications.
        {
            auto e = env;
            e["ZENTROVA_HOME"] = trialHome.string();
            e["ZENTROVA_BOX_ANSWER"] = "yes";
            ChildProcess next(bin("zentrova"), {}, e, (base / "next.out").string());
            bool up = WaitUntil(
                [&] { return deviceOn(trialHome, {"app"}).out.find("initiated=1") != std::string::npos; },
                std::chrono::seconds(30));
            EXPECT_TRUE(up) << next.output();
            const std::string notifications = deviceOn(trialHome, {"notifications"}).out;
            EXPECT_EQ(count(notifications, "\n"), count(notificationsBefore, "\n")) << notifications;
            ok = ok && up && count(notifications, "\n") == count(notificationsBefore, "\n");
        }
        fs::remove_all(trialHome / "run");
        passed += ok ? 1 : 0;
        if (!ok) {
            ADD_FAILURE() << "seed " << seed;
        }
    }
    std::ostringstream report;
    for (const auto& [point, n] : killPoints) {
        report << "  " << point << ": " << n << "\n";
    }
    std::printf("crash trials passed: %d of %d (seed %u)\nkill points:\n%s", passed, trials, seed,
                report.str().c_str());
    EXPECT_EQ(passed, trials);
}

}  // namespace
