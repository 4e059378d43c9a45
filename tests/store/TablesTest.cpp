// The device database and its five tables on a temporary home: defaults of a new database,
// keys, queries, cascading deletes, re-association of cells and the upgrade of an older database.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "core/CConfigurationZentrova.h"
#include "core/CExceptionDB.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "platform/sim/CSimClock.h"
#include "store/CDB.h"
#include "support/TempHome.h"

namespace {

using platform::CePropVal;

// Writes a volume of the format from before the per-day periods, the action delay and the cell
// coordinates: two places, one period with two actions, one cell.
void WriteOldFormatVolume(const std::string& file) {
    auto& volume = platform::Services::get().databaseVolume();
    platform::CeVolumeId id = platform::kInvalidVolume;
    ASSERT_EQ(volume.mount(file, id), platform::ERROR_SUCCESS);
    auto create = [&](platform::CeDatabaseInfo info) {
        platform::CEOID oid = 0;
        ASSERT_EQ(volume.createDatabase(id, info, oid), platform::ERROR_SUCCESS) << info.name;
    };
    CTablePlaces places(nullptr, "places");
    CTableLAC lacs(nullptr, "lacs");
    create(places.Schema());
    create(lacs.Schema());
    CTablePeriods periods(nullptr, "periods");
    auto oldPeriods = periods.Schema();
    oldPeriods.props.resize(7);
    create(oldPeriods);
    CTableActions actionsTable(nullptr, "actions");
    auto oldActions = actionsTable.Schema();
    oldActions.props.pop_back();
    create(oldActions);
    CTableCell cellsTable(nullptr, "cells");
    auto oldCells = cellsTable.Schema();
    oldCells.props.resize(2);
    create(oldCells);
    auto write = [&](const std::string& name, platform::CEPROPID key, std::vector<CePropVal> values) {
        platform::CeDbHandle h = 0;
        platform::CEOID db = 0;
        ASSERT_EQ(volume.openDatabase(id, name, key, h, db), platform::ERROR_SUCCESS);
        platform::CEOID oid = 0;
        ASSERT_EQ(volume.writeRecord(h, 0, values, oid), platform::ERROR_SUCCESS) << name;
        volume.closeDatabase(h);
    };
    write("places", CTablePlaces::kPropId,
          {CePropVal::text(CTablePlaces::kPropName, "Home"),
           CePropVal::text(CTablePlaces::kPropDescription, ""), CePropVal::text(CTablePlaces::kPropImage, ""),
           CePropVal::i4(CTablePlaces::kPropId, 1)});
    write("places", CTablePlaces::kPropId,
          {CePropVal::text(CTablePlaces::kPropName, "Work"),
           CePropVal::text(CTablePlaces::kPropDescription, ""), CePropVal::text(CTablePlaces::kPropImage, ""),
           CePropVal::i4(CTablePlaces::kPropId, 2)});
    write("periods", CTablePeriods::kPropId,
          {CePropVal::i4(CTablePeriods::kPropId, 1), CePropVal::text(CTablePeriods::kPropName, "Morning"),
           CePropVal::i4(CTablePeriods::kPropIdPlace, 1), CePropVal::i4(CTablePeriods::kPropInitHour, 8),
           CePropVal::i4(CTablePeriods::kPropInitMinute, 0), CePropVal::i4(CTablePeriods::kPropEndHour, 12),
           CePropVal::i4(CTablePeriods::kPropEndMinute, 30)});
    for (int id2 : {0, 1}) {
        write("actions", CTableActions::kPropIdAutonumeric,
              {CePropVal::i4(CTableActions::kPropId, id2), CePropVal::i4(CTableActions::kPropIdPeriod, 1),
               CePropVal::i4(CTableActions::kPropType, 0)});
    }
    write("cells", CTableCell::kPropIdCell,
          {CePropVal::i4(CTableCell::kPropIdCell, 77), CePropVal::i4(CTableCell::kPropIdPlace, 1)});
    volume.unmount(id);
}

class TablesTest : public ::testing::Test {
  protected:
    TablesTest() {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(1000);
    }
    std::string text(const char* key) { return CTextsMgr::GetInstance()->GetText(key); }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
};

TEST_F(TablesTest, NewDatabaseHoldsTheDefaultPlaceAndOpensOnce) {
    CDB db;
    // The simulated volume is durable at commit: creating the five tables does not wait (phone
    // time at real speed here, so a pause would show).
    auto& clock = dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    clock.setSpeed(1);
    const uint32_t before = clock.tickCount();
    EXPECT_EQ(db.OpenDB(1), 1);
    EXPECT_LT(clock.tickCount() - before, 1000u);
    clock.setSpeed(1000);
    EXPECT_TRUE(std::filesystem::exists(db.GetDBName()));
    EXPECT_EQ(db.OpenDB(1), 0);
    auto places = db.GetTablePlaces()->GetAllRecordsCopy();
    ASSERT_EQ(places.size(), 1u);
    EXPECT_EQ(places[0].GetName(), text("UNKNOWN"));
    EXPECT_EQ(places[0].GetImage(), "place_unknown.png");
    std::vector<CStrPeriod> periods;
    db.GetTablePeriods()->GetAllRecordsForPlace(periods, places[0].GetId(), 0);
    ASSERT_EQ(periods.size(), 7u);
    EXPECT_EQ(periods[6].GetWeekDay(), 7);
    EXPECT_EQ(db.GetTablePeriods()->GetNumRecordsForPlace(places[0].GetId(), 3), 1);
    EXPECT_EQ(db.CloseDB(1), 1);
    EXPECT_EQ(db.CloseDB(1), 1);
    // Reopened, the rows are still there and no second default place appears.
    db.OpenDB(1);
    EXPECT_EQ(db.GetTablePlaces()->GetAllRecordsCopy().size(), 1u);
    int count = 0;
    EXPECT_EQ(db.CheckTableIntegrity(count), 1);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(db.GetTotalRecordCount(), 8);
}

TEST_F(TablesTest, KeysAreAssignedAndRowsFoundUpdatedAndRefused) {
    CDB db;
    db.OpenDB(0);
    CTablePlaces* places = db.GetTablePlaces();
    CStrPlace home1;
    home1.SetName("Home");
    home1.SetImage("place_pc.png");
    places->Add(home1);
    EXPECT_GT(home1.GetId(), 0);
    EXPECT_NE(home1.GetCEOID(), 0u);
    CStrPlace found;
    found.SetId(home1.GetId());
    ASSERT_EQ(places->FindAndFill(found), 1);
    EXPECT_EQ(found.GetName(), "Home");
    found.SetDescripcion("where I live");
    places->Update(found);
    CStrPlace again;
    again.SetId(home1.GetId());
    places->FindAndFill(again);
    EXPECT_EQ(again.GetDescription(), "where I live");

    // An object id the record already carries is used as it is unless the lookup is forced.
    CStrPlace ghost;
    ghost.SetId(9999);
    ghost.SetCEOID(4242);
    EXPECT_EQ(places->Find(ghost, 0), 4242u);
    EXPECT_EQ(places->Find(ghost, 1), 0u);

    CStrPlace tooLong;
    tooLong.SetName(std::string(100, 'n'));
    EXPECT_THROW(places->Add(tooLong), CExceptionDB);
    tooLong.SetName(std::string(99, 'n'));
    EXPECT_NO_THROW(places->Add(tooLong));
    EXPECT_EQ(places->GetAllRecordsCopy().size(), 2u);
    std::string names;
    EXPECT_EQ(places->GetAllPlacesInOneString(names), ",Home," + std::string(99, 'n'));
}

TEST_F(TablesTest, DeletingAPlaceTakesItsLocationsPeriodsAndTheirActions) {
    CDB db;
    db.OpenDB(0);
    CStrPlace office;
    office.SetName("Office");
    CStrAction wifiOff;
    wifiOff.SetId(0);
    wifiOff.SetIntOp1(0);
    std::vector<CStrAction> actions{wifiOff};
    office.AddMySelfAndDefaultSchedulesAndActions(&actions);
    CStrPlace other;
    other.SetName("Other");
    other.AddMySelfAndDefaultSchedulesAndActions(&actions);
    db.GetTableLAC()->Add(*std::make_unique<CStrLAC>(56, office.GetId()));
    CStrCell cell(1234, office.GetId());
    db.GetTableCell()->Add(cell);
    EXPECT_EQ(db.GetTableActions()->GetAllRecordsCopy().size(), 14u);

    db.GetTablePlaces()->Delete(office);
    EXPECT_EQ(db.GetTablePlaces()->GetAllRecordsCopy().size(), 1u);
    EXPECT_TRUE(db.GetTableLAC()->GetAllRecordsCopy().empty());
    EXPECT_TRUE(db.GetTableCell()->GetAllRecordsCopy().empty());
    EXPECT_EQ(db.GetTablePeriods()->GetAllRecordsCopy().size(), 7u);
    auto left = db.GetTableActions()->GetAllRecordsCopy();
    ASSERT_EQ(left.size(), 7u);
    for (const CStrAction& a : left) {
        CStrPeriod p;
        p.SetId(a.GetIdPeriod());
        ASSERT_EQ(db.GetTablePeriods()->FindAndFill(p), 1);
        EXPECT_EQ(p.GetIdPlace(), other.GetId());
    }
}

TEST_F(TablesTest, GetActionCreatesOnceAndCellsAreNeverStoredTwice) {
    CDB db;
    db.OpenDB(0);
    CTableActions* actions = db.GetTableActions();
    EXPECT_FALSE(actions->GetAction(5, 2, false, 0));
    std::optional<CStrAction> created = actions->GetAction(5, 2, true, 0);
    ASSERT_TRUE(created);
    EXPECT_GT(created->GetIdAutonumeric(), 0);
    ASSERT_TRUE(actions->GetAction(5, 2, true, 0));
    EXPECT_EQ(actions->GetAllRecordsCopy().size(), 1u);

    CTableCell* cells = db.GetTableCell();
    CStrCell cell(1234, 1);
    cells->Add(cell);
    CStrCell moved(1234, 2);
    cells->Add(moved);
    auto rows = cells->GetAllRecordsCopy();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].GetIdPlace(), 2);
}

// Regenerates the shipped old-format database: run with --gtest_also_run_disabled_tests.
TEST_F(TablesTest, DISABLED_WriteShippedOldFormatDatabase) {
    const std::string file = std::string(ZENTROVA_TEST_DATA) + "/comm_mgr_old.db";
    std::filesystem::remove(file);
    WriteOldFormatVolume(file);
}

TEST_F(TablesTest, OlderDatabaseGainsItsNewPropertiesAndPerDayPeriods) {
    // The shipped database of the older format, in place of the program's.
    {
        CDB probe;  // only for the file name
        std::filesystem::copy_file(std::string(ZENTROVA_TEST_DATA) + "/comm_mgr_old.db", probe.GetDBName(),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    CDB db;
    db.OpenDB(1);
    auto shown = home.boxes().shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, text("WARNING_UPDATE_DATA"));
    EXPECT_EQ(shown[1].text, text("UPDATE_DATA_FINISHED"));
    auto periods = db.GetTablePeriods()->GetAllRecordsCopy();
    ASSERT_EQ(periods.size(), 7u);
    std::set<int> days;
    for (const CStrPeriod& p : periods) {
        days.insert(p.GetWeekDay());
        EXPECT_EQ(p.GetName(), "Morning");
        EXPECT_EQ(p.GetInicio().wHour, 8);
        EXPECT_EQ(p.GetFinal().wMinute, 30);
        std::vector<CStrAction> own;
        db.GetTableActions()->GetAllRecordsForPeriod(own, p.GetId());
        EXPECT_EQ(own.size(), 2u) << "period " << p.GetId();
    }
    EXPECT_EQ(days.size(), 7u);
    for (const CStrAction& a : db.GetTableActions()->GetAllRecordsCopy()) {
        EXPECT_EQ(a.GetDelay(), 0);
    }
    auto cells = db.GetTableCell()->GetAllRecordsCopy();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].GetLongitud(), "");
    db.CloseDB(1);
    // A second opening finds nothing to upgrade.
    home.boxes().clear();
    db.OpenDB(1);
    EXPECT_TRUE(home.boxes().shown().empty());
    EXPECT_EQ(db.GetTablePeriods()->GetAllRecordsCopy().size(), 7u);
}

}  // namespace

namespace {

// The schedule engine's and the location engine's reads run on their own threads while the
// window thread closes the database (after start-up, around an export): none may fail.
TEST_F(TablesTest, ReadsOnAnotherThreadSurviveTheDatabaseClosingAndReopening) {
    CDB db;
    db.OpenDB(1);
    CStrPlace office("Office", "", "place_pc.png", -1);
    office.AddMySelfAndDefaultSchedulesAndActions(nullptr);
    CStrCell cell(4711, office.GetId());
    db.GetTableCell()->Add(cell);

    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::vector<std::string> failures;
    std::mutex failuresLock;
    auto fail = [&](const std::string& what) {
        std::lock_guard lock(failuresLock);
        failures.push_back(what);
    };
    std::thread reader([&] {
        while (!stop) {
            try {
                // Fresh reads from the volume each time, as after a change of the tables.
                db.GetTablePeriods()->InvalidateCache();
                db.GetTableCell()->InvalidateCache();
                db.GetTablePlaces()->InvalidateCache();
                std::vector<CStrPeriod> frames;
                db.GetTablePeriods()->GetAllRecordsForPlace(frames, office.GetId(), 2);
                if (frames.size() != 1) {
                    fail("frames: " + std::to_string(frames.size()));
                }
                CStrPlace found;
                if (!db.GetTableCell()->GetPlace(4711, found) || found.GetName() != "Office") {
                    fail("location lookup");
                }
                ++reads;
            } catch (const CBaseException& e) {
                fail(e.GetMessageW());
            }
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 0; (i < 100 || reads < 50) && std::chrono::steady_clock::now() < deadline; ++i) {
        EXPECT_EQ(db.CloseDB(i % 2), 1);
        std::this_thread::yield();
        if (i % 3 != 0) {
            db.OpenDB(0);
        }
        // Now and then the reader gets a whole read between two closes, so it makes progress
        // however the threads are scheduled.
        if (i % 4 == 0) {
            const int now = reads;
            while (reads == now && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::yield();
            }
        }
    }
    // Left closed, as after start-up: the reader opens it again by itself.
    db.CloseDB(0);
    const int before = reads;
    while (reads < before + 5 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    stop = true;
    reader.join();
    EXPECT_GE(reads, 50);
    EXPECT_TRUE(failures.empty()) << failures.size() << " failed reads, the first: " << failures.front();
    EXPECT_TRUE(db.IsOpen());
}

}  // namespace
