// Table operations, each against a bare SQLite (or plain C++) anchor that does the least the same
// work can be done with, measured in the same run so that their ratio holds whatever the machine's
// load. Every benchmark starts from data of its own, built before it is timed:
//  - a place with its 7 frames of 3 actions each, added to a fresh database, against the same 29
//    rows inserted in one transaction into bare tables of the same shape;
//  - a cell added to a fresh table of 10,000 cells (each added cell a new one, in random order),
//    against an autocommit insert into a bare table of the same shape and index;
//  - a reload of the cache of exactly 10,000 cells, against one SELECT of all rows;
//  - a lookup among 10,000 cached cells, against a binary search of a sorted vector of them.
// The rest (frame update, per-place and per-frame queries, export and import) run on a database
// of 10,000 cells and 1,000 places with 7 frames of 3 actions each.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <random>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "platform/sim/CSimClock.h"
#include "store/CDB.h"
#include "support/TempHome.h"

namespace {

constexpr int kPlaces = 1000;
constexpr int kCells = 10000;

// An installed home with the program's database open.
struct Home {
    Home() {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(100000);
        db = std::make_unique<CDB>();
        db->OpenDB(0);
    }
    void AddCells(int count, int idPlace) {
        for (int c = 0; c < count; ++c) {
            CStrCell cell(c + 1, idPlace);
            db->GetTableCell()->Add(cell);
        }
    }
    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CDB> db;
};

// The data of one benchmark, built at its first run and kept for its later runs (Google
// Benchmark calls a benchmark several times); the data of the benchmark before goes first, so
// no benchmark sees another's rows, and one data set is alive at a time.
std::shared_ptr<void> g_alive;
const void* g_aliveKind = nullptr;

template <typename Data>
Data& data() {
    static int tag;  // one per kind of data
    if (g_aliveKind != &tag) {
        g_alive.reset();
        g_aliveKind = nullptr;
        g_alive = std::make_shared<Data>();
        g_aliveKind = &tag;
    }
    return *static_cast<Data*>(g_alive.get());
}

// A bare SQLite file beside the program's, with the same journal and sync settings.
struct BareDb {
    explicit BareDb(const std::filesystem::path& file, const char* schema) {
        sqlite3_open(file.c_str(), &db);
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        exec(schema);
    }
    ~BareDb() { sqlite3_close(db); }
    void exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db));
        }
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        return st;
    }
    static void run(sqlite3_stmt* st) {
        if (sqlite3_step(st) != SQLITE_DONE) {
            throw std::runtime_error("bare insert failed");
        }
        sqlite3_reset(st);
    }
    sqlite3* db = nullptr;
};

// --- A place with its week ---------------------------------------------------------------------

struct PlaceData : Home {
    std::vector<CStrAction> actions = std::vector<CStrAction>(3);
    int next = 0;
    PlaceData() {
        for (int i = 0; i < 3; ++i) {
            actions[i].SetId(i);
            actions[i].SetIntOp1(1);
        }
    }
};

void BM_PlaceWithFramesAdd(benchmark::State& state) {
    auto& d = data<PlaceData>();
    for (auto _ : state) {
        CStrPlace place;
        place.SetName("Place " + std::to_string(++d.next));
        place.AddMySelfAndDefaultSchedulesAndActions(&d.actions);
    }
    state.counters["rows"] = 29;
}
BENCHMARK(BM_PlaceWithFramesAdd)->Unit(benchmark::kMicrosecond);

struct BarePlaceData {
    TempHome home;
    BareDb bare{home.root() / "bare_places.db",
                "CREATE TABLE places(oid INTEGER PRIMARY KEY, id INTEGER NOT NULL, name TEXT, descr TEXT,"
                " image TEXT);"
                "CREATE UNIQUE INDEX places_id ON places(id);"
                "CREATE TABLE periods(oid INTEGER PRIMARY KEY, id INTEGER NOT NULL, name TEXT,"
                " place INTEGER, ih INTEGER, im INTEGER, eh INTEGER, em INTEGER, day INTEGER,"
                " enabled INTEGER, always INTEGER);"
                "CREATE UNIQUE INDEX periods_id ON periods(id);"
                "CREATE TABLE actions(oid INTEGER PRIMARY KEY, auto INTEGER NOT NULL, id INTEGER,"
                " period INTEGER, i1 INTEGER, i2 INTEGER, i3 INTEGER, s1 TEXT, s2 TEXT, s3 TEXT,"
                " t1 INTEGER, t2 INTEGER, t3 INTEGER, type INTEGER, delay INTEGER);"
                "CREATE UNIQUE INDEX actions_auto ON actions(auto);"};
    sqlite3_stmt* place = bare.prepare("INSERT INTO places(id, name, descr, image) VALUES(?, ?, '', '')");
    sqlite3_stmt* period = bare.prepare(
        "INSERT INTO periods(id, name, place, ih, im, eh, em, day, enabled, always)"
        " VALUES(?, 'Default', ?, 0, 0, 23, 59, ?, 1, 0)");
    sqlite3_stmt* action = bare.prepare(
        "INSERT INTO actions(auto, id, period, i1, i2, i3, s1, s2, s3, t1, t2, t3, type, delay)"
        " VALUES(?, ?, ?, 1, 0, 0, '', '', '', 0, 0, 0, 0, 0)");
    int places = 0, periods = 0, actions = 0;
    ~BarePlaceData() {
        sqlite3_finalize(place);
        sqlite3_finalize(period);
        sqlite3_finalize(action);
    }
};

void BM_AnchorPlaceWithFramesTransaction(benchmark::State& state) {
    auto& d = data<BarePlaceData>();
    const std::string name = "Place";
    for (auto _ : state) {
        d.bare.exec("BEGIN");
        sqlite3_bind_int(d.place, 1, ++d.places);
        sqlite3_bind_text(d.place, 2, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
        BareDb::run(d.place);
        for (int day = 1; day <= 7; ++day) {
            sqlite3_bind_int(d.period, 1, ++d.periods);
            sqlite3_bind_int(d.period, 2, d.places);
            sqlite3_bind_int(d.period, 3, day);
            BareDb::run(d.period);
            for (int a = 0; a < 3; ++a) {
                sqlite3_bind_int(d.action, 1, ++d.actions);
                sqlite3_bind_int(d.action, 2, a);
                sqlite3_bind_int(d.action, 3, d.periods);
                BareDb::run(d.action);
            }
        }
        d.bare.exec("COMMIT");
    }
    state.counters["rows"] = 29;
}
BENCHMARK(BM_AnchorPlaceWithFramesTransaction)->Unit(benchmark::kMicrosecond);

// --- Adding a cell -----------------------------------------------------------------------------

// New cell ids in random order, none of them among the 10,000 stored ones: enough for a dozen
// repetitions of the add benchmarks.
std::vector<int> NewCellIds() {
    std::vector<int> ids(1000000);
    std::iota(ids.begin(), ids.end(), kCells + 1);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(12345));
    return ids;
}

// The next unused id of the pool of `d`; false, with the benchmark's error, once it is used up.
template <typename Data>
bool NextNewCell(benchmark::State& state, Data& d, int& id) {
    if (d.next == d.ids.size()) {
        state.SkipWithError("out of new cell ids: fewer repetitions");
        return false;
    }
    id = d.ids[d.next++];
    return true;
}

struct CellAddData : Home {
    std::vector<int> ids = NewCellIds();
    size_t next = 0;
    CellAddData() {
        AddCells(kCells, 1);
        db->GetTableCell()->CheckAndLoadCache();
    }
};

void BM_CellAdd(benchmark::State& state) {
    auto& d = data<CellAddData>();
    const size_t first = d.next;
    for (auto _ : state) {
        int id = 0;
        if (!NextNewCell(state, d, id)) {
            break;
        }
        CStrCell cell(id, 1);
        d.db->GetTableCell()->Add(cell);
    }
    // Untimed: the cells added go again, so that every run adds to a table of 10,000.
    for (size_t k = first; k < d.next; ++k) {
        CStrCell cell;
        cell.SetIdCell(d.ids[k]);
        if (d.db->GetTableCell()->FindAndFill(cell)) {
            d.db->GetTableCell()->Delete(cell);
        }
    }
}
BENCHMARK(BM_CellAdd)->Unit(benchmark::kMicrosecond);

const char* const kBareCells =
    "CREATE TABLE cells(oid INTEGER PRIMARY KEY, id INTEGER NOT NULL, place INTEGER NOT NULL, lon TEXT,"
    " lat TEXT);"
    "CREATE UNIQUE INDEX cells_id ON cells(id);";

struct BareCellData {
    TempHome home;
    BareDb bare{home.root() / "bare_cells.db", kBareCells};
    sqlite3_stmt* insert = bare.prepare("INSERT INTO cells(id, place, lon, lat) VALUES(?, ?, '', '')");
    std::vector<int> ids = NewCellIds();
    size_t next = 0;
    BareCellData() {
        bare.exec("BEGIN");
        for (int c = 1; c <= kCells; ++c) {
            sqlite3_bind_int(insert, 1, c);
            sqlite3_bind_int(insert, 2, 1);
            BareDb::run(insert);
        }
        bare.exec("COMMIT");
    }
    ~BareCellData() { sqlite3_finalize(insert); }
};

void BM_AnchorCellInsert(benchmark::State& state) {
    auto& d = data<BareCellData>();
    for (auto _ : state) {
        int id = 0;
        if (!NextNewCell(state, d, id)) {
            break;
        }
        sqlite3_bind_int(d.insert, 1, id);
        sqlite3_bind_int(d.insert, 2, 1);
        BareDb::run(d.insert);
    }
    // Untimed: the rows added go again, as in BM_CellAdd.
    d.bare.exec(("DELETE FROM cells WHERE id > " + std::to_string(kCells)).c_str());
}
BENCHMARK(BM_AnchorCellInsert)->Unit(benchmark::kMicrosecond);

// --- Cache of 10,000 cells: reload and lookup --------------------------------------------------

struct CellCacheData : Home {
    CellCacheData() { AddCells(kCells, 1); }
};

void BM_CellCacheReload(benchmark::State& state) {
    auto& d = data<CellCacheData>();
    for (auto _ : state) {
        d.db->GetTableCell()->InvalidateCache();
        d.db->GetTableCell()->CheckAndLoadCache();
    }
    state.counters["cells"] = static_cast<double>(d.db->GetTableCell()->GetAllRecordsCopy().size());
}
BENCHMARK(BM_CellCacheReload)->Unit(benchmark::kMillisecond);

struct BareCellCacheData : BareCellData {
    sqlite3_stmt* all = bare.prepare("SELECT oid, id, place, lon, lat FROM cells ORDER BY id, oid");
    ~BareCellCacheData() { sqlite3_finalize(all); }
};

// The rows as a program needs them: each in a record of its own with its texts.
struct BareCell {
    int oid, id, place;
    std::string lon, lat;
};

void BM_AnchorSelectAllCells(benchmark::State& state) {
    auto& d = data<BareCellCacheData>();
    for (auto _ : state) {
        std::vector<BareCell> rows;
        rows.reserve(kCells);
        while (sqlite3_step(d.all) == SQLITE_ROW) {
            rows.push_back({sqlite3_column_int(d.all, 0), sqlite3_column_int(d.all, 1),
                            sqlite3_column_int(d.all, 2),
                            reinterpret_cast<const char*>(sqlite3_column_text(d.all, 3)),
                            reinterpret_cast<const char*>(sqlite3_column_text(d.all, 4))});
        }
        sqlite3_reset(d.all);
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_AnchorSelectAllCells)->Unit(benchmark::kMillisecond);

// Ids looked up: known ones in an order the cache cannot predict.
std::vector<int> KnownCellIds() {
    std::vector<int> ids(kCells);
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(54321));
    return ids;
}

void BM_CellFindAndFillCached(benchmark::State& state) {
    auto& d = data<CellCacheData>();
    d.db->GetTableCell()->CheckAndLoadCache();
    const std::vector<int> ids = KnownCellIds();
    size_t i = 0;
    for (auto _ : state) {
        CStrCell cell;
        cell.SetIdCell(ids[i++ % ids.size()]);
        benchmark::DoNotOptimize(d.db->GetTableCell()->FindAndFill(cell));
    }
}
BENCHMARK(BM_CellFindAndFillCached)->Unit(benchmark::kMicrosecond);

void BM_AnchorCellBinarySearch(benchmark::State& state) {
    auto& d = data<CellCacheData>();
    const std::vector<CStrCell> cache = d.db->GetTableCell()->GetAllRecordsCopy();
    const std::vector<int> ids = KnownCellIds();
    size_t i = 0;
    for (auto _ : state) {
        CStrCell cell;
        cell.SetIdCell(ids[i++ % ids.size()]);
        auto it = std::lower_bound(cache.begin(), cache.end(), cell.GetIdCell(),
                                   [](const CStrCell& c, int id) { return c.GetIdCell() < id; });
        if (it != cache.end() && it->GetIdCell() == cell.GetIdCell()) {
            cell = *it;
        }
        benchmark::DoNotOptimize(cell);
    }
}
BENCHMARK(BM_AnchorCellBinarySearch)->Unit(benchmark::kMicrosecond);

// --- The large data set ------------------------------------------------------------------------

struct LargeData : Home {
    LargeData() {
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
    std::vector<int> placeIds;
    int periodId = 0;
};

void BM_PeriodUpdate(benchmark::State& state) {
    auto& d = data<LargeData>();
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

void BM_PeriodsForPlace(benchmark::State& state) {
    auto& d = data<LargeData>();
    int i = 0;
    for (auto _ : state) {
        std::vector<CStrPeriod> out;
        d.db->GetTablePeriods()->GetAllRecordsForPlace(out, d.placeIds[i++ % kPlaces], 0);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PeriodsForPlace)->Unit(benchmark::kMicrosecond);

void BM_ActionsForPeriod(benchmark::State& state) {
    auto& d = data<LargeData>();
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
    auto& d = data<LargeData>();
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
