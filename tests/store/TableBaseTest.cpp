#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/CExceptionDB.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "platform/sim/CSimClock.h"
#include "store/CStrBase.h"
#include "store/CTableBase.h"
#include "support/TempHome.h"

using platform::CEOID;
using platform::CePropVal;

namespace {

constexpr platform::CEPROPID kId = platform::MakePropId(1, platform::CEVT_AUTO_I4);
constexpr platform::CEPROPID kName = platform::MakePropId(2, platform::CEVT_LPWSTR);
constexpr platform::CEPROPID kCount = platform::MakePropId(3, platform::CEVT_I4);
constexpr platform::CEPROPID kExtra = platform::MakePropId(4, platform::CEVT_I4);

class CStrThing : public CStrBase {
  public:
    std::string& toString(std::string& buffer) const override { return buffer = "thing " + name; }
    void Reset() override { *this = CStrThing(); }
    int GetKey() const override { return id; }
    void SetKey(int key) override { id = key; }

    int id = -1;
    std::string name;
    int count = 0;
};

class FakeDB : public CTableBase::IDatabase {
  public:
    explicit FakeDB(const std::filesystem::path& file) {
        EXPECT_EQ(platform::Services::get().databaseVolume().mount(file, volume), platform::ERROR_SUCCESS);
    }
    ~FakeDB() override { platform::Services::get().databaseVolume().unmount(volume); }
    platform::CeVolumeId GetIdVolume() override { return volume; }
    void AddManagedTable(CTableBase* table) override { tables.push_back(table); }

    platform::CeVolumeId volume = platform::kInvalidVolume;
    std::vector<CTableBase*> tables;
};

// A table of things; `withExtra` is the newer schema with a fourth property.
class CTableThings : public CTableBase {
  public:
    CTableThings(IDatabase* db, bool withExtra) : CTableBase(db, "things"), _withExtra(withExtra) {}
    ~CTableThings() override { Close(0); }

    void Add(CStrBase& base) override {
        auto& r = static_cast<CStrThing&>(base);
        std::vector<CePropVal> values{CePropVal::text(kName, r.name), CePropVal::i4(kCount, r.count)};
        if (r.id != -1) {
            values.push_back(CePropVal::i4(kId, r.id));
        }
        CEOID oid = 0;
        platform::Result res = Volume().writeRecord(GetHandleDB(), 0, values, oid);
        if (res != platform::ERROR_SUCCESS) {
            ManageDBErrorInsertRecord(res);
        }
        FlushVolume();
        r.SetCEOID(oid);
        std::vector<CePropVal> key;
        res = Volume().readRecord(GetHandleDB(), oid, {kId}, key);
        if (res != platform::ERROR_SUCCESS) {
            ManageDBErrorReadRecord(res);
        }
        r.id = key[0].asI4();
        InvalidateCache();
    }
    void Update(CStrBase& base) override {
        auto& r = static_cast<CStrThing&>(base);
        CEOID oid = Find(r, 1);
        CEOID written = 0;
        platform::Result res = Volume().writeRecord(
            GetHandleDB(), oid, {CePropVal::text(kName, r.name), CePropVal::i4(kCount, r.count)}, written);
        if (res != platform::ERROR_SUCCESS) {
            ManageDBErrorFillRecord(res);
        }
        InvalidateCache();
    }
    int FindAndFill(CStrBase& base) override {
        CheckAndLoadCache();
        for (const auto& c : cache) {
            if (c.id == base.GetKey()) {
                static_cast<CStrThing&>(base) = c;
                return 1;
            }
        }
        return 0;
    }
    void CreateTable() override {
        platform::CeDatabaseInfo info;
        info.name = GetTableName();
        info.sortKey = kId;
        info.props = {{kId, "Id", platform::CEDB_PROPNOTNULL}, {kName, "Name", 0}, {kCount, "Count", 0}};
        if (_withExtra) {
            info.props.push_back({kExtra, "Extra", 0});
        }
        CreateDatabase(info);
    }
    void Open(int insertDefaults) override { OpenDatabase(insertDefaults); }
    void InsertDefaultRecords() override {
        for (const char* name : {"first", "second"}) {
            CStrThing t;
            t.name = name;
            Add(t);
        }
    }
    platform::CEPROPID GetPIDKey() override { return kId; }
    std::unique_ptr<CStrBase> CreateStr() override { return std::make_unique<CStrThing>(); }
    void DeleteCascade(CStrBase& record) override { cascaded.push_back(record.GetKey()); }
    int CheckTableIntegrity(int& recordCount) override {
        CheckAndLoadCache();
        recordCount = static_cast<int>(cache.size());
        return 1;
    }
    void CheckAndLoadCache() override {
        if (IsCacheValid()) {
            return;
        }
        cache.clear();
        std::vector<CEOID> ids;
        Volume().recordIds(GetHandleDB(), ids);
        for (CEOID oid : ids) {
            std::vector<CePropVal> values;
            Volume().readRecord(GetHandleDB(), oid, {kId, kName, kCount}, values);
            CStrThing t;
            t.SetCEOID(oid);
            t.id = values[0].asI4();
            t.name = values[1].asText();
            t.count = values[2].asI4();
            cache.push_back(t);
        }
        ValidateCache();
    }
    void InvalidateCacheChild() override {
        cache.clear();
        ++invalidations;
    }
    void AddNewProperties() override {
        uint32_t count = 0;
        if (!_withExtra ||
            (Volume().propertyCount(GetHandleDB(), count) == platform::ERROR_SUCCESS && count >= 4)) {
            return;
        }
        Close(0);
        AddProperties({{kExtra, "Extra", 0}});
        SetMustUpgradeData(1);
        Open(0);
    }

    std::vector<CStrThing> cache;
    std::vector<int> cascaded;
    int invalidations = 0;

  private:
    bool _withExtra;
};

class TableBaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CInstaller(_home.services().home()).Install();
        CTextsMgr::Reset();
        // The pause after creating a table passes in phone time.
        dynamic_cast<platform::sim::CSimClock&>(_home.services().clock()).setSpeed(10000);
        _db = std::make_unique<FakeDB>(_home.services().home().programDir() / "comm_mgr.db");
    }
    void TearDown() override { CTextsMgr::Reset(); }

    std::unique_ptr<CTableThings> OpenTable(int insertDefaults, bool withExtra = false) {
        auto table = std::make_unique<CTableThings>(_db.get(), withExtra);
        table->OpenBase(insertDefaults);
        table->AddNewProperties();
        return table;
    }

    std::string ExceptionText(const std::function<void()>& f) {
        try {
            f();
        } catch (const CExceptionDB& e) {
            return e.GetMessageW();
        }
        return "(nothing thrown)";
    }

    TempHome _home;
    std::unique_ptr<FakeDB> _db;
};

TEST_F(TableBaseTest, OpeningCreatesAMissingTableWithItsDefaultsOnlyWhenAsked) {
    {
        auto table = OpenTable(1);
        EXPECT_EQ(_db->tables.size(), 1u);
        EXPECT_EQ(table->GetOpen(), 1);
        EXPECT_NE(table->GetCEOID(), 0u);
        EXPECT_EQ(table->GetNumRecordCount(), 2);
        table->Close(1);
        EXPECT_EQ(table->GetOpen(), 0);
        EXPECT_EQ(table->GetNumRecordCount(), 0);  // closed: nothing to count
    }
    // An existing table is opened as it is: no second set of defaults.
    auto again = OpenTable(1);
    EXPECT_EQ(again->GetNumRecordCount(), 2);

    auto db2 = std::make_unique<FakeDB>(_home.root() / "other.db");
    CTableThings empty(db2.get(), false);
    empty.OpenBase(0);
    EXPECT_EQ(empty.GetOpen(), 1);
    EXPECT_EQ(empty.GetNumRecordCount(), 0);
}

TEST_F(TableBaseTest, FindUsesTheStoredObjectIdUnlessForced) {
    auto table = OpenTable(1);
    CStrThing second;
    second.id = 2;
    CEOID oid = table->Find(second, 0);
    EXPECT_NE(oid, 0u);
    EXPECT_EQ(second.GetCEOID(), oid);

    CStrThing stale;
    stale.id = 2;
    stale.SetCEOID(4242);
    EXPECT_EQ(table->Find(stale, 0), 4242u);
    EXPECT_EQ(table->Find(stale, 1), oid);

    CStrThing missing;
    missing.id = 77;
    missing.SetCEOID(oid);
    EXPECT_EQ(table->Find(missing, 1), 0u);
    EXPECT_EQ(missing.GetCEOID(), 0u);
}

TEST_F(TableBaseTest, DeleteRemovesTheRowCascadesAndDropsTheCache) {
    auto table = OpenTable(1);
    table->CheckAndLoadCache();
    ASSERT_EQ(table->cache.size(), 2u);

    CStrThing first;
    first.id = 1;
    table->Delete(first);
    EXPECT_EQ(table->cascaded, std::vector<int>{1});
    EXPECT_FALSE(table->IsCacheValid());
    EXPECT_TRUE(table->cache.empty());
    EXPECT_EQ(table->GetNumRecordCount(), 1);

    // A failed delete throws the translated text naming the table and leaves the cache alone.
    table->CheckAndLoadCache();
    CStrThing gone;
    gone.id = 1;
    std::string text = ExceptionText([&] { table->Delete(gone); });
    EXPECT_EQ(text, "A record of the table things could not be deleted.");
    EXPECT_EQ(table->GetErrorText(), text);
    EXPECT_TRUE(table->IsCacheValid());
    EXPECT_EQ(table->cache.size(), 1u);
    EXPECT_EQ(table->cascaded.size(), 1u);
}

TEST_F(TableBaseTest, DeleteAllEmptiesTheTableWithoutCascading) {
    auto table = OpenTable(1);
    CStrThing more;
    more.name = "third";
    table->Add(more);
    EXPECT_EQ(more.id, 3);
    table->CheckAndLoadCache();
    table->DeleteAll();
    EXPECT_EQ(table->GetNumRecordCount(), 0);
    EXPECT_TRUE(table->cascaded.empty());
    EXPECT_FALSE(table->IsCacheValid());
    EXPECT_TRUE(table->cache.empty());
}

TEST_F(TableBaseTest, BulkWorkCanHoldBackCacheInvalidation) {
    auto table = OpenTable(1);
    table->CheckAndLoadCache();
    table->SetAllowInvalidateChild(0);
    CStrThing first;
    first.id = 1;
    table->Delete(first);
    EXPECT_FALSE(table->IsCacheValid());
    EXPECT_EQ(table->cache.size(), 2u);  // the vector being walked stays
    table->SetAllowInvalidateChild(1);
    table->InvalidateCache();
    EXPECT_TRUE(table->cache.empty());
}

TEST_F(TableBaseTest, AddingPropertiesKeepsRowsAndAsksForTheDataUpgrade) {
    {
        auto old = OpenTable(1);
        CStrThing t;
        t.id = 1;
        ASSERT_EQ(old->FindAndFill(t), 1);
        t.count = 5;
        old->Update(t);
    }
    auto table = OpenTable(0, true);
    EXPECT_EQ(table->GetMustUpgradeData(), 1);
    EXPECT_EQ(table->GetOpen(), 1);
    CStrThing t;
    t.id = 1;
    ASSERT_EQ(table->FindAndFill(t), 1);
    EXPECT_EQ(t.name, "first");
    EXPECT_EQ(t.count, 5);

    auto current = std::make_unique<CTableThings>(_db.get(), true);
    current->OpenBase(0);
    current->AddNewProperties();
    EXPECT_EQ(current->GetMustUpgradeData(), 0);
}

TEST_F(TableBaseTest, VolumeErrorsBecomeTheirFixedTexts) {
    auto table = OpenTable(0);
    using namespace platform;
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorOpen(0, ERROR_INVALID_HANDLE); }),
              "Error Opening db. Invalid handle");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorOpen(0, ERROR_INVALID_PARAMETER); }),
              "Error opening db. Invalid parameter");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorOpen(0, ERROR_NOT_FOUND); }),
              "Error Opening db. Volumen not found");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorOpen(0, ERROR_BADDB); }), "(nothing thrown)");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorCreation(ERROR_DUP_NAME); }),
              "Error creating DB. Ya existe");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorCreation(ERROR_ACCESS_DENIED); }),
              "Error creating DB. Mas de una primary key");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorSeekRecord(ERROR_KEY_DELETED); }),
              "Error seeking registry. ERROR_KEY_DELETED");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorSeekRecord(ERROR_NO_MORE_ITEMS); }),
              "(nothing thrown)");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorFillRecord(ERROR_SEEK); }),
              "Error filling record.ERROR_SEEK");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorReadRecord(ERROR_NO_DATA); }),
              "Error filling record.ERROR_NO_DATA,232");
    EXPECT_EQ(ExceptionText([&] { table->ManageDBErrorAddProperty(ERROR_DISK_FULL); }),
              "Error adding property");

    // Real failures of the volume reach the same handlers.
    CStrThing dup;
    table->Add(dup);
    dup.SetCEOID(0);
    EXPECT_EQ(ExceptionText([&] { table->Add(dup); }), "A record could not be added (ERROR_ALREADY_EXISTS).");
    EXPECT_EQ(table->GetNumRecordCount(), 1);
}

}  // namespace
