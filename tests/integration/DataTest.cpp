// The device database with the real programs: the included places of a fresh start, the export
// command, and an import killed half-way.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

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
    ASSERT_EQ(device({"command", "40059"}).code, 0);
    EXPECT_EQ(program->wait(), 0);
    // The phone starts the program again; it imports the file and removes it.
    ASSERT_TRUE(WaitUntil([&] { return initiated() && !fs::exists(home / "Zentrova.xml"); },
                          std::chrono::seconds(30)));
    EXPECT_EQ(count(device({"db"}).out, "CStrPlace:"), 7u);
    std::string app = device({"app"}).out;
    auto pid = std::stoi(app.substr(4, app.find('\n') - 4));
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return device({"app"}).code == 3; }));
}

TEST_F(DataTest, AnImportKilledHalfWayLeavesTheOldDatabase) {
    start();
    ASSERT_TRUE(WaitUntil([&] { return initiated(); }, std::chrono::seconds(30))) << program->output();
    program.reset();
    // A large export: its import at the next start takes a while.
    {
        std::ofstream out(home / "Zentrova.xml");
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
