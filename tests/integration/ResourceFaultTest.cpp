// The real program on a home with a resource fault: a full disk under the program folder, a
// registry or database file replaced by garbage, a missing translation file, a home that cannot
// be entered. Each gives a clear message and loses no data.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <fstream>

#include "support/ProgramFixture.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// A small tmpfs over a folder, filled up, holding a copy of what the folder held; unmounted (and
// the folder's own content back in view) when it goes away.
class FullDisk {
  public:
    explicit FullDisk(const fs::path& folder) : _folder(folder) {
        const fs::path saved = folder.string() + ".saved";
        fs::copy(folder, saved, fs::copy_options::recursive);
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=8m") != 0) {
            return;
        }
        _mounted = true;
        fs::copy(saved, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        std::ofstream filler(folder / "filler", std::ios::binary);
        const std::string block(4096, '\0');
        while (filler.write(block.data(), block.size())) {
        }
    }
    ~FullDisk() {
        if (_mounted) {
            ::umount(_folder.c_str());
        }
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    bool mounted() const { return _mounted; }
    // The space back, the files as the program left them.
    void free() { fs::remove(_folder / "filler"); }

  private:
    fs::path _folder;
    bool _mounted = false;
};

class ResourceFaultTest : public ProgramFixture {
  protected:
    ResourceFaultTest() : ProgramFixture("400") {}
};

TEST_F(ResourceFaultTest, EachFaultGivesAClearMessageAndLosesNoData) {
    startProgram();
    program.reset();
    const fs::path template_home = base / "template";
    fs::remove_all(home / "run");
    ASSERT_EQ(device({"place", "add", "Mine"}).code, 0);
    const std::string rows = device({"db"}).out;
    fs::copy(home, template_home, fs::copy_options::recursive);
    const std::string garbage(8192, '\x5a');
    auto replaceByGarbage = [&](const fs::path& file) {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(file.string() + suffix);
        }
        std::ofstream(file, std::ios::binary) << garbage;
    };
    auto damagedAside = [&] {
        for (const auto& entry : fs::directory_iterator(home / "program")) {
            if (entry.path().filename().string().find(".damaged-") != std::string::npos) {
                return true;
            }
        }
        return false;
    };

    struct Row {
        const char* name;
        std::function<void()> fault;
        bool starts;          // the program comes up in spite of the fault
        const char* message;  // what its output says
        std::function<void()> check;
    };
    std::unique_ptr<FullDisk> full;
    const std::vector<Row> rows_ = {
        {"full disk under the program folder",
         [&] {
             full = std::make_unique<FullDisk>(home / "program");
             if (!full->mounted()) {
                 GTEST_SKIP() << "no tmpfs mount here";
             }
         },
         // The database's files are there (its write-ahead log is kept between runs): it opens,
         // and its first write is refused for want of space.
         false, "(ERROR_DISK_FULL)",
         [&] {
             // The database stays where it was, not taken for damaged, and holds the user's rows.
             EXPECT_FALSE(damagedAside());
             full->free();
             EXPECT_EQ(device({"db"}).out, rows);
             full.reset();
         }},
        {"registry replaced by garbage", [&] { replaceByGarbage(home / "registry.db"); }, false,
         "registry.db: file is not a database", [&] { EXPECT_EQ(Contents(home / "registry.db"), garbage); }},
        {"database replaced by garbage", [&] { replaceByGarbage(home / "program" / "comm_mgr.db"); }, true,
         "is damaged and cannot be opened. It was kept as",
         [&] {
             EXPECT_TRUE(damagedAside());
             EXPECT_EQ(count(device({"db"}).out, "CStrPlace:"), 7u);
         }},
        {"translation file missing", [&] { fs::remove(home / "program" / "traductions" / "en.xml"); }, true,
         "", [&] { EXPECT_EQ(device({"db"}).out, rows); }},
    };
    for (const Row& row : rows_) {
        SCOPED_TRACE(row.name);
        fs::remove_all(home);
        fs::copy(template_home, home, fs::copy_options::recursive);
        row.fault();
        if (IsSkipped()) {
            return;
        }
        program = std::make_unique<ChildProcess>(bin("zentrova"), std::vector<std::string>{}, env,
                                                 (base / "program.out").string());
        bool up = false;
        WaitUntil(
            [&] {
                up = value("initiated") == "1";
                return up || program->wait(std::chrono::milliseconds(0)) >= 0;
            },
            std::chrono::seconds(30));
        const std::string output = program->output();
        EXPECT_EQ(up, row.starts) << output;
        EXPECT_NE(output.find(row.message), std::string::npos) << output;
        program.reset();
        fs::remove_all(home / "run");
        row.check();
    }
}

}  // namespace

namespace {

// A home the user cannot enter: the program says which folder and why, and ends; the home is as
// it was once it can be entered again.
TEST_F(ResourceFaultTest, AHomeThatCannotBeEnteredIsNamedAndLeftAsItWas) {
    startProgram();
    program.reset();
    fs::remove_all(home / "run");
    const std::string rows = device({"db"}).out;
    std::string exe = bin("zentrova");
    std::vector<std::string> args;
    if (::geteuid() == 0) {
        // Root enters every folder: the program runs as nobody instead, for whom the home (root's
        // own, open to its owner only) is closed. The folder above it lets nobody pass through.
        if (!fs::exists("/usr/bin/setpriv")) {
            GTEST_SKIP() << "running as root without setpriv to run as another user";
        }
        // Nobody must reach the program and its libraries: a build inside a folder closed to
        // others (a clone made under `mktemp -d`) cannot be run as nobody at all.
        for (fs::path dir = fs::path(exe).parent_path(); dir != dir.root_path(); dir = dir.parent_path()) {
            if ((fs::status(dir).permissions() & fs::perms::others_exec) == fs::perms::none) {
                GTEST_SKIP() << dir << " is closed to other users, so nobody cannot run the program";
            }
        }
        fs::permissions(base, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        fs::permissions(home, fs::perms::owner_all);
        args = {"--reuid=65534", "--regid=65534", "--clear-groups", exe};
        exe = "/usr/bin/setpriv";
    } else {
        fs::permissions(home, fs::perms::none);
    }
    ChildProcess closed(exe, args, env, base / "closed.out");
    EXPECT_EQ(closed.wait(std::chrono::seconds(30)), 1) << closed.output();
    EXPECT_NE(closed.output().find(home.string() + ": folder is not writable: Permission denied"),
              std::string::npos)
        << closed.output();
    fs::permissions(home, fs::perms::owner_all);
    EXPECT_EQ(device({"db"}).out, rows);
}

}  // namespace
