#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/CSqliteConnection.h"
#include "platform/CSqliteDatabaseVolume.h"
#include "platform/CSqliteStatement.h"
#include "platform/sim/CSimClock.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

constexpr CEPROPID kId = MakePropId(1, CEVT_AUTO_I4);
constexpr CEPROPID kName = MakePropId(2, CEVT_LPWSTR);
constexpr CEPROPID kCount = MakePropId(3, CEVT_I4);
constexpr CEPROPID kWhen = MakePropId(4, CEVT_FILETIME);
constexpr CEPROPID kLater = MakePropId(5, CEVT_I4);

CeDatabaseInfo placesInfo() {
    CeDatabaseInfo info;
    info.name = "places";
    info.type = 1911;
    info.sortKey = kId;
    info.props = {{kName, "SYM", 0},
                  {kCount, "Count", CEDB_PROPNOTNULL},
                  {kWhen, "When", 0},
                  {kId, "ID", CEDB_PROPNOTNULL}};
    return info;
}

class DatabaseVolumeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zv-volume-XXXXXX";
        _dir = ::mkdtemp(tmpl);
        _file = _dir / "comm_mgr.db";
        ASSERT_EQ(_volumes.mount(_file, _vol), ERROR_SUCCESS);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(_dir, ec);
    }

    CeDbHandle createAndOpen(CEOID* dbOid = nullptr) {
        CEOID created = 0;
        EXPECT_EQ(_volumes.createDatabase(_vol, placesInfo(), created), ERROR_SUCCESS);
        CeDbHandle h = 0;
        CEOID opened = 0;
        EXPECT_EQ(_volumes.openDatabase(_vol, "places", kId, h, opened), ERROR_SUCCESS);
        EXPECT_EQ(opened, created);
        if (dbOid) {
            *dbOid = created;
        }
        return h;
    }

    CEOID add(CeDbHandle h, const std::string& name, int32_t count) {
        CEOID oid = 0;
        EXPECT_EQ(
            _volumes.writeRecord(h, 0, {CePropVal::text(kName, name), CePropVal::i4(kCount, count)}, oid),
            ERROR_SUCCESS);
        return oid;
    }

    int32_t keyOf(CeDbHandle h, CEOID oid) {
        std::vector<CePropVal> values;
        EXPECT_EQ(_volumes.readRecord(h, oid, {kId}, values), ERROR_SUCCESS);
        return values.empty() ? -1 : values[0].asI4();
    }

    fs::path _dir;
    fs::path _file;
    platform::CSqliteDatabaseVolume _volumes;
    CeVolumeId _vol = kInvalidVolume;
};

TEST_F(DatabaseVolumeTest, WritesReadsAndRewritesRecords) {
    CeDbHandle h = createAndOpen();
    CEOID oid = 0;
    ASSERT_EQ(_volumes.writeRecord(h, 0,
                                   {CePropVal::text(kName, "Casa ñ"), CePropVal::i4(kCount, -7),
                                    CePropVal::filetime(kWhen, 0x01D9ABCDEF012345ull)},
                                   oid),
              ERROR_SUCCESS);
    EXPECT_NE(oid, 0u);

    std::vector<CePropVal> values;
    ASSERT_EQ(_volumes.readRecord(h, oid, {}, values), ERROR_SUCCESS);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0].asText(), "Casa ñ");
    EXPECT_EQ(values[1].asI4(), -7);
    EXPECT_EQ(values[2].asFiletime(), 0x01D9ABCDEF012345ull);
    EXPECT_EQ(values[3].asI4(), 1);

    // Rewriting changes only the given properties; a null value removes one.
    CEOID same = 0;
    ASSERT_EQ(_volumes.writeRecord(h, oid, {CePropVal::i4(kCount, 9), CePropVal{kWhen, {}}}, same),
              ERROR_SUCCESS);
    EXPECT_EQ(same, oid);
    ASSERT_EQ(_volumes.readRecord(h, oid, {kName, kCount, kWhen}, values), ERROR_SUCCESS);
    EXPECT_EQ(values[0].asText(), "Casa ñ");
    EXPECT_EQ(values[1].asI4(), 9);
    EXPECT_TRUE(values[2].isNull());
}

TEST_F(DatabaseVolumeTest, RefusesBadWrites) {
    CeDbHandle h = createAndOpen();
    CEOID oid = 0;
    // Wrong type, unknown property, missing not-null property of a new record.
    EXPECT_EQ(_volumes.writeRecord(h, 0, {CePropVal::i4(kName, 1), CePropVal::i4(kCount, 1)}, oid),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(_volumes.writeRecord(h, 0, {CePropVal::i4(kLater, 1), CePropVal::i4(kCount, 1)}, oid),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(_volumes.writeRecord(h, 0, {CePropVal::text(kName, "x")}, oid), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(_volumes.writeRecord(h, 12345, {CePropVal::i4(kCount, 1)}, oid), ERROR_KEY_DELETED);
    EXPECT_EQ(_volumes.writeRecord(999, 0, {CePropVal::i4(kCount, 1)}, oid), ERROR_INVALID_HANDLE);
    uint32_t count = 99;
    ASSERT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);
    EXPECT_EQ(count, 0u);
}

TEST_F(DatabaseVolumeTest, AutoNumbersAreNeverReusedAndExplicitKeysAreUnique) {
    CeDbHandle h = createAndOpen();
    CEOID a = add(h, "a", 0);
    CEOID b = add(h, "b", 0);
    EXPECT_EQ(keyOf(h, a), 1);
    EXPECT_EQ(keyOf(h, b), 2);
    ASSERT_EQ(_volumes.deleteRecord(h, b), ERROR_SUCCESS);
    EXPECT_EQ(keyOf(h, add(h, "c", 0)), 3);

    // A key written explicitly is kept, must be unique, and moves the numbering past it.
    CEOID oid = 0;
    ASSERT_EQ(_volumes.writeRecord(h, 0, {CePropVal::i4(kId, 10), CePropVal::i4(kCount, 0)}, oid),
              ERROR_SUCCESS);
    EXPECT_EQ(keyOf(h, oid), 10);
    CEOID dup = 0;
    EXPECT_EQ(_volumes.writeRecord(h, 0, {CePropVal::i4(kId, 10), CePropVal::i4(kCount, 0)}, dup),
              ERROR_ALREADY_EXISTS);
    EXPECT_EQ(_volumes.writeRecord(h, a, {CePropVal::i4(kId, 10)}, dup), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(keyOf(h, a), 1);  // the failed rewrite left the record as it was
    EXPECT_EQ(keyOf(h, add(h, "d", 0)), 11);
}

TEST_F(DatabaseVolumeTest, SeeksInKeyOrderAndByValue) {
    CeDbHandle h = createAndOpen();
    CEOID oid = 0;
    std::vector<CEOID> byKey(4);
    for (int32_t key : {30, 10, 20}) {
        ASSERT_EQ(_volumes.writeRecord(h, 0, {CePropVal::i4(kId, key), CePropVal::i4(kCount, key / 10)}, oid),
                  ERROR_SUCCESS);
        byKey[key / 10] = oid;
    }
    CEOID found = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        ASSERT_EQ(_volumes.seekBeginning(h, i, found), ERROR_SUCCESS);
        EXPECT_EQ(found, byKey[i + 1]);
    }
    EXPECT_EQ(_volumes.seekBeginning(h, 3, found), ERROR_NO_MORE_ITEMS);

    ASSERT_EQ(_volumes.seekValueFirstEqual(h, CePropVal::i4(kId, 20), found), ERROR_SUCCESS);
    EXPECT_EQ(found, byKey[2]);
    ASSERT_EQ(_volumes.seekValueFirstEqual(h, CePropVal::i4(kCount, 3), found), ERROR_SUCCESS);
    EXPECT_EQ(found, byKey[3]);
    EXPECT_EQ(_volumes.seekValueFirstEqual(h, CePropVal::i4(kId, 99), found), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(_volumes.seekValueFirstEqual(h, CePropVal::text(kId, "20"), found), ERROR_INVALID_PARAMETER);

    std::vector<CEOID> ids;
    ASSERT_EQ(_volumes.recordIds(h, ids), ERROR_SUCCESS);
    EXPECT_EQ(ids, (std::vector<CEOID>{byKey[1], byKey[2], byKey[3]}));

    ASSERT_EQ(_volumes.deleteRecord(h, byKey[2]), ERROR_SUCCESS);
    EXPECT_EQ(_volumes.deleteRecord(h, byKey[2]), ERROR_KEY_DELETED);
    EXPECT_EQ(_volumes.deleteRecord(h, 0), ERROR_INVALID_PARAMETER);
    std::vector<CePropVal> values;
    EXPECT_EQ(_volumes.readRecord(h, byKey[2], {}, values), ERROR_KEY_DELETED);
    uint32_t count = 0;
    ASSERT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);
    EXPECT_EQ(count, 2u);
}

TEST_F(DatabaseVolumeTest, CreateAndOpenErrors) {
    CeDbHandle h = 0;
    CEOID oid = 0;
    EXPECT_EQ(_volumes.openDatabase(_vol, "places", kId, h, oid), ERROR_FILE_NOT_FOUND);
    createAndOpen();
    EXPECT_EQ(_volumes.createDatabase(_vol, placesInfo(), oid), ERROR_DUP_NAME);
    EXPECT_EQ(_volumes.openDatabase(_vol, "places", kCount, h, oid), ERROR_INVALID_PARAMETER);

    CeDatabaseInfo info = placesInfo();
    info.name = std::string(CEDB_MAXDBASENAMELEN + 1, 'x');
    EXPECT_EQ(_volumes.createDatabase(_vol, info, oid), ERROR_BAD_LENGTH);
    info.name = "other";
    info.props.push_back({kName, "again", 0});
    EXPECT_EQ(_volumes.createDatabase(_vol, info, oid), ERROR_ALREADY_EXISTS);
    info = placesInfo();
    info.name = "other";
    info.sortKey = kLater;
    EXPECT_EQ(_volumes.createDatabase(_vol, info, oid), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(_volumes.createDatabase(kInvalidVolume, placesInfo(), oid), ERROR_NOT_FOUND);
}

TEST_F(DatabaseVolumeTest, AddedPropertiesKeepStoredData) {
    CEOID db = 0;
    CeDbHandle h = createAndOpen(&db);
    CEOID oid = add(h, "old", 5);
    uint32_t props = 0;
    ASSERT_EQ(_volumes.propertyCount(h, props), ERROR_SUCCESS);
    EXPECT_EQ(props, 4u);
    ASSERT_EQ(_volumes.closeDatabase(h), ERROR_SUCCESS);

    ASSERT_EQ(_volumes.addProperties(_vol, db, {{kLater, "Later", CEDB_PROPNOTNULL}}), ERROR_SUCCESS);
    EXPECT_EQ(_volumes.addProperties(_vol, db, {{kLater, "Later", 0}}), ERROR_ALREADY_EXISTS);
    CEOID opened = 0;
    ASSERT_EQ(_volumes.openDatabase(_vol, "places", kId, h, opened), ERROR_SUCCESS);
    ASSERT_EQ(_volumes.propertyCount(h, props), ERROR_SUCCESS);
    EXPECT_EQ(props, 5u);

    std::vector<CePropVal> values;
    ASSERT_EQ(_volumes.readRecord(h, oid, {kName, kCount, kLater}, values), ERROR_SUCCESS);
    EXPECT_EQ(values[0].asText(), "old");
    EXPECT_EQ(values[1].asI4(), 5);
    EXPECT_TRUE(values[2].isNull());
    CEOID same = 0;
    ASSERT_EQ(_volumes.writeRecord(h, oid, {CePropVal::i4(kLater, 1)}, same), ERROR_SUCCESS);
    ASSERT_EQ(_volumes.readRecord(h, oid, {kLater}, values), ERROR_SUCCESS);
    EXPECT_EQ(values[0].asI4(), 1);
}

TEST_F(DatabaseVolumeTest, DataSurvivesUnmountAndHandlesEndWithIt) {
    CeDbHandle h = createAndOpen();
    CEOID oid = add(h, "kept", 3);
    // A second mount of the same file is the same volume and keeps it mounted.
    CeVolumeId again = kInvalidVolume;
    ASSERT_EQ(_volumes.mount(_file, again), ERROR_SUCCESS);
    EXPECT_EQ(again, _vol);
    ASSERT_EQ(_volumes.unmount(again), ERROR_SUCCESS);
    uint32_t count = 0;
    EXPECT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);

    ASSERT_EQ(_volumes.flush(_vol), ERROR_SUCCESS);
    ASSERT_EQ(_volumes.unmount(_vol), ERROR_SUCCESS);
    EXPECT_EQ(_volumes.recordCount(h, count), ERROR_INVALID_HANDLE);
    EXPECT_EQ(_volumes.unmount(_vol), ERROR_NOT_FOUND);

    // Another object (another process) sees the data, key numbering included.
    platform::CSqliteDatabaseVolume other;
    ASSERT_EQ(other.mount(_file, _vol), ERROR_SUCCESS);
    CEOID db = 0;
    ASSERT_EQ(other.openDatabase(_vol, "places", kId, h, db), ERROR_SUCCESS);
    std::vector<CePropVal> values;
    ASSERT_EQ(other.readRecord(h, oid, {kName, kCount, kId}, values), ERROR_SUCCESS);
    EXPECT_EQ(values[0].asText(), "kept");
    EXPECT_EQ(values[2].asI4(), 1);
    CEOID second = 0;
    ASSERT_EQ(other.writeRecord(h, 0, {CePropVal::i4(kCount, 0)}, second), ERROR_SUCCESS);
    ASSERT_EQ(other.readRecord(h, second, {kId}, values), ERROR_SUCCESS);
    EXPECT_EQ(values[0].asI4(), 2);
    EXPECT_NE(second, oid);
    EXPECT_NE(second, db);
    ASSERT_EQ(other.unmount(_vol), ERROR_SUCCESS);
}

TEST_F(DatabaseVolumeTest, FilesThatAreNotVolumesAreRefusedWithAReason) {
    fs::path text = _dir / "notes.db";
    std::ofstream(text) << "this is a text file, long enough to not look like an empty database at all\n";
    CeVolumeId v = kInvalidVolume;
    std::string why;
    EXPECT_EQ(_volumes.mount(text, v, &why), ERROR_BADDB);
    EXPECT_NE(why.find("notes.db"), std::string::npos) << why;
    EXPECT_EQ(v, kInvalidVolume);

    fs::path foreign = _dir / "foreign.db";
    {
        CSqliteConnection db(foreign, true);
        db.exec("CREATE TABLE t(x)");
    }
    EXPECT_EQ(_volumes.mount(foreign, v, &why), ERROR_BADDB);
    EXPECT_NE(why.find("not a database volume"), std::string::npos) << why;

    EXPECT_EQ(_volumes.mount(_dir / "missing" / "x.db", v, &why), ERROR_PATH_NOT_FOUND);
}

TEST_F(DatabaseVolumeTest, BatchesAreAllOrNothing) {
    CeDbHandle h = createAndOpen();
    CEOID kept = add(h, "kept", 1);

    // Given up: the rewrite, the new record and the new database are all undone.
    ASSERT_EQ(_volumes.beginBatch(_vol), ERROR_SUCCESS);
    CEOID same = 0;
    ASSERT_EQ(_volumes.writeRecord(h, kept, {CePropVal::i4(kCount, 2)}, same), ERROR_SUCCESS);
    add(h, "temporary", 0);
    CeDatabaseInfo info = placesInfo();
    info.name = "new";
    CEOID created = 0;
    ASSERT_EQ(_volumes.createDatabase(_vol, info, created), ERROR_SUCCESS);
    // A failed write inside the batch undoes only itself.
    CEOID dup = 0;
    EXPECT_EQ(_volumes.writeRecord(h, 0, {CePropVal::i4(kId, 1), CePropVal::i4(kCount, 0)}, dup),
              ERROR_ALREADY_EXISTS);
    uint32_t count = 0;
    ASSERT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(_volumes.endBatch(_vol, false), ERROR_SUCCESS);

    ASSERT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
    std::vector<CePropVal> values;
    ASSERT_EQ(_volumes.readRecord(h, kept, {kCount}, values), ERROR_SUCCESS);
    EXPECT_EQ(values[0].asI4(), 1);
    CeDbHandle other = 0;
    CEOID oid = 0;
    EXPECT_EQ(_volumes.openDatabase(_vol, "new", kId, other, oid), ERROR_FILE_NOT_FOUND);

    // Nested: an inner level that gives up makes the outer commit fail with nothing changed.
    ASSERT_EQ(_volumes.beginBatch(_vol), ERROR_SUCCESS);
    ASSERT_EQ(_volumes.beginBatch(_vol), ERROR_SUCCESS);
    add(h, "inner", 0);
    ASSERT_EQ(_volumes.endBatch(_vol, false), ERROR_SUCCESS);
    EXPECT_EQ(_volumes.endBatch(_vol, true), ERROR_INVALID_DATA);
    ASSERT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(_volumes.endBatch(_vol, true), ERROR_INVALID_PARAMETER);

    // Committed: kept, and numbering goes on from it.
    ASSERT_EQ(_volumes.beginBatch(_vol), ERROR_SUCCESS);
    CEOID added = add(h, "committed", 0);
    ASSERT_EQ(_volumes.endBatch(_vol, true), ERROR_SUCCESS);
    EXPECT_EQ(keyOf(h, added), keyOf(h, add(h, "after", 0)) - 1);
}

TEST_F(DatabaseVolumeTest, OtherThreadsWaitForABatchAndKeepTheirWrites) {
    CeDbHandle h = createAndOpen();
    ASSERT_EQ(_volumes.beginBatch(_vol), ERROR_SUCCESS);
    add(h, "undone", 0);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        CEOID oid = 0;
        EXPECT_EQ(
            _volumes.writeRecord(h, 0, {CePropVal::text(kName, "outside"), CePropVal::i4(kCount, 0)}, oid),
            ERROR_SUCCESS);
        written = true;
    });
    sim::CSimClock(_dir / "clock").sleep(50);
    EXPECT_FALSE(written);  // held back until the batch ends
    ASSERT_EQ(_volumes.endBatch(_vol, false), ERROR_SUCCESS);
    writer.join();
    EXPECT_TRUE(written);
    CEOID only = 0;
    ASSERT_EQ(_volumes.seekBeginning(h, 0, only), ERROR_SUCCESS);
    std::vector<CePropVal> values;
    ASSERT_EQ(_volumes.readRecord(h, only, {kName}, values), ERROR_SUCCESS);
    EXPECT_EQ(values[0].asText(), "outside");
    uint32_t count = 0;
    ASSERT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
}

TEST_F(DatabaseVolumeTest, SeveralThreadsAddRecordsWithoutLosingAny) {
    CeDbHandle h = createAndOpen();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            CeDbHandle own = 0;
            CEOID db = 0;
            ASSERT_EQ(_volumes.openDatabase(_vol, "places", kId, own, db), ERROR_SUCCESS);
            for (int i = 0; i < 25; ++i) {
                CEOID oid = 0;
                ASSERT_EQ(_volumes.writeRecord(own, 0, {CePropVal::i4(kCount, t)}, oid), ERROR_SUCCESS);
            }
            _volumes.closeDatabase(own);
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    uint32_t count = 0;
    ASSERT_EQ(_volumes.recordCount(h, count), ERROR_SUCCESS);
    EXPECT_EQ(count, 100u);
    CEOID last = 0;
    ASSERT_EQ(_volumes.seekBeginning(h, 99, last), ERROR_SUCCESS);
    EXPECT_EQ(keyOf(h, last), 100);
}

// A closed database keeps its write-ahead log file, so that the next opening does not create it
// again, but keeps it empty: a database file copied over the closed one (a restore, an import)
// must be read as it is, not with the old file's pages laid over it.
TEST_F(DatabaseVolumeTest, AClosedLogIsKeptEmptySoAFileCopiedOverIsReadAsItIs) {
    const fs::path file = _dir / "old.db";
    const fs::path copied = _dir / "new.db";
    auto fill = [](const fs::path& path, const std::string& text, int rows) {
        CSqliteConnection db(path, true);
        db.useWriteAheadLog();
        db.exec("CREATE TABLE t(x TEXT)");
        for (int i = 0; i < rows; ++i) {
            db.exec("INSERT INTO t VALUES('" + text + "')");
        }
    };
    fill(file, "old", 200);
    fill(copied, "new", 1);
    ASSERT_TRUE(fs::exists(fs::path(file.string() + "-wal")));
    EXPECT_EQ(fs::file_size(fs::path(file.string() + "-wal")), 0u);

    fs::copy_file(copied, file, fs::copy_options::overwrite_existing);
    CSqliteConnection db(file, false);
    CSqliteStatement rows(db, "SELECT x, count(*) FROM t GROUP BY x");
    ASSERT_TRUE(rows.step());
    EXPECT_EQ(rows.columnText(0), "new");
    EXPECT_EQ(rows.columnInt(1), 1);
    EXPECT_FALSE(rows.step());
    CSqliteStatement check(db, "PRAGMA integrity_check");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.columnText(0), "ok");
}

}  // namespace
