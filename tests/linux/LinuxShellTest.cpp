#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/CDBusThread.h"
#include "platform/linux/CLinuxShell.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

namespace {

using platform::lnx::CDBusThread;
using platform::lnx::CLinuxShell;
namespace p = platform;

// Puts a folder first on the PATH for a scope.
class ScopedPath {
  public:
    explicit ScopedPath(const std::filesystem::path& folder) {
        const char* old = std::getenv("PATH");
        _old = old ? old : "";
        ::setenv("PATH", (folder.string() + ":" + _old).c_str(), 1);
    }
    ~ScopedPath() { ::setenv("PATH", _old.c_str(), 1); }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

  private:
    std::string _old;
};

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The lines of `file`, sorted: openers started one after the other may write in either order.
std::vector<std::string> sortedLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::istringstream in(readAll(file));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A stand-in xdg-open that notes each file it is asked to open.
std::filesystem::path fakeOpener(const std::filesystem::path& folder, const std::filesystem::path& log) {
    std::filesystem::create_directories(folder);
    std::filesystem::path script = folder / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " << log.string() << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
}

// The portal of the desktop when it runs (and opens the file, or refuses it), else xdg-open.
TEST(LinuxShellTest, FilesOpenThroughThePortalOrXdgOpen) {
    TempHome home;
    PrivateBus bus(home.root() / "bus");
    if (!bus.why().empty()) {
        GTEST_SKIP() << bus.why();
    }
    const std::filesystem::path file = home.root() / "frame.kml";
    std::ofstream(file) << "<kml/>";
    const std::filesystem::path log = home.root() / "opened.txt";
    ScopedPath path(fakeOpener(home.root() / "bin", log).parent_path());
    bus.exportEnvironment();
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    CDBusThread thread;
    CLinuxShell shell(thread, home.services().registry());

    struct Row {
        const char* verb;
        std::string file;
        p::Result result;
    };
    const Row refused[] = {
        {"Edit", file.string(), p::ERROR_NOT_SUPPORTED},
        {"Open", (home.root() / "missing.kml").string(), p::ERROR_FILE_NOT_FOUND},
        {"Open", "", p::ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : refused) {
        EXPECT_EQ(shell.openFile(row.verb, row.file), row.result) << row.verb << " " << row.file;
    }

    // No portal on the bus: xdg-open takes the file, and a folder.
    ASSERT_EQ(shell.openFile("open", file.string()), p::ERROR_SUCCESS);
    ASSERT_EQ(shell.openFile("OPEN", home.root().string()), p::ERROR_SUCCESS);
    // The folder's name sorts before the file's, which lies in it.
    const std::vector<std::string> both = {home.root().string(), file.string()};
    ASSERT_TRUE(WaitUntil([&] { return sortedLines(log) == both; })) << readAll(log);

    // The portal runs: it gets the file, and xdg-open nothing more.
    const std::string templ =
        std::string(ZENTROVA_SOURCE_DIR) + "/tests/linux/templates/xdg_portal_openuri.py";
    ASSERT_TRUE(bus.startTemplate(templ, CLinuxShell::kPortal)) << bus.mockOutput();
    ASSERT_EQ(shell.openFile("Open", file.string()), p::ERROR_SUCCESS) << bus.mockOutput();
    QDBusMessage opened = thread.call(
        CDBusThread::Bus::Session, CLinuxShell::kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("GetOpened"));
    ASSERT_FALSE(opened.arguments().isEmpty()) << opened.errorMessage().toStdString();
    EXPECT_EQ(opened.arguments().at(0).toStringList(), QStringList{QString::fromStdString(file.string())});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(sortedLines(log), both) << readAll(log);
}

// A portal that has no program for the file: xdg-open is asked instead; without either the
// open fails.
TEST(LinuxShellTest, ARefusingPortalFallsBackToXdgOpen) {
    TempHome home;
    PrivateBus bus(home.root() / "bus");
    if (!bus.why().empty()) {
        GTEST_SKIP() << bus.why();
    }
    const std::string templ =
        std::string(ZENTROVA_SOURCE_DIR) + "/tests/linux/templates/xdg_portal_openuri.py";
    ASSERT_TRUE(bus.startTemplate(templ, CLinuxShell::kPortal, R"({"refuse": true})")) << bus.mockOutput();
    const std::filesystem::path file = home.root() / "song.wav";
    std::ofstream(file) << "RIFF";
    const std::filesystem::path log = home.root() / "opened.txt";
    bus.exportEnvironment();
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    CDBusThread thread;
    CLinuxShell shell(thread, home.services().registry());
    {
        ScopedPath path(fakeOpener(home.root() / "bin", log).parent_path());
        ASSERT_EQ(shell.openFile("Open", file.string()), p::ERROR_SUCCESS);
        ASSERT_TRUE(WaitUntil([&] { return readAll(log) == file.string() + "\n"; })) << readAll(log);
    }
    const char* oldPath = std::getenv("PATH");
    std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", (home.root() / "nowhere").c_str(), 1);
    EXPECT_EQ(shell.openFile("Open", file.string()), p::ERROR_GEN_FAILURE);
    ::setenv("PATH", saved.c_str(), 1);
}

TEST(LinuxShellTest, TheRingToneIsKeptWhereThePhoneKeepsIt) {
    TempHome home;
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    CDBusThread thread;
    CLinuxShell shell(thread, home.services().registry());
    const std::filesystem::path tone = home.root() / "ring.wav";
    std::ofstream(tone) << "RIFF";
    auto& registry = home.services().registry();
    EXPECT_EQ(shell.setRingTone((home.root() / "none.wav").string()), p::ERROR_FILE_NOT_FOUND);
    std::string stored;
    EXPECT_NE(registry.getString(p::RegRoot::CurrentUser, CLinuxShell::kRingToneKey,
                                 CLinuxShell::kRingToneSound, stored),
              p::ERROR_SUCCESS);
    ASSERT_EQ(shell.setRingTone(tone.string()), p::ERROR_SUCCESS);
    ASSERT_EQ(registry.getString(p::RegRoot::CurrentUser, CLinuxShell::kRingToneKey,
                                 CLinuxShell::kRingToneSound, stored),
              p::ERROR_SUCCESS);
    EXPECT_EQ(stored, tone.string());
}

TEST(LinuxShellTest, ProgramsAreFoundOnThePath) {
    TempHome home;
    fakeOpener(home.root() / "b", home.root() / "log");
    std::filesystem::create_directories(home.root() / "a" / "xdg-open");  // a folder of that name
    const std::string a = (home.root() / "a").string(), b = (home.root() / "b").string();
    struct Row {
        std::string path;
        std::string found;
    };
    const Row rows[] = {
        {b, b + "/xdg-open"},
        {a + ":" + b, b + "/xdg-open"},
        {"::" + b + ":", b + "/xdg-open"},
        {a, ""},
        {"", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CLinuxShell::findOnPath("xdg-open", row.path), row.found) << row.path;
    }
}

}  // namespace
