#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/CMessageQueues.h"
#include "platform/CSqliteConnection.h"
#include "platform/CSqliteRegistry.h"
#include "platform/CSqliteStatement.h"
#include "platform/IClock.h"
#include "platform/PlatformError.h"

extern char** environ;

using namespace platform;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const RegRoot HKLM = RegRoot::LocalMachine;
const RegRoot HKCU = RegRoot::CurrentUser;

class TestClock : public IClock {
  public:
    SYSTEMTIME localTime() override { return {}; }
    int64_t localMillis() override { return 0; }
    uint32_t tickCount() override { return 0; }
    void sleep(uint32_t) override {}
    std::chrono::nanoseconds realDuration(uint32_t ms) override { return std::chrono::milliseconds(ms); }
    double speed() override { return 1.0; }
};

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zv-registry-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        _path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(_path, ec);
    }
    const std::filesystem::path& path() const { return _path; }

  private:
    std::filesystem::path _path;
};

// Polls `pred` for up to `limit`.
bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = 5000ms) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return pred();
}

// Runs a helper program of tests/bin and returns its exit status (-1 when it could not run).
int runHelper(const std::string& name, const std::vector<std::string>& args) {
    std::string program = std::string(ZENTROVA_TEST_HELPERS) + "/" + name;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Collects what a callback watch delivers. The callback shares the record, so a watch that is
// still open when the test ends does not write into a destroyed object.
struct Recorder {
    struct Record {
        std::mutex lock;
        std::vector<std::pair<HREGNOTIFY, RegValue>> calls;
    };
    std::shared_ptr<Record> record = std::make_shared<Record>();

    RegNotifyCallback callback() {
        return [r = record](HREGNOTIFY h, const RegValue& v) {
            std::lock_guard g(r->lock);
            r->calls.emplace_back(h, v);
        };
    }
    size_t count() {
        std::lock_guard g(record->lock);
        return record->calls.size();
    }
    std::pair<HREGNOTIFY, RegValue> at(size_t i) {
        std::lock_guard g(record->lock);
        return record->calls.at(i);
    }
};

std::string text(const RegValue& v) {
    return std::string(v.data.begin(), v.data.end());
}

std::vector<uint8_t> le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { reg = std::make_unique<platform::CSqliteRegistry>(file(), queues); }
    void TearDown() override { reg.reset(); }
    std::filesystem::path file() const { return dir.path() / "registry.db"; }
    void reopen() {
        reg.reset();
        reg = std::make_unique<platform::CSqliteRegistry>(file(), queues);
    }

    TempDir dir;
    TestClock clock;
    platform::CMessageQueues queues{clock};
    std::unique_ptr<platform::CSqliteRegistry> reg;
};

const std::string kKey = "\\SOFTWARE\\Tobren Ilsk\\Zentrova";

}  // namespace

// ---- values, keys and the file ----

TEST_F(RegistryTest, ValuesOfEachTypeRoundTrip) {
    EXPECT_EQ(reg->setDword(HKLM, kKey, "Count", 0xDEADBEEF), ERROR_SUCCESS);
    EXPECT_EQ(reg->setString(HKLM, kKey, "Name", "Zentrova \xC3\xA9t\xC3\xA9"), ERROR_SUCCESS);
    EXPECT_EQ(reg->setBinary(HKLM, kKey, "Blob", {0, 1, 2, 255}), ERROR_SUCCESS);
    EXPECT_EQ(reg->setBinary(HKLM, kKey, "Empty", {}), ERROR_SUCCESS);
    EXPECT_EQ(reg->setString(HKLM, kKey, "EmptyText", ""), ERROR_SUCCESS);

    uint32_t dw = 0;
    EXPECT_EQ(reg->getDword(HKLM, kKey, "Count", dw), ERROR_SUCCESS);
    EXPECT_EQ(dw, 0xDEADBEEFu);
    std::string s;
    EXPECT_EQ(reg->getString(HKLM, kKey, "Name", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "Zentrova \xC3\xA9t\xC3\xA9");
    std::vector<uint8_t> b;
    EXPECT_EQ(reg->getBinary(HKLM, kKey, "Blob", b), ERROR_SUCCESS);
    EXPECT_THAT(b, ElementsAre(0, 1, 2, 255));
    b = {9};
    EXPECT_EQ(reg->getBinary(HKLM, kKey, "Empty", b), ERROR_SUCCESS);
    EXPECT_TRUE(b.empty());
    s = "x";
    EXPECT_EQ(reg->getString(HKLM, kKey, "EmptyText", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "");

    RegValue v;
    EXPECT_EQ(reg->getValue(HKLM, kKey, "Count", v), ERROR_SUCCESS);
    EXPECT_EQ(v.type, RegType::Dword);
    EXPECT_EQ(v.data, le32(0xDEADBEEF));
    EXPECT_EQ(reg->getValue(HKLM, kKey, "Name", v), ERROR_SUCCESS);
    EXPECT_EQ(v.type, RegType::Sz);
    EXPECT_EQ(v.data.size(), 14u);  // UTF-8 without terminator

    // Overwriting may change the type.
    EXPECT_EQ(reg->setString(HKLM, kKey, "Count", "now a string"), ERROR_SUCCESS);
    EXPECT_EQ(reg->getString(HKLM, kKey, "Count", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "now a string");
}

TEST_F(RegistryTest, WrongTypeAndMissingValues) {
    ASSERT_EQ(reg->setDword(HKLM, kKey, "D", 1), ERROR_SUCCESS);
    ASSERT_EQ(reg->setString(HKLM, kKey, "S", "s"), ERROR_SUCCESS);
    ASSERT_EQ(reg->setBinary(HKLM, kKey, "B", {1}), ERROR_SUCCESS);
    ASSERT_EQ(reg->setValue(HKLM, kKey, "Short", RegValue{RegType::Dword, {1, 2, 3}}), ERROR_SUCCESS);

    uint32_t dw = 7;
    std::string s;
    std::vector<uint8_t> b;
    RegValue v;
    EXPECT_EQ(reg->getDword(HKLM, kKey, "S", dw), ERROR_INVALID_DATA);
    EXPECT_EQ(reg->getDword(HKLM, kKey, "B", dw), ERROR_INVALID_DATA);
    EXPECT_EQ(reg->getDword(HKLM, kKey, "Short", dw), ERROR_INVALID_DATA);
    EXPECT_EQ(dw, 7u);
    EXPECT_EQ(reg->getString(HKLM, kKey, "D", s), ERROR_INVALID_DATA);
    EXPECT_EQ(reg->getString(HKLM, kKey, "B", s), ERROR_INVALID_DATA);
    EXPECT_EQ(reg->getBinary(HKLM, kKey, "D", b), ERROR_INVALID_DATA);
    EXPECT_EQ(reg->getBinary(HKLM, kKey, "S", b), ERROR_INVALID_DATA);
    EXPECT_EQ(reg->getValue(HKLM, kKey, "Short", v), ERROR_SUCCESS);
    EXPECT_EQ(v.data.size(), 3u);

    EXPECT_EQ(reg->getDword(HKLM, kKey, "Nope", dw), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg->getString(HKLM, "SOFTWARE\\Nowhere", "S", s), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg->getValue(HKCU, kKey, "D", v), ERROR_FILE_NOT_FOUND);  // other root
    EXPECT_EQ(reg->deleteValue(HKLM, kKey, "Nope"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg->deleteValue(HKLM, kKey, "d"), ERROR_SUCCESS);
    EXPECT_EQ(reg->getDword(HKLM, kKey, "D", dw), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, KeysAndNamesIgnoreCaseAndOuterBackslashes) {
    ASSERT_EQ(reg->setDword(HKLM, "\\SOFTWARE\\Tobren Ilsk\\Zentrova", "LogLevel", 3), ERROR_SUCCESS);
    uint32_t dw = 0;
    EXPECT_EQ(reg->getDword(HKLM, "SOFTWARE\\Tobren Ilsk\\Zentrova", "LogLevel", dw), ERROR_SUCCESS);
    EXPECT_EQ(dw, 3u);
    EXPECT_EQ(reg->getDword(HKLM, "software\\TOBREN ILSK\\zentrova\\", "loglevel", dw), ERROR_SUCCESS);
    EXPECT_TRUE(reg->keyExists(HKLM, "SOFTWARE\\TOBREN ilsk"));
    EXPECT_TRUE(reg->keyExists(HKLM, "\\software\\"));

    // Writing through another case updates the same value and keeps the first case of its name.
    ASSERT_EQ(reg->setDword(HKLM, "software\\tobren ilsk\\zentrova", "LOGLEVEL", 5), ERROR_SUCCESS);
    EXPECT_EQ(reg->getDword(HKLM, kKey, "LogLevel", dw), ERROR_SUCCESS);
    EXPECT_EQ(dw, 5u);
    std::vector<std::string> names;
    EXPECT_EQ(reg->enumValues(HKLM, kKey, names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("LogLevel"));

    // Sub-keys keep the case they were created in.
    ASSERT_EQ(reg->createKey(HKLM, "SOFTWARE\\tobren ilsk\\Zentrova\\Profiles"), ERROR_SUCCESS);
    EXPECT_EQ(reg->enumSubKeys(HKLM, "SOFTWARE", names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("Tobren Ilsk"));
    EXPECT_EQ(reg->enumSubKeys(HKLM, kKey, names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("Profiles"));

    // Roots are separate.
    EXPECT_FALSE(reg->keyExists(HKCU, "SOFTWARE"));
}

TEST_F(RegistryTest, WritingAValueCreatesItsKeyAndParents) {
    EXPECT_FALSE(reg->keyExists(HKLM, "A"));
    ASSERT_EQ(reg->setString(HKLM, "A\\B\\C\\D", "v", "x"), ERROR_SUCCESS);
    EXPECT_TRUE(reg->keyExists(HKLM, "A"));
    EXPECT_TRUE(reg->keyExists(HKLM, "A\\B"));
    EXPECT_TRUE(reg->keyExists(HKLM, "A\\B\\C"));
    EXPECT_TRUE(reg->keyExists(HKLM, "A\\B\\C\\D"));
    EXPECT_FALSE(reg->keyExists(HKLM, "A\\B\\C\\D\\E"));
    std::vector<std::string> names;
    EXPECT_EQ(reg->enumSubKeys(HKLM, "", names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("A"));
    EXPECT_EQ(reg->createKey(HKLM, "A\\B\\X\\Y"), ERROR_SUCCESS);
    EXPECT_TRUE(reg->keyExists(HKLM, "A\\B\\X"));
    EXPECT_EQ(reg->createKey(HKLM, "A\\B\\X\\Y"), ERROR_SUCCESS);  // already there
}

TEST_F(RegistryTest, EnumerationListsDirectChildrenSortedWithoutCase) {
    ASSERT_EQ(reg->createKey(HKLM, "Root\\beta"), ERROR_SUCCESS);
    ASSERT_EQ(reg->createKey(HKLM, "Root\\Alpha\\Deep\\Deeper"), ERROR_SUCCESS);
    ASSERT_EQ(reg->createKey(HKLM, "Root\\Gamma"), ERROR_SUCCESS);
    ASSERT_EQ(reg->createKey(HKLM, "RootSibling\\Other"), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Root", "zeta", 1), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Root", "Eta", 1), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Root\\beta", "notMine", 1), ERROR_SUCCESS);

    std::vector<std::string> names;
    EXPECT_EQ(reg->enumSubKeys(HKLM, "Root", names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("Alpha", "beta", "Gamma"));
    EXPECT_EQ(reg->enumValues(HKLM, "root", names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("Eta", "zeta"));
    EXPECT_EQ(reg->enumSubKeys(HKLM, "Root\\Gamma", names), ERROR_SUCCESS);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(reg->enumValues(HKLM, "Root\\Gamma", names), ERROR_SUCCESS);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(reg->enumSubKeys(HKLM, "Root\\Missing", names), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg->enumValues(HKLM, "Root\\Missing", names), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DeleteKeyIsRecursiveAndLeavesNeighboursAlone) {
    ASSERT_EQ(reg->setDword(HKLM, "Top\\Victim", "v", 1), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Top\\Victim\\Child", "v", 2), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Top\\Victim\\Child\\Grandchild", "v", 3), ERROR_SUCCESS);
    // Names that sort right next to the victim's sub-tree.
    ASSERT_EQ(reg->setDword(HKLM, "Top\\Victim2", "v", 4), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Top\\Victim]", "v", 5), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Top\\Victim[", "v", 6), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, "Top\\Victi", "v", 7), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKCU, "Top\\Victim", "v", 8), ERROR_SUCCESS);

    EXPECT_EQ(reg->deleteKey(HKLM, "\\top\\VICTIM\\"), ERROR_SUCCESS);
    EXPECT_FALSE(reg->keyExists(HKLM, "Top\\Victim"));
    EXPECT_FALSE(reg->keyExists(HKLM, "Top\\Victim\\Child"));
    EXPECT_FALSE(reg->keyExists(HKLM, "Top\\Victim\\Child\\Grandchild"));
    uint32_t dw = 0;
    EXPECT_EQ(reg->getDword(HKLM, "Top\\Victim\\Child\\Grandchild", "v", dw), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg->getDword(HKLM, "Top\\Victim", "v", dw), ERROR_FILE_NOT_FOUND);
    for (auto [key, value] : std::vector<std::pair<std::string, uint32_t>>{
             {"Top\\Victim2", 4}, {"Top\\Victim]", 5}, {"Top\\Victim[", 6}, {"Top\\Victi", 7}}) {
        EXPECT_EQ(reg->getDword(HKLM, key, "v", dw), ERROR_SUCCESS) << key;
        EXPECT_EQ(dw, value) << key;
    }
    EXPECT_EQ(reg->getDword(HKCU, "Top\\Victim", "v", dw), ERROR_SUCCESS);
    std::vector<std::string> names;
    EXPECT_EQ(reg->enumSubKeys(HKLM, "Top", names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("Victi", "Victim2", "Victim[", "Victim]"));

    EXPECT_EQ(reg->deleteKey(HKLM, "Top\\Victim"), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(reg->deleteKey(HKLM, ""), ERROR_SUCCESS);
    EXPECT_TRUE(reg->keyExists(HKLM, "Top"));
}

TEST_F(RegistryTest, ValuesPersistAcrossReopening) {
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Kept", 42), ERROR_SUCCESS);
    ASSERT_EQ(reg->setString(HKCU, "ControlPanel\\Owner", "Name", "Ada"), ERROR_SUCCESS);
    ASSERT_EQ(reg->setBinary(HKLM, kKey, "Bytes", {1, 2, 3}), ERROR_SUCCESS);
    reopen();
    uint32_t dw = 0;
    EXPECT_EQ(reg->getDword(HKLM, kKey, "Kept", dw), ERROR_SUCCESS);
    EXPECT_EQ(dw, 42u);
    std::string s;
    EXPECT_EQ(reg->getString(HKCU, "controlpanel\\owner", "name", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "Ada");
    std::vector<uint8_t> b;
    EXPECT_EQ(reg->getBinary(HKLM, kKey, "Bytes", b), ERROR_SUCCESS);
    EXPECT_THAT(b, ElementsAre(1, 2, 3));

    // The file is in write-ahead-log mode.
    CSqliteConnection raw(file(), false);
    CSqliteStatement st(raw, "PRAGMA journal_mode");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnText(0), "wal");
}

TEST_F(RegistryTest, TwoObjectsOnOneFileSeeEachOthersWrites) {
    platform::CSqliteRegistry second(file(), queues);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Shared", 1), ERROR_SUCCESS);
    uint32_t dw = 0;
    EXPECT_EQ(second.getDword(HKLM, kKey, "Shared", dw), ERROR_SUCCESS);
    EXPECT_EQ(dw, 1u);
    ASSERT_EQ(second.setDword(HKLM, kKey, "Shared", 2), ERROR_SUCCESS);
    EXPECT_EQ(reg->getDword(HKLM, kKey, "Shared", dw), ERROR_SUCCESS);
    EXPECT_EQ(dw, 2u);
}

TEST(RegistryFile, GarbageFileThrowsNamingTheFile) {
    TempDir dir;
    TestClock clock;
    platform::CMessageQueues queues(clock);
    for (size_t length : {size_t(17), size_t(4096)}) {
        auto path = dir.path() / ("garbage-" + std::to_string(length) + ".db");
        {
            std::ofstream out(path, std::ios::binary);
            for (size_t i = 0; i < length; ++i) {
                out.put(static_cast<char>((i * 7919 + 13) % 251));
            }
        }
        try {
            platform::CSqliteRegistry reg(path, queues);
            FAIL() << "no error for " << path;
        } catch (const PlatformError& e) {
            EXPECT_THAT(e.what(), HasSubstr(path.string()));
            EXPECT_THAT(e.what(), HasSubstr("not a database"));
        }
        // The garbage is left as it was.
        EXPECT_EQ(std::filesystem::file_size(path), length);
    }
}

TEST(RegistryFile, DatabaseOfSomethingElseThrows) {
    TempDir dir;
    TestClock clock;
    platform::CMessageQueues queues(clock);
    auto path = dir.path() / "other.db";
    {
        CSqliteConnection other(path, true);
        other.exec("CREATE TABLE customers(id INTEGER PRIMARY KEY, name TEXT)");
    }
    try {
        platform::CSqliteRegistry reg(path, queues);
        FAIL() << "no error";
    } catch (const PlatformError& e) {
        EXPECT_THAT(e.what(), HasSubstr(path.string()));
        EXPECT_THAT(e.what(), HasSubstr("not a registry"));
    }
}

TEST(RegistryFile, MissingFolderThrowsNamingTheFile) {
    TempDir dir;
    TestClock clock;
    platform::CMessageQueues queues(clock);
    auto path = dir.path() / "no" / "such" / "folder" / "registry.db";
    try {
        platform::CSqliteRegistry reg(path, queues);
        FAIL() << "no error";
    } catch (const PlatformError& e) {
        EXPECT_THAT(e.what(), HasSubstr(path.string()));
    }
}

TEST(RegistryFile, UnreadableFileThrowsNamingTheFile) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    TempDir dir;
    TestClock clock;
    platform::CMessageQueues queues(clock);
    auto path = dir.path() / "locked.db";
    { platform::CSqliteRegistry reg(path, queues); }
    std::filesystem::permissions(path, std::filesystem::perms::none);
    try {
        platform::CSqliteRegistry reg(path, queues);
        FAIL() << "no error";
    } catch (const PlatformError& e) {
        EXPECT_THAT(e.what(), HasSubstr(path.string()));
    }
}

TEST(RegistryFile, ErrorsDuringUseAreResultCodes) {
    TempDir dir;
    TestClock clock;
    platform::CMessageQueues queues(clock);
    auto path = dir.path() / "registry.db";
    platform::CSqliteRegistry reg(path, queues);
    ASSERT_EQ(reg.setDword(HKLM, "K", "v", 1), ERROR_SUCCESS);
    // Someone takes the tables away under the registry's feet.
    {
        CSqliteConnection raw(path, false);
        raw.exec("DROP TABLE reg_values");
    }
    uint32_t dw = 0;
    std::vector<std::string> names;
    EXPECT_EQ(reg.getDword(HKLM, "K", "v", dw), ERROR_READ_FAULT);
    EXPECT_EQ(reg.setDword(HKLM, "K", "v", 2), ERROR_WRITE_FAULT);
    EXPECT_EQ(reg.deleteValue(HKLM, "K", "v"), ERROR_WRITE_FAULT);
    EXPECT_EQ(reg.enumValues(HKLM, "K", names), ERROR_READ_FAULT);
    EXPECT_EQ(reg.deleteKey(HKLM, "K"), ERROR_WRITE_FAULT);
    EXPECT_TRUE(reg.keyExists(HKLM, "K"));
}

TEST_F(RegistryTest, ManyThreadsAtOnce) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 100;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::string key = "Threads\\T" + std::to_string(t);
            for (int i = 0; i < kRounds; ++i) {
                if (reg->setDword(HKLM, key, "n", static_cast<uint32_t>(i)) != ERROR_SUCCESS) {
                    ++failures;
                }
                uint32_t dw = 0;
                if (reg->getDword(HKLM, key, "n", dw) != ERROR_SUCCESS || dw != static_cast<uint32_t>(i)) {
                    ++failures;
                }
                std::vector<std::string> names;
                if (reg->enumSubKeys(HKLM, "Threads", names) != ERROR_SUCCESS) {
                    ++failures;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures.load(), 0);
    std::vector<std::string> names;
    EXPECT_EQ(reg->enumSubKeys(HKLM, "Threads", names), ERROR_SUCCESS);
    EXPECT_EQ(names.size(), static_cast<size_t>(kThreads));
}

// ---- change notifications ----

TEST_F(RegistryTest, CallbackFiresOnlyForMaskedDwordBits) {
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Flags", 0), ERROR_SUCCESS);
    Recorder rec;
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "Flags", 0x1, rec.callback(), h), ERROR_SUCCESS);
    EXPECT_NE(h, 0u);

    ASSERT_EQ(reg->setDword(HKLM, kKey, "Flags", 0x2), ERROR_SUCCESS);  // outside the mask
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Flags", 0x6), ERROR_SUCCESS);  // outside the mask
    ASSERT_EQ(reg->setDword(HKLM, "software\\tobren ilsk\\zentrova", "flags", 0x7), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 1; }));
    std::this_thread::sleep_for(150ms);
    ASSERT_EQ(rec.count(), 1u);
    EXPECT_EQ(rec.at(0).first, h);
    EXPECT_EQ(rec.at(0).second.type, RegType::Dword);
    EXPECT_EQ(rec.at(0).second.data, le32(0x7));

    ASSERT_EQ(reg->setDword(HKLM, kKey, "Flags", 0x6), ERROR_SUCCESS);  // bit 0 cleared
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 2; }));
    EXPECT_EQ(rec.at(1).second.data, le32(0x6));
    EXPECT_EQ(reg->closeNotification(h), ERROR_SUCCESS);
}

TEST_F(RegistryTest, CallbackFiresOnCreationChangeAndDeletion) {
    Recorder rec;
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "Text", 0, rec.callback(), h), ERROR_SUCCESS);

    ASSERT_EQ(reg->setString(HKLM, kKey, "Text", "first"), ERROR_SUCCESS);  // created
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 1; }));
    EXPECT_EQ(rec.at(0).second.type, RegType::Sz);
    EXPECT_EQ(text(rec.at(0).second), "first");

    ASSERT_EQ(reg->setString(HKLM, kKey, "Text", "first"), ERROR_SUCCESS);  // same data: nothing
    ASSERT_EQ(reg->setString(HKLM, kKey, "Text", "second"), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 2; }));
    EXPECT_EQ(text(rec.at(1).second), "second");

    ASSERT_EQ(reg->deleteValue(HKLM, kKey, "TEXT"), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 3; }));
    EXPECT_TRUE(rec.at(2).second.data.empty());
    EXPECT_EQ(rec.at(2).second.type, RegType::None);

    // A DWORD watch with an empty mask still hears of creation and deletion.
    Recorder rec2;
    HREGNOTIFY h2 = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "D", 0, rec2.callback(), h2), ERROR_SUCCESS);
    EXPECT_NE(h2, h);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "D", 5), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return rec2.count() >= 1; }));
    ASSERT_EQ(reg->setDword(HKLM, kKey, "D", 6), ERROR_SUCCESS);
    // Deleting a parent key deletes the value.
    ASSERT_EQ(reg->deleteKey(HKLM, "SOFTWARE\\Tobren Ilsk"), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return rec2.count() >= 2; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rec2.count(), 2u);
    EXPECT_TRUE(rec2.at(1).second.data.empty());
    EXPECT_EQ(rec.count(), 3u);  // the string was gone already

    EXPECT_EQ(reg->closeNotification(h), ERROR_SUCCESS);
    EXPECT_EQ(reg->closeNotification(h2), ERROR_SUCCESS);
}

TEST_F(RegistryTest, QueueWatchWritesHandleAndData) {
    MsgQueueOptions options;
    auto q = queues.open("RegChanges", options);
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyToQueue(HKLM, kKey, "Level", 0xFFFFFFFF, "RegChanges", h), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Level", 0x01020304), ERROR_SUCCESS);

    uint8_t buf[64];
    size_t size = 0;
    ASSERT_EQ(q->read(buf, sizeof buf, size, 5000), ERROR_SUCCESS);
    ASSERT_EQ(size, 8u);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), le32(h));
    EXPECT_EQ(std::vector<uint8_t>(buf + 4, buf + 8), le32(0x01020304));

    ASSERT_EQ(reg->deleteValue(HKLM, kKey, "Level"), ERROR_SUCCESS);
    ASSERT_EQ(q->read(buf, sizeof buf, size, 5000), ERROR_SUCCESS);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), le32(h));

    EXPECT_EQ(reg->closeNotification(h), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Level", 9), ERROR_SUCCESS);
    EXPECT_EQ(q->read(buf, sizeof buf, size, 150), ERROR_TIMEOUT);
}

TEST_F(RegistryTest, QueueWatchWithoutAnOpenQueueIsSkipped) {
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyToQueue(HKLM, kKey, "Level", 0xFFFFFFFF, "NobodyListens", h), ERROR_SUCCESS);
    Recorder rec;
    HREGNOTIFY h2 = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "Level", 0xFFFFFFFF, rec.callback(), h2), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Level", 1), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 1; }));
    // A queue opened later gets later changes.
    auto q = queues.open("NobodyListens", {});
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Level", 2), ERROR_SUCCESS);
    uint8_t buf[16];
    size_t size = 0;
    ASSERT_EQ(q->read(buf, sizeof buf, size, 5000), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(buf + 4, buf + 8), le32(2));
    EXPECT_EQ(q->pending(), 0u);
}

TEST_F(RegistryTest, NothingIsDeliveredAfterClose) {
    Recorder rec;
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "V", 0xFFFFFFFF, rec.callback(), h), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "V", 1), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 1; }));
    // Changes queued but not yet delivered are dropped by the close as well.
    ASSERT_EQ(reg->setDword(HKLM, kKey, "V", 2), ERROR_SUCCESS);
    EXPECT_EQ(reg->closeNotification(h), ERROR_SUCCESS);
    size_t seen = rec.count();
    ASSERT_EQ(reg->setDword(HKLM, kKey, "V", 3), ERROR_SUCCESS);
    ASSERT_EQ(reg->deleteValue(HKLM, kKey, "V"), ERROR_SUCCESS);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(rec.count(), seen);
    EXPECT_LE(seen, 2u);

    EXPECT_EQ(reg->closeNotification(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg->closeNotification(0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg->closeNotification(12345), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, CloseWaitsForADeliveryInProgress) {
    std::atomic<bool> inCallback{false};
    std::atomic<bool> finished{false};
    std::atomic<int> calls{0};
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyCallback(
                  HKLM, kKey, "Slow", 0xFFFFFFFF,
                  [&](HREGNOTIFY, const RegValue&) {
                      ++calls;
                      inCallback = true;
                      std::this_thread::sleep_for(200ms);
                      finished = true;
                      inCallback = false;
                  },
                  h),
              ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Slow", 1), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return inCallback.load(); }));
    EXPECT_EQ(reg->closeNotification(h), ERROR_SUCCESS);
    EXPECT_TRUE(finished.load());
    EXPECT_FALSE(inCallback.load());
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Slow", 2), ERROR_SUCCESS);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls.load(), 1);
}

TEST_F(RegistryTest, CallbacksMayUseTheRegistryAndCloseWatches) {
    std::atomic<int> selfCalls{0};
    std::atomic<int> otherCalls{0};
    HREGNOTIFY self = 0;
    HREGNOTIFY other = 0;
    std::atomic<uint32_t> readBack{0};
    ASSERT_EQ(reg->notifyCallback(
                  HKLM, kKey, "Other", 0xFFFFFFFF, [&](HREGNOTIFY, const RegValue&) { ++otherCalls; }, other),
              ERROR_SUCCESS);
    ASSERT_EQ(reg->notifyCallback(
                  HKLM, kKey, "Self", 0xFFFFFFFF,
                  [&](HREGNOTIFY h, const RegValue&) {
                      ++selfCalls;
                      uint32_t dw = 0;
                      reg->getDword(HKLM, kKey, "Self", dw);
                      readBack = dw;
                      reg->setDword(HKLM, kKey, "Echo", dw);
                      reg->closeNotification(other);
                      reg->closeNotification(h);
                  },
                  self),
              ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Self", 77), ERROR_SUCCESS);
    ASSERT_TRUE(waitUntil([&] { return selfCalls.load() >= 1; }));
    uint32_t echo = 0;
    ASSERT_TRUE(waitUntil([&] { return reg->getDword(HKLM, kKey, "Echo", echo) == ERROR_SUCCESS; }));
    EXPECT_EQ(echo, 77u);
    EXPECT_EQ(readBack.load(), 77u);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Self", 78), ERROR_SUCCESS);
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Other", 1), ERROR_SUCCESS);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(selfCalls.load(), 1);
    EXPECT_EQ(otherCalls.load(), 0);
    EXPECT_EQ(reg->closeNotification(self), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg->closeNotification(other), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, EveryChangeOfThisProcessIsDeliveredInOrder) {
    Recorder rec;
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "Seq", 0xFFFFFFFF, rec.callback(), h), ERROR_SUCCESS);
    for (uint32_t i = 1; i <= 50; ++i) {
        ASSERT_EQ(reg->setDword(HKLM, kKey, "Seq", i), ERROR_SUCCESS);
    }
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 50; }));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(rec.count(), 50u);
    for (uint32_t i = 0; i < 50; ++i) {
        EXPECT_EQ(rec.at(i).second.data, le32(i + 1));
    }
}

TEST_F(RegistryTest, DestroyingTheRegistryWithOpenWatchesIsClean) {
    Recorder rec;
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "X", 0xFFFFFFFF, rec.callback(), h), ERROR_SUCCESS);
    for (uint32_t i = 0; i < 20; ++i) {
        reg->setDword(HKLM, kKey, "X", i);
    }
    reg.reset();  // joins the notification thread
    size_t seen = rec.count();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rec.count(), seen);
}

// ---- other processes ----

TEST_F(RegistryTest, ChangeBySecondProcessReachesTheWatch) {
    ASSERT_EQ(reg->setDword(HKLM, kKey, "Remote", 1), ERROR_SUCCESS);
    Recorder rec;
    HREGNOTIFY h = 0;
    ASSERT_EQ(reg->notifyCallback(HKLM, kKey, "Remote", 0xFF, rec.callback(), h), ERROR_SUCCESS);
    auto q = queues.open("RemoteChanges", {});
    HREGNOTIFY hq = 0;
    ASSERT_EQ(reg->notifyToQueue(HKLM, kKey, "RemoteText", 0, "RemoteChanges", hq), ERROR_SUCCESS);

    // A change outside the mask does not count.
    ASSERT_EQ(runHelper("regwriter", {file().string(), "set-dword", kKey, "Remote", "0x101"}), 0);
    ASSERT_EQ(runHelper("regwriter",
                        {file().string(), "set-dword", "software\\tobren ilsk\\zentrova", "REMOTE", "0x102"}),
              0);
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 1; }));
    EXPECT_EQ(rec.at(0).first, h);
    EXPECT_EQ(rec.at(0).second.data, le32(0x102));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(rec.count(), 1u);

    ASSERT_EQ(runHelper("regwriter", {file().string(), "set-string", kKey, "RemoteText", "from afar"}), 0);
    uint8_t buf[64];
    size_t size = 0;
    ASSERT_EQ(q->read(buf, sizeof buf, size, 5000), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), le32(hq));
    EXPECT_EQ(std::string(buf + 4, buf + size), "from afar");

    ASSERT_EQ(runHelper("regwriter", {file().string(), "delete-value", kKey, "Remote"}), 0);
    ASSERT_TRUE(waitUntil([&] { return rec.count() >= 2; }));
    EXPECT_TRUE(rec.at(1).second.data.empty());

    uint32_t dw = 0;
    EXPECT_EQ(reg->getDword(HKLM, kKey, "Remote", dw), ERROR_FILE_NOT_FOUND);
    std::string s;
    EXPECT_EQ(reg->getString(HKLM, kKey, "RemoteText", s), ERROR_SUCCESS);
    EXPECT_EQ(s, "from afar");
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnce) {
    constexpr int kCount = 150;
    std::atomic<int> helperStatus{-100};
    std::thread other([&] {
        helperStatus =
            runHelper("regwriter", {file().string(), "hammer", "Hammer\\Other", std::to_string(kCount)});
    });
    int failures = 0;
    for (int i = 0; i < kCount; ++i) {
        if (reg->setDword(HKLM, "Hammer\\Mine", "p" + std::to_string(i), static_cast<uint32_t>(i)) !=
            ERROR_SUCCESS) {
            ++failures;
        }
    }
    other.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(helperStatus.load(), 0);
    std::vector<std::string> names;
    EXPECT_EQ(reg->enumValues(HKLM, "Hammer\\Other", names), ERROR_SUCCESS);
    EXPECT_EQ(names.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(reg->enumValues(HKLM, "Hammer\\Mine", names), ERROR_SUCCESS);
    EXPECT_EQ(names.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(reg->enumSubKeys(HKLM, "Hammer", names), ERROR_SUCCESS);
    EXPECT_THAT(names, ElementsAre("Mine", "Other"));
}
