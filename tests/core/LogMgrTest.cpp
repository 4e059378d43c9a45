#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CLogEvent.h"
#include "core/CLogMgr.h"
#include "core/ILogListener.h"
#include "core/Utf16.h"
#include "platform/sim/CSimClock.h"
#include "support/TempHome.h"

namespace {

using namespace std::chrono_literals;
using platform::RegRoot;
namespace fs = std::filesystem;

constexpr const char* kKey = CConfigurationZentrova::kKeyPath;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

SYSTEMTIME at(int y, int mo, int d, int h, int mi, int s) {
    SYSTEMTIME t;
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    return t;
}

CLogEvent* makeEvent(const std::string& resume, const std::string& description, int severity = 2,
                     SYSTEMTIME time = at(2008, 2, 14, 19, 4, 25)) {
    auto* event = new CLogEvent();
    event->SetSource(300);
    event->SetSeverity(severity);
    event->SetResume(resume);
    event->SetDescription(description);
    event->SetTime(time);
    return event;
}

class CountingListener : public ILogListener {
  public:
    void LogChanged(int count) override {
        std::lock_guard lock(m);
        counts.push_back(count);
        changed.notify_all();
    }
    std::vector<int> get() {
        std::lock_guard lock(m);
        return counts;
    }
    bool waitFor(size_t calls) {
        std::unique_lock lock(m);
        return changed.wait_for(lock, 5s, [&] { return counts.size() >= calls; });
    }
    std::mutex m;
    std::condition_variable changed;
    std::vector<int> counts;
};

// A home with the event-log settings, a configuration store serving them, and the phone's clock
// sped up so that the log's worker pauses cost next to nothing.
class LogMgrTest : public ::testing::Test {
  protected:
    LogMgrTest() {
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(50);
        fs::create_directories(programDir());
        setText("events_log_path", logPath().string());
        setNumber("events_log_file_max_size", 100);
        setNumber("events_log_write_to_file", 1);
        setNumber("events_log_items_screen", 50);
        setNumber("debug_info", 0);
    }
    ~LogMgrTest() override {
        CLogMgr::Destroy();
        config.reset();
    }

    void setNumber(const char* name, uint32_t value) {
        home.services().registry().setDword(RegRoot::LocalMachine, kKey, name, value);
    }
    void setText(const char* name, const std::string& value) {
        home.services().registry().setString(RegRoot::LocalMachine, kKey, name, value);
    }
    // Made after the settings are in place; GetInstance serves it from then on.
    CLogMgr* log() {
        if (!config) {
            config = std::make_unique<CConfigurationZentrova>();
        }
        return CLogMgr::GetInstance();
    }

    fs::path programDir() { return home.root() / "program"; }
    fs::path logPath() { return programDir() / "log.txt"; }
    fs::path backupPath() { return programDir() / "log.bak"; }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
};

TEST_F(LogMgrTest, TheFileLineIsUtf16LittleEndianWithoutByteOrderMark) {
    log()->LogAsync(makeEvent("R", "D", CLogEvent::SEVERITY_WARNING));
    std::string bytes = readFile(logPath());
    const char16_t expected[] = u"2008-02-14 19:04:25   WARNING. R. D.\r\n";
    std::string wanted;
    for (size_t i = 0; expected[i] != 0; ++i) {
        wanted += static_cast<char>(expected[i] & 0xFF);
        wanted += static_cast<char>(expected[i] >> 8);
    }
    EXPECT_EQ(bytes, wanted);
    EXPECT_EQ(log()->GetFileSize(), wanted.size());
}

// Translations mostly end with their own full stop; the line then has one, not two.
TEST_F(LogMgrTest, EveryPartOfALineEndsInExactlyOneFullStop) {
    struct Row {
        const char* resume;
        const char* description;
        const char* line;
    };
    const Row rows[] = {
        {"R", "D", "2008-02-14 19:04:25   INFO. R. D.\r\n"},
        {"Wi-Fi is now on.", "Wi-Fi changed from off to on.",
         "2008-02-14 19:04:25   INFO. Wi-Fi is now on. Wi-Fi changed from off to on.\r\n"},
        {"Start Office", "Started (1 action).",
         "2008-02-14 19:04:25   INFO. Start Office. Started (1 action).\r\n"},
        {"", "", "2008-02-14 19:04:25   INFO. . .\r\n"},
        {"Wait...", "????", "2008-02-14 19:04:25   INFO. Wait... ????.\r\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CLogMgr::FormatLine(*std::unique_ptr<CLogEvent>(makeEvent(row.resume, row.description))),
                  row.line);
    }
}

TEST_F(LogMgrTest, LinesAreAppendedToAnExistingFileAndNonAsciiTextIsKept) {
    std::ofstream(logPath(), std::ios::binary) << std::string("x\0", 2);
    log()->LogAsync(makeEvent("Año", "€", CLogEvent::SEVERITY_FATAL));
    std::string bytes = readFile(logPath());
    ASSERT_EQ(bytes.substr(0, 2), std::string("x\0", 2));
    EXPECT_EQ(Utf16LeToUtf8(bytes.substr(2)), "2008-02-14 19:04:25   FATAL. Año. €.\r\n");
    EXPECT_EQ(log()->GetFileSize(), bytes.size());
}

TEST_F(LogMgrTest, LogStampsThePhoneTimeAndTheCallingThread) {
    auto& clock = dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    clock.setLocalMillis(platform::sim::CSimClock::toMillis(at(2008, 2, 14, 19, 4, 25)));
    log();
    CLogMgr::Log(301, CLogEvent::SEVERITY_INFO, "start", "the frame started");
    auto events = log()->GetQueue();
    ASSERT_EQ(events.size(), 1u);
    const CLogEvent& e = events.front();
    EXPECT_EQ(e.GetSource(), 301);
    EXPECT_EQ(e.GetSeverity(), 2);
    EXPECT_EQ(e.GetResume(), "start");
    EXPECT_EQ(e.GetDescription(), "the frame started");
    EXPECT_EQ(e.GetThreadID(), WorkerThread::GetCurrentThreadId());
    EXPECT_EQ(e.GetTime().wYear, 2008);
    EXPECT_EQ(e.GetTime().wMonth, 2);
    EXPECT_EQ(e.GetTime().wDay, 14);
    EXPECT_EQ(e.GetTime().wHour, 19);
    std::string line = Utf16LeToUtf8(readFile(logPath()));
    EXPECT_EQ(line.substr(0, 17), "2008-02-14 19:04:");
    EXPECT_EQ(line.substr(19), "   INFO. start. the frame started.\r\n");
}

TEST_F(LogMgrTest, WithWritingOffTheFileStaysButTheListAndListenersChange) {
    CLogMgr* mgr = log();
    mgr->LogAsync(makeEvent("first", "written"));
    std::string before = readFile(logPath());
    ASSERT_FALSE(before.empty());
    CountingListener listener;
    mgr->AddLogListener(&listener);
    // The setting is read again for every event.
    config->SetLongParameter("events_log_write_to_file", 0);
    mgr->LogAsync(makeEvent("second", "not written"));
    EXPECT_EQ(readFile(logPath()), before);
    EXPECT_EQ(listener.get(), std::vector<int>{2});
    EXPECT_EQ(mgr->GetCount(), 2);
    config->SetLongParameter("events_log_write_to_file", 1);
    mgr->LogAsync(makeEvent("third", "written"));
    EXPECT_GT(readFile(logPath()).size(), before.size());
    mgr->RemoveLogListener(&listener);
}

TEST_F(LogMgrTest, TheFiftyFirstEventPushesOutTheOldest) {
    CLogMgr* mgr = log();
    EXPECT_EQ(mgr->GetMaxEvents(), 50);
    CountingListener listener;
    mgr->AddLogListener(&listener);
    for (int i = 1; i <= 51; ++i) {
        mgr->LogAsync(makeEvent("event " + std::to_string(i), ""));
    }
    auto counts = listener.get();
    ASSERT_EQ(counts.size(), 51u);
    EXPECT_EQ(counts[48], 49);
    EXPECT_EQ(counts[49], 50);
    EXPECT_EQ(counts[50], 50);
    auto events = mgr->GetQueue();
    ASSERT_EQ(events.size(), 50u);
    EXPECT_EQ(events.front().GetResume(), "event 2");
    EXPECT_EQ(events.back().GetResume(), "event 51");
    mgr->RemoveLogListener(&listener);
}

TEST_F(LogMgrTest, AMaximumOfZeroKeepsTheNewestEventOnly) {
    setNumber("events_log_items_screen", 0);
    CLogMgr* mgr = log();
    CountingListener listener;
    mgr->AddLogListener(&listener);
    mgr->LogAsync(makeEvent("a", ""));
    mgr->LogAsync(makeEvent("b", ""));
    EXPECT_EQ(listener.get(), (std::vector<int>{1, 1}));
    auto events = mgr->GetQueue();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().GetResume(), "b");
    mgr->RemoveLogListener(&listener);
}

TEST_F(LogMgrTest, AWriteThatWouldPassTheMaximumSizeMovesTheFileToItsBackupFirst) {
    setNumber("events_log_file_max_size", 1);
    std::ofstream(backupPath(), std::ios::binary) << "an older backup";
    CLogMgr* mgr = log();
    const size_t lineBytes =
        2 * CLogMgr::FormatLine(*std::unique_ptr<CLogEvent>(makeEvent("ab", "cd"))).size();
    const size_t fits = 1024 / lineBytes;
    for (size_t i = 0; i < fits; ++i) {
        mgr->LogAsync(makeEvent("ab", "cd"));
    }
    ASSERT_EQ(fs::file_size(logPath()), fits * lineBytes);
    std::string full = readFile(logPath());

    mgr->LogAsync(makeEvent("ab", "cd"));
    EXPECT_EQ(readFile(backupPath()), full);
    EXPECT_EQ(fs::file_size(logPath()), lineBytes);
    EXPECT_EQ(mgr->GetFileSize(), lineBytes);
    EXPECT_EQ(mgr->GetCount(), static_cast<int>(fits + 1));
    // A second rotation moves the second full file, not the first, to the backup.
    for (size_t i = 1; i < fits; ++i) {
        mgr->LogAsync(makeEvent("ab", "cd"));
    }
    std::string second = readFile(logPath());
    mgr->LogAsync(makeEvent("ab", "cd"));
    EXPECT_EQ(readFile(backupPath()), second);
    EXPECT_EQ(fs::file_size(logPath()), lineBytes);
}

// The log keeps its backup file open between rotations; whatever happened to the files in between,
// a rotation still leaves the full log as the backup and starts a new log with the event.
TEST_F(LogMgrTest, RotationFollowsWhatHappenedToTheFilesSinceTheLastOne) {
    setNumber("events_log_file_max_size", 1);
    CLogMgr* mgr = log();
    const size_t lineBytes =
        2 * CLogMgr::FormatLine(*std::unique_ptr<CLogEvent>(makeEvent("ab", "cd"))).size();
    struct Row {
        const char* what;
        std::function<void()> change;
        bool backupIsTheFullLog;  // false: the log was gone, so nothing moved to the backup
    };
    const Row rows[] = {
        {"nothing", [] {}, true},
        {"nothing again", [] {}, true},
        {"backup deleted", [&] { fs::remove(backupPath()); }, true},
        {"backup replaced by another file",
         [&] {
             std::ofstream(programDir() / "other", std::ios::binary) << "another file";
             fs::rename(programDir() / "other", backupPath());
         },
         true},
        {"backup rewritten in place", [&] { std::ofstream(backupPath(), std::ios::binary) << "rewritten"; },
         true},
        {"log deleted", [&] { fs::remove(logPath()); }, false},
        {"nothing after the log was deleted", [] {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        while (mgr->GetFileSize() + lineBytes <= 1024) {
            mgr->LogAsync(makeEvent("ab", "cd"));
        }
        const std::string full = readFile(logPath());
        row.change();
        mgr->LogAsync(makeEvent("ab", "cd"));
        if (row.backupIsTheFullLog) {
            EXPECT_EQ(readFile(backupPath()), full);
        } else {
            EXPECT_FALSE(fs::exists(backupPath()));
        }
        EXPECT_EQ(fs::file_size(logPath()), lineBytes);
        EXPECT_EQ(mgr->GetFileSize(), lineBytes);
    }
}

TEST_F(LogMgrTest, AnEmptyPathBecomesLogTxtInTheProgramFolderAndIsStoredBack) {
    setText("events_log_path", "");
    CLogMgr* mgr = log();
    std::string expected = (programDir() / "log.txt").string();
    EXPECT_EQ(mgr->GetLogPath(), expected);
    std::string stored;
    EXPECT_EQ(home.services().registry().getString(RegRoot::LocalMachine, kKey, "events_log_path", stored),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(stored, expected);
    // The file is opened (created) at construction, before any event.
    EXPECT_TRUE(fs::exists(expected));
}

TEST_F(LogMgrTest, ACutLineStillEndsWithCarriageReturnAndLineFeed) {
    log()->LogAsync(makeEvent(std::string(2000, 'x'), "never seen"));
    std::string line = Utf16LeToUtf8(readFile(logPath()));
    EXPECT_EQ(line.size(), CLogMgr::kLineChars);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_EQ(line.find("never seen"), std::string::npos);
    // Multi-byte characters are counted as characters and never split.
    std::string wide =
        CLogMgr::FormatLine(*std::unique_ptr<CLogEvent>(makeEvent(std::string(1500, 'a') + "€€€", "")));
    EXPECT_EQ(Utf16LeToUtf8(Utf8ToUtf16Le(wide)), wide);
    EXPECT_EQ(wide.substr(wide.size() - 2), "\r\n");
}

TEST_F(LogMgrTest, EmptyingAnEmptyListStillTellsTheListeners) {
    CLogMgr* mgr = log();
    CountingListener listener;
    mgr->AddLogListener(&listener);
    mgr->vaciar();
    EXPECT_EQ(listener.get(), std::vector<int>{0});
    mgr->LogAsync(makeEvent("a", ""));
    mgr->vaciar();
    EXPECT_EQ(listener.get(), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(mgr->GetCount(), 0);
    // The file is kept.
    EXPECT_FALSE(readFile(logPath()).empty());
    mgr->RemoveLogListener(&listener);
}

TEST_F(LogMgrTest, ListenersAreRemovedByFirstMatchAndAbsentOnesAreIgnored) {
    CLogMgr* mgr = log();
    CountingListener a, b;
    mgr->AddLogListener(&a);
    mgr->AddLogListener(&b);
    mgr->AddLogListener(&a);
    mgr->RemoveLogListener(&b);
    mgr->RemoveLogListener(&b);
    mgr->LogAsync(makeEvent("x", ""));
    EXPECT_EQ(a.get(), (std::vector<int>{1, 1}));
    EXPECT_TRUE(b.get().empty());
    mgr->RemoveLogListener(&a);
    mgr->LogAsync(makeEvent("y", ""));
    EXPECT_EQ(a.get().size(), 3u);
    mgr->RemoveLogListener(&a);
    mgr->LogAsync(makeEvent("z", ""));
    EXPECT_EQ(a.get().size(), 3u);
}

// Logs once from inside its own notification, and removes itself there.
class ReentrantListener : public ILogListener {
  public:
    explicit ReentrantListener(CLogMgr* mgr) : mgr(mgr) {}
    void LogChanged(int count) override {
        counts.push_back(count);
        if (counts.size() == 1) {
            CLogMgr::Log(300, 1, "from a listener", "");
        } else {
            mgr->RemoveLogListener(this);
        }
    }
    CLogMgr* mgr;
    std::vector<int> counts;
};

TEST_F(LogMgrTest, AListenerMayLogAndRemoveItselfFromItsNotification) {
    CLogMgr* mgr = log();
    ReentrantListener listener(mgr);
    mgr->AddLogListener(&listener);
    CLogMgr::Log(300, 2, "outer", "");
    EXPECT_EQ(listener.counts, (std::vector<int>{1, 2}));
    CLogMgr::Log(300, 2, "after", "");
    EXPECT_EQ(listener.counts.size(), 2u);
    EXPECT_EQ(mgr->GetCount(), 3);
}

// Blocks in its notification until released.
class SlowListener : public ILogListener {
  public:
    void LogChanged(int) override {
        std::unique_lock lock(m);
        inside = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
        inside = false;
    }
    std::mutex m;
    std::condition_variable changed;
    bool inside = false;
    bool release = false;
};

TEST_F(LogMgrTest, RemovingAListenerWaitsForItsCallOnAnotherThread) {
    CLogMgr* mgr = log();
    auto listener = std::make_unique<SlowListener>();
    mgr->AddLogListener(listener.get());
    std::thread logger([&] { CLogMgr::Log(300, 2, "slow", ""); });
    {
        std::unique_lock lock(listener->m);
        ASSERT_TRUE(listener->changed.wait_for(lock, 5s, [&] { return listener->inside; }));
    }
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        mgr->RemoveLogListener(listener.get());
        removed = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(removed.load());
    {
        std::lock_guard lock(listener->m);
        listener->release = true;
        listener->changed.notify_all();
    }
    remover.join();
    logger.join();
    EXPECT_TRUE(removed.load());
    listener.reset();  // safe now: no call is running
    CLogMgr::Log(300, 2, "after", "");
    EXPECT_EQ(mgr->GetCount(), 2);
}

TEST_F(LogMgrTest, TheWorkerStoresPostedEventsAndIgnoresOtherCommands) {
    CLogMgr* mgr = log();
    CountingListener listener;
    mgr->AddLogListener(&listener);
    ASSERT_TRUE(mgr->PostCommand(CLogMgr::kCommandLog, -1, makeEvent("posted", "")));
    ASSERT_TRUE(mgr->PostCommand(7, -1, nullptr));
    ASSERT_TRUE(listener.waitFor(1));
    auto events = mgr->GetQueue();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().GetResume(), "posted");
    mgr->RemoveLogListener(&listener);
}

TEST_F(LogMgrTest, DestroyStoresEventsStillQueuedForTheWorker) {
    CLogMgr* mgr = log();
    for (int i = 0; i < 5; ++i) {
        mgr->PostCommand(CLogMgr::kCommandLog, -1, makeEvent("queued " + std::to_string(i), ""));
    }
    CLogMgr::Destroy();
    std::string text = Utf16LeToUtf8(readFile(logPath()));
    EXPECT_NE(text.find("queued 4"), std::string::npos);
    // A new instance starts with an empty list and appends to the same file.
    EXPECT_EQ(log()->GetCount(), 0);
    EXPECT_EQ(log()->GetFileSize(), readFile(logPath()).size());
}

TEST_F(LogMgrTest, ConcurrentLoggersLoseNoLine) {
    CLogMgr* mgr = log();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 30; ++i) {
                CLogMgr::Log(t, 2, "thread " + std::to_string(t), std::to_string(i));
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(mgr->GetCount(), 50);
    std::string text = Utf16LeToUtf8(readFile(logPath()));
    size_t lines = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, 120u);
    EXPECT_EQ(mgr->GetFileSize(), readFile(logPath()).size());
}

TEST_F(LogMgrTest, AFileThatCannotBeOpenedLeavesTheListWorking) {
    setText("events_log_path", (home.root() / "no-such-folder" / "log.txt").string());
    CLogMgr* mgr = log();
    CountingListener listener;
    mgr->AddLogListener(&listener);
    CLogMgr::Log(300, 4, "still", "kept");
    EXPECT_EQ(mgr->GetCount(), 1);
    EXPECT_EQ(listener.get(), std::vector<int>{1});
    EXPECT_EQ(mgr->GetFileSize(), 0u);
    mgr->RemoveLogListener(&listener);
}

TEST(LogEventTest, SeverityNames) {
    const char* names[] = {"TRACE", "DEBUG", "INFO", "WARNING", "ERROR", "FATAL"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(szSeveridades[i], names[i]);
        EXPECT_STREQ(CLogMgr::SeverityName(i), names[i]);
    }
    CLogEvent e;
    e.SetSeverity(3);
    e.SetThreadID(77);
    CLogEvent copy = e;
    EXPECT_EQ(copy.GetSeverity(), 3);
    EXPECT_EQ(copy.GetThreadID(), 77u);
}

}  // namespace
