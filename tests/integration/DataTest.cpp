// The device database with the real programs: the included places of a fresh start, the export
// command, and an import killed half-way.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <map>
#include <sstream>

#include "support/ProgramFixture.h"

namespace {

namespace fs = std::filesystem;

class DataTest : public ProgramFixture {
  protected:
    DataTest() : ProgramFixture("100") {}
    void start() {
        program = std::make_unique<ChildProcess>(bin("zentrova"), std::vector<std::string>{}, env,
                                                 (base / "program.out").string());
    }
    bool initiated() { return value("initiated") == "1"; }
};

TEST_F(DataTest, FreshStartCreatesTheIncludedPlacesAndTheExportCommandWritesThem) {
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    Result db = device({"db"});
    ASSERT_EQ(db.code, 0) << db.out;
    EXPECT_EQ(count(db.out, "CStrPlace:"), 7u) << db.out;  // the default place and six included ones
    EXPECT_EQ(count(db.out, "CStrPeriod:"), 49u);
    EXPECT_NE(db.out.find("place_hospital.png"), std::string::npos);
    // The speaker levels of the included actions (IntOp3, the last field); an action without a
    // level carries -1, never 0, which would mute the phone.
    std::map<int, int> levels;
    std::istringstream lines(db.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("CStrAction:", 0) == 0) {
            ++levels[std::stoi(line.substr(line.rfind(',') + 1))];
        }
    }
    EXPECT_EQ(levels, (std::map<int, int>{{-1, 7 * 13}, {3, 7}, {4, 14}, {100, 7}}));

    ASSERT_EQ(device({"command", "40060"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(home / "Zentrova.xml"); }));
    std::ifstream in(home / "Zentrova.xml");
    std::string xml((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(count(xml, "<place "), 7u);
    EXPECT_EQ(count(xml, "<schedule "), 49u);
}

TEST_F(DataTest, ImportCommandAsksRestartsAndTheNextStartImports) {
    env["ZENTROVA_BOX_ANSWER"] = "yes";
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    // Without an export file the command says so and nothing else happens.
    ASSERT_EQ(device({"command", "40059"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return program->output().find("Zentrova.xml") != std::string::npos; }));
    EXPECT_TRUE(program->running());

    ASSERT_EQ(device({"command", "40060"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(home / "Zentrova.xml"); }));
    ASSERT_EQ(device({"place", "add", "After the export"}).code, 0);
    ASSERT_EQ(device({"command", "40059"}).code, 0);
    EXPECT_EQ(program->wait(), 0);
    // The phone starts the program again; it imports the marked copy and removes it. The
    // export file stays, the user's copy.
    ASSERT_TRUE(WaitUntil([&] { return initiated() && !fs::exists(home / "Zentrova.xml.pending"); },
                          std::chrono::seconds(30)));
    EXPECT_TRUE(fs::exists(home / "Zentrova.xml"));
    std::string rows = device({"db"}).out;
    EXPECT_EQ(count(rows, "CStrPlace:"), 7u);
    EXPECT_EQ(rows.find("After the export"), std::string::npos);
    std::string app = device({"app"}).out;
    auto pid = std::stoi(app.substr(4, app.find('\n') - 4));
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return device({"app"}).code == 3; }));
}

TEST_F(DataTest, AnExportFileIsNotImportedByItselfAndABrokenOneCostsNoRestart) {
    env["ZENTROVA_BOX_ANSWER"] = "yes";
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    ASSERT_EQ(device({"command", "40060"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(home / "Zentrova.xml"); }));
    ASSERT_EQ(device({"place", "add", "After the export"}).code, 0);
    program.reset();
    fs::remove_all(home / "run");
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    EXPECT_NE(device({"db"}).out.find("After the export"), std::string::npos);
    EXPECT_TRUE(fs::exists(home / "Zentrova.xml"));

    // A file with a fault is reported by the import command at once: no question, no restart.
    std::ofstream(home / "Zentrova.xml")
        << "<Zentrova>\n<place name=\"x\">\n<schedule weekday=\"9\"/></place></Zentrova>";
    ASSERT_EQ(device({"command", "40059"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return program->output().find("line 3, <schedule>") != std::string::npos; }))
        << program->output();
    EXPECT_EQ(program->output().find("replaces all your current data"), std::string::npos);
    EXPECT_TRUE(program->running());
    EXPECT_FALSE(fs::exists(home / "Zentrova.xml.pending"));
}

TEST_F(DataTest, ADamagedDatabaseIsKeptAsideAndTheBackupOrANewOneTakesItsPlace) {
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    program.reset();
    fs::remove_all(home / "run");
    const fs::path program_dir = home / "program";
    const fs::path file = program_dir / "comm_mgr.db";
    ASSERT_EQ(device({"place", "add", "In the backup"}).code, 0);
    fs::copy_file(file, program_dir / "comm_mgr.bak");
    const std::string garbage(4096, '\x5a');
    auto damage = [&] {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(file.string() + suffix);
        }
        std::ofstream(file, std::ios::binary) << garbage;
    };
    auto aside = [&] {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(program_dir)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("comm_mgr.db.damaged-", 0) == 0 && !name.ends_with("-wal") &&
                !name.ends_with("-shm")) {
                found.push_back(entry.path());
            }
        }
        return found;
    };
    auto contents = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    damage();
    size_t filesBefore = std::distance(fs::directory_iterator(program_dir), fs::directory_iterator());

    // The tool says what is wrong and what to do, and changes nothing.
    Result db = device({"db"});
    EXPECT_NE(db.code, 0);
    EXPECT_NE(db.out.find(file.string() + ": the database file is damaged"), std::string::npos) << db.out;
    EXPECT_NE(db.out.find("comm_mgr.bak"), std::string::npos) << db.out;
    EXPECT_EQ(contents(file), garbage);
    EXPECT_EQ(std::distance(fs::directory_iterator(program_dir), fs::directory_iterator()),
              static_cast<ptrdiff_t>(filesBefore));

    // The program keeps the damaged file and, asked, restores the backup.
    env["ZENTROVA_BOX_ANSWER"] = "yes";
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    ASSERT_EQ(aside().size(), 1u);
    EXPECT_EQ(contents(aside()[0]), garbage);
    EXPECT_NE(program->output().find("It was kept as " + aside()[0].string()), std::string::npos)
        << program->output();
    EXPECT_NE(device({"db"}).out.find("In the backup"), std::string::npos);
    program.reset();
    fs::remove_all(home / "run");

    // Without a backup: a new database with the included places.
    fs::remove(program_dir / "comm_mgr.bak");
    damage();
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    EXPECT_EQ(aside().size(), 2u);
    db = device({"db"});
    EXPECT_EQ(count(db.out, "CStrPlace:"), 7u) << db.out;
    EXPECT_EQ(db.out.find("In the backup"), std::string::npos);
}

TEST_F(DataTest, AnImportKilledHalfWayLeavesTheOldDatabase) {
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    program.reset();
    // A large export: its import at the next start takes a while.
    {
        std::ofstream out(home / "Zentrova.xml.pending");
        out << "<Zentrova>";
        for (int i = 0; i < 20000; ++i) {
            out << "<place name=\"Imported " << i << "\"><cell id=\"" << 100000 + i
                << "\" latitude=\"\" longitude=\"\"/></place>";
        }
        out << "</Zentrova>";
    }
    start();
    fs::path building = home / "program" / "comm_mgr.db.import";
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(building); }, std::chrono::seconds(30)));
    ::kill(program->pid(), SIGKILL);
    program->wait();
    program.reset();
    fs::remove_all(home / "run");  // what a killed program leaves behind

    Result db = device({"db"});
    ASSERT_EQ(db.code, 0) << db.out;
    bool old = count(db.out, "CStrPlace:") == 7 && db.out.find("Imported") == std::string::npos;
    bool replaced = count(db.out, "Imported ") == 20000;
    EXPECT_TRUE(old || replaced) << db.out.substr(0, 2000);
    EXPECT_TRUE(old) << "the import was not interrupted: make the file larger";
}

}  // namespace
