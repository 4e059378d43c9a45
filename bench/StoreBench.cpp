// Table operations on a database of 10,000 cells and 1,000 places with 7 frames of 3 actions
// each, against a bare SQLite insert of the same row with the same durability; and the export
// and import of that data set.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "platform/sim/CSimClock.h"
#include "store/CDB.h"
#include "support/TempHome.h"

namespace {

constexpr int kPlaces = 1000;
constexpr int kCells = 10000;

// The data set, built once for the whole run.
struct DataSet {
    DataSet() {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(100000);
        db = std::make_unique<CDB>();
        db->OpenDB(0);
        std::vector<CStrAction> actions(3);
        for (int i = 0; i < 3; ++i) {
            actions[i].SetId(i);
            actions[i].SetIntOp1(1);
        }
        for (int p = 0; p < kPlaces; ++p) {
            CStrPlace place;
            place.SetName("Place " + std::to_string(p));
            place.AddMySelfAndDefaultSchedulesAndActions(&actions);
            placeIds.push_back(place.GetId());
        }
        for (int c = 0; c < kCells; ++c) {
            CStrCell cell(c + 1, placeIds[c % kPlaces]);
            db->GetTableCell()->Add(cell);
        }
        db->LoadData();
        periodId = db->GetTablePeriods()->GetAllRecordsCopy()[3500].GetId();
    }
    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CDB> db;
    std::vector<int> placeIds;
    int periodId = 0;
};

DataSet& data() {
    static DataSet set;
    return set;
}

void BM_CellAdd(benchmark::State& state) {
    auto& d = data();
    int id = 1'000'000;
    for (auto _ : state) {
        CStrCell cell(++id, d.placeIds[0]);
        d.db->GetTableCell()->Add(cell);
    }
}
BENCHMARK(BM_CellAdd)->Unit(benchmark::kMicrosecond);

void BM_BareSqliteInsert(benchmark::State& state) {
    auto& d = data();
    std::string file = (d.home.root() / "bare.db").string();
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE cells(id INTEGER PRIMARY KEY, place INTEGER NOT NULL, lon TEXT, lat TEXT)",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO cells VALUES(?,?,?,?)", -1, &st, nullptr);
    int id = 0;
    for (auto _ : state) {
        sqlite3_bind_int(st, 1, ++id);
        sqlite3_bind_int(st, 2, 1);
        sqlite3_bind_text(st, 3, "", 0, SQLITE_STATIC);
        sqlite3_bind_text(st, 4, "", 0, SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}
BENCHMARK(BM_BareSqliteInsert)->Unit(benchmark::kMicrosecond);

void BM_PeriodUpdate(benchmark::State& state) {
    auto& d = data();
    CStrPeriod period;
    period.SetId(d.periodId);
    d.db->GetTablePeriods()->FindAndFill(period);
    int n = 0;
    for (auto _ : state) {
        period.SetName("Renamed " + std::to_string(++n));
        d.db->GetTablePeriods()->Update(period);
    }
}
BENCHMARK(BM_PeriodUpdate)->Unit(benchmark::kMicrosecond);

void BM_CellFindAndFillCached(benchmark::State& state) {
    auto& d = data();
    d.db->GetTableCell()->CheckAndLoadCache();
    int id = 0;
    for (auto _ : state) {
        CStrCell cell;
        cell.SetIdCell(id++ % kCells + 1);
        benchmark::DoNotOptimize(d.db->GetTableCell()->FindAndFill(cell));
    }
}
BENCHMARK(BM_CellFindAndFillCached)->Unit(benchmark::kMicrosecond);

void BM_CellCacheReload(benchmark::State& state) {
    auto& d = data();
    for (auto _ : state) {
        d.db->GetTableCell()->InvalidateCache();
        d.db->GetTableCell()->CheckAndLoadCache();
    }
}
BENCHMARK(BM_CellCacheReload)->Unit(benchmark::kMillisecond);

void BM_PeriodsForPlace(benchmark::State& state) {
    auto& d = data();
    int i = 0;
    for (auto _ : state) {
        std::vector<CStrPeriod> out;
        d.db->GetTablePeriods()->GetAllRecordsForPlace(out, d.placeIds[i++ % kPlaces], 0);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PeriodsForPlace)->Unit(benchmark::kMicrosecond);

void BM_ActionsForPeriod(benchmark::State& state) {
    auto& d = data();
    for (auto _ : state) {
        std::vector<CStrAction> out;
        d.db->GetTableActions()->GetAllRecordsForPeriod(out, d.periodId);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_ActionsForPeriod)->Unit(benchmark::kMicrosecond);

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_XmlExportThenImport(benchmark::State& state) {
    auto& d = data();
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        std::string path;
        d.db->GetXML(path);
        auto t1 = std::chrono::steady_clock::now();
        d.db->ImportFromXML();
        auto t2 = std::chrono::steady_clock::now();
        state.counters["export_s"] = std::chrono::duration<double>(t1 - t0).count();
        state.counters["import_s"] = std::chrono::duration<double>(t2 - t1).count();
        state.counters["peak_rss_MB"] = static_cast<double>(peakKb()) / 1024.0;
    }
}
BENCHMARK(BM_XmlExportThenImport)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
