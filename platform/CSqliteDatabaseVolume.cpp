#include "platform/CSqliteDatabaseVolume.h"

#include <sqlite3.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "platform/CSqliteConnection.h"
#include "platform/CSqliteStatement.h"
#include "platform/PlatformError.h"

namespace platform {

namespace {

// Marks a SQLite file as a database volume ("ZVDB") and gives the layout version.
constexpr int kApplicationId = 0x5A564442;
constexpr int kFormat = 1;

const char* const kCatalog =
    "CREATE TABLE ce_volume(id INTEGER PRIMARY KEY CHECK (id = 1), next_oid INTEGER NOT NULL);"
    "INSERT INTO ce_volume VALUES (1, 1);"
    "CREATE TABLE ce_databases(oid INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " type INTEGER NOT NULL, sort_key INTEGER NOT NULL, sort_flags INTEGER NOT NULL,"
    " next_auto INTEGER NOT NULL DEFAULT 1);"
    "CREATE TABLE ce_properties(db INTEGER NOT NULL, propid INTEGER NOT NULL, name TEXT NOT NULL,"
    " flags INTEGER NOT NULL, position INTEGER NOT NULL, PRIMARY KEY (db, propid));";

bool knownType(CEPROPID id) {
    switch (PropType(id)) {
        case CEVT_I4:
        case CEVT_LPWSTR:
        case CEVT_FILETIME:
        case CEVT_AUTO_I4:
            return true;
        default:
            return false;
    }
}

std::string columnOf(CEPROPID id) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "p_%08x", id);
    return buf;
}

std::string tableOf(CEOID db) {
    return "db_" + std::to_string(db);
}

// Whether a value may be stored in a property of the given id's type (null always may).
bool fits(const CePropVal& v) {
    switch (PropType(v.propid)) {
        case CEVT_I4:
        case CEVT_AUTO_I4:
            return v.isNull() || std::holds_alternative<int32_t>(v.value);
        case CEVT_LPWSTR:
            return v.isNull() || std::holds_alternative<std::string>(v.value);
        case CEVT_FILETIME:
            return v.isNull() || std::holds_alternative<uint64_t>(v.value);
        default:
            return false;
    }
}

void bindValue(CSqliteStatement& st, int index, const CePropVal& v) {
    if (std::holds_alternative<int32_t>(v.value)) {
        st.bind(index, static_cast<long long>(std::get<int32_t>(v.value)));
    } else if (std::holds_alternative<std::string>(v.value)) {
        st.bind(index, std::get<std::string>(v.value));
    } else if (std::holds_alternative<uint64_t>(v.value)) {
        // Stored as the signed 64-bit pattern; read back as the same bits.
        st.bind(index, static_cast<long long>(std::get<uint64_t>(v.value)));
    } else {
        st.bindNull(index);
    }
}

CePropVal columnValue(CSqliteStatement& st, int index, CEPROPID id) {
    if (st.columnIsNull(index)) {
        return {id, {}};
    }
    switch (PropType(id)) {
        case CEVT_LPWSTR:
            return CePropVal::text(id, st.columnText(index));
        case CEVT_FILETIME:
            return CePropVal::filetime(id, static_cast<uint64_t>(st.columnInt(index)));
        default:
            return CePropVal::i4(id, static_cast<int32_t>(st.columnInt(index)));
    }
}

// The phone's error code for a failed SQLite call.
Result resultOf(int sqliteCode) {
    switch (sqliteCode & 0xFF) {
        case SQLITE_CONSTRAINT:
            return ERROR_ALREADY_EXISTS;
        case SQLITE_FULL:
            return ERROR_DISK_FULL;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_SHARING_VIOLATION;
        case SQLITE_NOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return ERROR_BADDB;
        default:
            return ERROR_WRITE_FAULT;
    }
}

struct Property {
    CEPROPID id = 0;
    std::string name;
    uint32_t flags = 0;
};

struct Schema {
    CEOID oid = 0;
    std::string name;
    CEPROPID sortKey = 0;
    std::vector<Property> props;  // in schema order
    bool hasAutoNumber = false;   // some property is numbered by the volume

    const Property* find(CEPROPID id) const {
        for (const auto& p : props) {
            if (p.id == id) {
                return &p;
            }
        }
        return nullptr;
    }
    std::string table() const { return tableOf(oid); }
};

struct Volume {
    std::filesystem::path file;
    std::unique_ptr<CSqliteConnection> db;
    int mounts = 0;
    // Prepared statements by their text; dropped whenever the schema changes.
    std::unordered_map<std::string, std::unique_ptr<CSqliteStatement>> statements;
    // Schemas of the databases by object id, loaded on first use.
    std::map<CEOID, Schema> schemas;
    // An open batch: the thread whose calls form it, its nesting depth, and whether a part failed.
    std::thread::id batchOwner;
    int batchDepth = 0;
    bool batchFailed = false;
    // Object ids reserved in the file and not handed out yet: [oidNext, oidEnd). Reserving them
    // in blocks spares every write an update of the counter; a crash only skips the rest of a
    // block, and no id is ever handed out twice.
    CEOID oidNext = 0;
    CEOID oidEnd = 0;
    // A rollback may undo the reservation: the ids are reserved again from the file.
    void forgetReservedOids() { oidNext = oidEnd = 0; }
};

constexpr CEOID kOidBlock = 1024;

struct Handle {
    CeVolumeId volume = kInvalidVolume;
    CEOID database = 0;
};

// Resets a cached statement when its use ends, so that it holds no read transaction.
class StatementUse {
  public:
    explicit StatementUse(CSqliteStatement& st) : _st(st) {}
    ~StatementUse() { _st.reset(); }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    CSqliteStatement* operator->() { return &_st; }
    CSqliteStatement& operator*() { return _st; }

  private:
    CSqliteStatement& _st;
};

// The SQLite error of the statement that made the running operation fail, kept before a rollback
// replaces it.
thread_local int t_failure = SQLITE_OK;

// A statement prepared once per text and kept with the volume.
CSqliteStatement& cachedStatement(Volume& v, const std::string& sql) {
    auto& slot = v.statements[sql];
    if (!slot) {
        slot = std::make_unique<CSqliteStatement>(*v.db, sql);
    }
    return *slot;
}

// Whether a change inside an open batch needs a savepoint of its own: one whose only statement
// that can fail comes last (a record write) is atomic without one.
enum class InBatch { Savepoint, StatementAtomic };

// One write: BEGIN IMMEDIATE ... COMMIT, or a savepoint inside an open batch; undone when the scope
// ends without the commit. Beginning and committing run prepared statements: a write is a handful
// of statements, and parsing these two again each time would be a good part of it.
class Transaction {
  public:
    explicit Transaction(Volume& v, InBatch inBatch = InBatch::Savepoint)
        : _v(v), _nested(v.batchDepth > 0), _savepoint(_nested && inBatch == InBatch::Savepoint) {
        if (!_nested || _savepoint) {
            StatementUse(cachedStatement(_v, _nested ? "SAVEPOINT write" : "BEGIN IMMEDIATE"))->run();
        }
    }
    ~Transaction() {
        if (!_done) {
            if (t_failure == SQLITE_OK) {
                t_failure = sqlite3_extended_errcode(_v.db->handle());
            }
            if (!_nested || _savepoint) {
                _v.db->tryExec(_nested ? "ROLLBACK TO write; RELEASE write" : "ROLLBACK");
                _v.forgetReservedOids();
            }
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        if (!_nested || _savepoint) {
            StatementUse(cachedStatement(_v, _nested ? "RELEASE write" : "COMMIT"))->run();
        }
        _done = true;
    }

  private:
    Volume& _v;
    bool _nested;
    bool _savepoint;
    bool _done = false;
};

// A failure with the phone's error code, carried out of the SQLite calls to the interface.
struct Failure {
    Result code;
};

}  // namespace

struct CSqliteDatabaseVolume::Impl {
    std::mutex lock;
    // Signalled when a batch ends.
    std::condition_variable batchEnded;
    std::map<CeVolumeId, Volume> volumes;
    std::map<CeDbHandle, Handle> handles;
    CeVolumeId nextVolume = 1;
    CeDbHandle nextHandle = 1;

    // Waits while another thread has a batch open on the volume (gone volumes do not wait).
    void waitForBatch(std::unique_lock<std::mutex>& lk, CeVolumeId id) {
        batchEnded.wait(lk, [&] {
            auto it = volumes.find(id);
            return it == volumes.end() || it->second.batchDepth == 0 ||
                   it->second.batchOwner == std::this_thread::get_id();
        });
    }

    void waitForBatchOfHandle(std::unique_lock<std::mutex>& lk, CeDbHandle h) {
        if (auto it = handles.find(h); it != handles.end()) {
            waitForBatch(lk, it->second.volume);
        }
    }

    Volume& volume(CeVolumeId id) {
        auto it = volumes.find(id);
        if (it == volumes.end()) {
            throw Failure{ERROR_NOT_FOUND};
        }
        return it->second;
    }

    std::pair<Volume*, const Schema*> open(CeDbHandle h) {
        auto it = handles.find(h);
        if (it == handles.end()) {
            throw Failure{ERROR_INVALID_HANDLE};
        }
        Volume& v = volume(it->second.volume);
        const Schema* s = schema(v, it->second.database);
        if (!s) {
            // The database was deleted under the handle.
            throw Failure{ERROR_INVALID_HANDLE};
        }
        return {&v, s};
    }

    static CSqliteStatement& statement(Volume& v, const std::string& sql) { return cachedStatement(v, sql); }

    static void schemaChanged(Volume& v) {
        v.statements.clear();
        v.schemas.clear();
    }

    static const Schema* schema(Volume& v, CEOID db) {
        if (auto it = v.schemas.find(db); it != v.schemas.end()) {
            return &it->second;
        }
        Schema s;
        {
            StatementUse st(statement(v, "SELECT name, sort_key FROM ce_databases WHERE oid = ?1"));
            st->bind(1, static_cast<long long>(db));
            if (!st->step()) {
                return nullptr;
            }
            s.oid = db;
            s.name = st->columnText(0);
            s.sortKey = static_cast<CEPROPID>(st->columnInt(1));
        }
        StatementUse st(
            statement(v, "SELECT propid, name, flags FROM ce_properties WHERE db = ?1 ORDER BY position"));
        st->bind(1, static_cast<long long>(db));
        while (st->step()) {
            s.props.push_back({static_cast<CEPROPID>(st->columnInt(0)), st->columnText(1),
                               static_cast<uint32_t>(st->columnInt(2))});
            s.hasAutoNumber = s.hasAutoNumber || PropType(s.props.back().id) == CEVT_AUTO_I4;
        }
        return &v.schemas.emplace(db, std::move(s)).first->second;
    }

    static std::optional<CEOID> databaseByName(Volume& v, const std::string& name) {
        StatementUse st(statement(v, "SELECT oid FROM ce_databases WHERE name = ?1"));
        st->bind(1, name);
        if (!st->step()) {
            return std::nullopt;
        }
        return static_cast<CEOID>(st->columnInt(0));
    }

    static CEOID takeOid(Volume& v) {
        if (v.oidNext == v.oidEnd) {
            // The whole update runs in the first step; the row returned is the block's start.
            StatementUse st(
                statement(v, "UPDATE ce_volume SET next_oid = next_oid + " + std::to_string(kOidBlock) +
                                 " WHERE id = 1 RETURNING next_oid - " + std::to_string(kOidBlock)));
            if (!st->step()) {
                throw Failure{ERROR_BADDB};
            }
            v.oidNext = static_cast<CEOID>(st->columnInt(0));
            v.oidEnd = v.oidNext + kOidBlock;
        }
        return v.oidNext++;
    }

    static bool recordExists(Volume& v, const Schema& s, CEOID record) {
        StatementUse st(statement(v, "SELECT 1 FROM " + s.table() + " WHERE oid = ?1"));
        st->bind(1, static_cast<long long>(record));
        return st->step();
    }

    static void createSortIndex(Volume& v, const std::string& table, CEPROPID key, uint32_t flags) {
        bool unique = (flags & CEDB_SORT_UNIQUE) != 0;
        v.db->exec(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + table + "_sort ON " +
                   table + "(" + columnOf(key) + ")");
    }

    static Result failureOf(Volume& v) {
        int code = t_failure != SQLITE_OK ? t_failure : sqlite3_extended_errcode(v.db->handle());
        return resultOf(code);
    }

    // Runs `work` under the lock and turns failures into the phone's error codes.
    template <typename F>
    Result guarded(F&& work) {
        std::lock_guard guard(lock);
        try {
            work();
            return ERROR_SUCCESS;
        } catch (const Failure& f) {
            return f.code;
        } catch (const PlatformError&) {
            return ERROR_WRITE_FAULT;
        } catch (const std::bad_alloc&) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    }

    // Same, for work on one volume: a SQLite failure gives the code of that volume's last error.
    template <typename F>
    Result onVolume(CeVolumeId id, F&& work) {
        std::unique_lock guard(lock);
        waitForBatch(guard, id);
        return volumeCodes([&](Volume*& v) {
            v = &volume(id);
            work(*v);
        });
    }

    template <typename F>
    Result onHandle(CeDbHandle h, F&& work) {
        std::unique_lock guard(lock);
        waitForBatchOfHandle(guard, h);
        return volumeCodes([&](Volume*& v) {
            auto [vol, s] = open(h);
            v = vol;
            work(*vol, *s);
        });
    }

    // Runs `work`, which names the volume it reaches in its argument as soon as it has it, and
    // turns failures into the phone's error codes: a SQLite failure gives the code of that
    // volume's last error, or ERROR_WRITE_FAULT when no volume was reached.
    template <typename F>
    Result volumeCodes(F&& work) {
        t_failure = SQLITE_OK;
        Volume* v = nullptr;
        try {
            work(v);
            return ERROR_SUCCESS;
        } catch (const Failure& f) {
            return f.code;
        } catch (const PlatformError&) {
            return v ? failureOf(*v) : ERROR_WRITE_FAULT;
        } catch (const std::bad_alloc&) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    }
};

CSqliteDatabaseVolume::CSqliteDatabaseVolume() : _impl(std::make_unique<Impl>()) {}

CSqliteDatabaseVolume::~CSqliteDatabaseVolume() = default;

Result CSqliteDatabaseVolume::mount(const std::filesystem::path& file, CeVolumeId& volume, std::string* why) {
    std::lock_guard guard(_impl->lock);
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(file, ec);
    if (ec) {
        canonical = file;
    }
    for (auto& [id, v] : _impl->volumes) {
        if (v.file == canonical) {
            ++v.mounts;
            volume = id;
            return ERROR_SUCCESS;
        }
    }
    auto fail = [&](Result code, const std::string& text) {
        if (why) {
            *why = text;
        }
        return code;
    };
    if (!std::filesystem::is_directory(canonical.parent_path(), ec)) {
        return fail(ERROR_PATH_NOT_FOUND, file.string() + ": the folder does not exist");
    }
    Volume v;
    v.file = canonical;
    try {
        v.db = std::make_unique<CSqliteConnection>(canonical, true);
        int appId = 0;
        int format = 0;
        {
            CSqliteStatement st(*v.db, "PRAGMA application_id");
            appId = st.step() ? static_cast<int>(st.columnInt(0)) : 0;
        }
        {
            CSqliteStatement st(*v.db, "PRAGMA user_version");
            format = st.step() ? static_cast<int>(st.columnInt(0)) : 0;
        }
        long long tables = 0;
        {
            CSqliteStatement st(*v.db, "SELECT count(*) FROM sqlite_master");
            tables = st.step() ? st.columnInt(0) : 0;
        }
        if (appId == 0 && tables == 0) {
            Transaction t(v);
            v.db->exec(kCatalog);
            v.db->exec("PRAGMA application_id = " + std::to_string(kApplicationId));
            v.db->exec("PRAGMA user_version = " + std::to_string(kFormat));
            t.commit();
        } else if (appId != kApplicationId) {
            return fail(ERROR_BADDB, file.string() + ": not a database volume (a database of another kind)");
        } else if (format != kFormat) {
            return fail(ERROR_BADDB,
                        file.string() + ": database volume of unknown format " + std::to_string(format));
        }
        v.db->tryExec("PRAGMA journal_mode=WAL");
        v.db->exec("PRAGMA synchronous=NORMAL");
    } catch (const PlatformError& e) {
        // Only a file SQLite finds damaged, or one it cannot make sense of, is a bad database: a
        // full disk or a refused write says nothing about the data, which must stay where it is.
        const Result rc = e.sqliteCode() == 0 ? ERROR_BADDB : resultOf(e.sqliteCode());
        if (rc != ERROR_BADDB) {
            return fail(rc, std::string(e.what()));
        }
        return fail(ERROR_BADDB, std::string(e.what()) + " (not a database volume)");
    }
    v.mounts = 1;
    CeVolumeId id = _impl->nextVolume++;
    if (_impl->nextVolume == kInvalidVolume) {
        _impl->nextVolume = 1;
    }
    _impl->volumes.emplace(id, std::move(v));
    volume = id;
    return ERROR_SUCCESS;
}

Result CSqliteDatabaseVolume::unmount(CeVolumeId volume) {
    return _impl->onVolume(volume, [&](Volume& v) {
        if (--v.mounts > 0) {
            return;
        }
        if (v.batchDepth > 0) {
            // The owner unmounts with its batch open: the batch is given up.
            v.db->tryExec("ROLLBACK");
            v.forgetReservedOids();
            v.batchDepth = 0;
            _impl->batchEnded.notify_all();
        }
        std::erase_if(_impl->handles, [&](const auto& h) { return h.second.volume == volume; });
        v.statements.clear();
        v.db->tryExec("PRAGMA wal_checkpoint(TRUNCATE)");
        _impl->volumes.erase(volume);
    });
}

Result CSqliteDatabaseVolume::flush(CeVolumeId volume) {
    return _impl->onVolume(volume, [&](Volume& v) {
        if (v.batchDepth > 0) {
            // Made durable when the batch commits.
            return;
        }
        // Pending reads would keep the checkpoint from finishing.
        for (auto& [sql, st] : v.statements) {
            st->reset();
        }
        // A passive checkpoint syncs the log and copies it into the file, without the truncation
        // and its extra syncs: the log's space is used again from its start anyway.
        v.db->exec("PRAGMA wal_checkpoint(PASSIVE)");
    });
}

Result CSqliteDatabaseVolume::beginBatch(CeVolumeId volume) {
    return _impl->onVolume(volume, [&](Volume& v) {
        if (v.batchDepth == 0) {
            v.db->exec("BEGIN IMMEDIATE");
            v.batchOwner = std::this_thread::get_id();
            v.batchFailed = false;
        }
        ++v.batchDepth;
    });
}

Result CSqliteDatabaseVolume::endBatch(CeVolumeId volume, bool commit) {
    return _impl->onVolume(volume, [&](Volume& v) {
        if (v.batchDepth == 0) {
            throw Failure{ERROR_INVALID_PARAMETER};
        }
        v.batchFailed = v.batchFailed || !commit;
        if (--v.batchDepth > 0) {
            return;
        }
        _impl->batchEnded.notify_all();
        for (auto& [sql, st] : v.statements) {
            st->reset();
        }
        if (v.batchFailed) {
            v.db->tryExec("ROLLBACK");
            v.forgetReservedOids();
            // Databases created or changed in the batch are gone again.
            Impl::schemaChanged(v);
            if (commit) {
                throw Failure{ERROR_INVALID_DATA};
            }
            return;
        }
        if (!v.db->tryExec("COMMIT")) {
            int code = sqlite3_extended_errcode(v.db->handle());
            v.db->tryExec("ROLLBACK");
            v.forgetReservedOids();
            Impl::schemaChanged(v);
            throw Failure{resultOf(code)};
        }
    });
}

Result CSqliteDatabaseVolume::createDatabase(CeVolumeId volume, const CeDatabaseInfo& info, CEOID& database) {
    if (info.name.empty() || info.name.size() > CEDB_MAXDBASENAMELEN) {
        return ERROR_BAD_LENGTH;
    }
    bool keyFound = false;
    for (size_t i = 0; i < info.props.size(); ++i) {
        const auto& p = info.props[i];
        if (!knownType(p.id)) {
            return ERROR_INVALID_PARAMETER;
        }
        for (size_t j = 0; j < i; ++j) {
            if (info.props[j].id == p.id) {
                return ERROR_ALREADY_EXISTS;
            }
        }
        keyFound = keyFound || p.id == info.sortKey;
    }
    if (!keyFound) {
        return ERROR_INVALID_PARAMETER;
    }
    CEOID created = 0;
    Result r = _impl->onVolume(volume, [&](Volume& v) {
        if (Impl::databaseByName(v, info.name)) {
            throw Failure{ERROR_DUP_NAME};
        }
        Transaction t(v);
        created = Impl::takeOid(v);
        {
            CSqliteStatement st(
                *v.db,
                "INSERT INTO ce_databases(oid, name, type, sort_key, sort_flags) VALUES (?1, ?2, ?3, "
                "?4, ?5)");
            st.bind(1, static_cast<long long>(created))
                .bind(2, info.name)
                .bind(3, static_cast<long long>(info.type))
                .bind(4, static_cast<long long>(info.sortKey))
                .bind(5, static_cast<long long>(info.sortFlags))
                .run();
        }
        std::string table = tableOf(created);
        std::string columns = "oid INTEGER PRIMARY KEY";
        CSqliteStatement st(*v.db, "INSERT INTO ce_properties VALUES (?1, ?2, ?3, ?4, ?5)");
        for (size_t i = 0; i < info.props.size(); ++i) {
            const auto& p = info.props[i];
            columns += ", " + columnOf(p.id) + (PropType(p.id) == CEVT_LPWSTR ? " TEXT" : " INTEGER");
            st.bind(1, static_cast<long long>(created))
                .bind(2, static_cast<long long>(p.id))
                .bind(3, p.name)
                .bind(4, static_cast<long long>(p.flags))
                .bind(5, static_cast<long long>(i))
                .run();
            st.reset();
        }
        v.db->exec("CREATE TABLE " + table + "(" + columns + ")");
        Impl::createSortIndex(v, table, info.sortKey, info.sortFlags);
        t.commit();
        Impl::schemaChanged(v);
    });
    if (r == ERROR_SUCCESS) {
        database = created;
    }
    return r;
}

Result CSqliteDatabaseVolume::openDatabase(CeVolumeId volume, const std::string& name, CEPROPID sortKey,
                                           CeDbHandle& handle, CEOID& database) {
    CEOID found = 0;
    CeDbHandle h = 0;
    Result r = _impl->onVolume(volume, [&](Volume& v) {
        auto oid = Impl::databaseByName(v, name);
        if (!oid) {
            throw Failure{ERROR_FILE_NOT_FOUND};
        }
        const Schema* s = Impl::schema(v, *oid);
        if (!s || (sortKey != 0 && sortKey != s->sortKey)) {
            throw Failure{ERROR_INVALID_PARAMETER};
        }
        found = *oid;
        h = _impl->nextHandle++;
        if (_impl->nextHandle == 0) {
            _impl->nextHandle = 1;
        }
        _impl->handles[h] = {volume, found};
    });
    if (r == ERROR_SUCCESS) {
        handle = h;
        database = found;
    }
    return r;
}

Result CSqliteDatabaseVolume::closeDatabase(CeDbHandle handle) {
    return _impl->guarded([&] {
        if (_impl->handles.erase(handle) == 0) {
            throw Failure{ERROR_INVALID_HANDLE};
        }
    });
}

Result CSqliteDatabaseVolume::seekBeginning(CeDbHandle handle, uint32_t offset, CEOID& record) {
    CEOID found = 0;
    Result r = _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        StatementUse st(Impl::statement(v, "SELECT oid FROM " + s.table() + " ORDER BY " +
                                               columnOf(s.sortKey) + ", oid LIMIT 1 OFFSET ?1"));
        st->bind(1, static_cast<long long>(offset));
        if (!st->step()) {
            throw Failure{ERROR_NO_MORE_ITEMS};
        }
        found = static_cast<CEOID>(st->columnInt(0));
    });
    if (r == ERROR_SUCCESS) {
        record = found;
    }
    return r;
}

Result CSqliteDatabaseVolume::seekValueFirstEqual(CeDbHandle handle, const CePropVal& value, CEOID& record) {
    CEOID found = 0;
    Result r = _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        if (!s.find(value.propid) || value.isNull() || !fits(value)) {
            throw Failure{ERROR_INVALID_PARAMETER};
        }
        StatementUse st(Impl::statement(v, "SELECT oid FROM " + s.table() + " WHERE " +
                                               columnOf(value.propid) + " = ?1 ORDER BY " +
                                               columnOf(s.sortKey) + ", oid LIMIT 1"));
        bindValue(*st, 1, value);
        if (!st->step()) {
            throw Failure{ERROR_NO_MORE_ITEMS};
        }
        found = static_cast<CEOID>(st->columnInt(0));
    });
    if (r == ERROR_SUCCESS) {
        record = found;
    }
    return r;
}

Result CSqliteDatabaseVolume::recordIds(CeDbHandle handle, std::vector<CEOID>& records) {
    std::vector<CEOID> ids;
    Result r = _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        StatementUse st(Impl::statement(
            v, "SELECT oid FROM " + s.table() + " ORDER BY " + columnOf(s.sortKey) + ", oid"));
        while (st->step()) {
            ids.push_back(static_cast<CEOID>(st->columnInt(0)));
        }
    });
    if (r == ERROR_SUCCESS) {
        records = std::move(ids);
    }
    return r;
}

Result CSqliteDatabaseVolume::recordCount(CeDbHandle handle, uint32_t& count) {
    uint32_t n = 0;
    Result r = _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        StatementUse st(Impl::statement(v, "SELECT count(*) FROM " + s.table()));
        n = st->step() ? static_cast<uint32_t>(st->columnInt(0)) : 0;
    });
    if (r == ERROR_SUCCESS) {
        count = n;
    }
    return r;
}

Result CSqliteDatabaseVolume::readAllRecords(CeDbHandle handle, const RecordVisit& visit) {
    return _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        std::string sql = "SELECT oid";
        for (const auto& p : s.props) {
            sql += ", " + columnOf(p.id);
        }
        sql += " FROM " + s.table() + " ORDER BY " + columnOf(s.sortKey) + ", oid";
        StatementUse st(Impl::statement(v, sql));
        // One vector of values for all rows: its texts keep their room from row to row.
        std::vector<CePropVal> values(s.props.size());
        while (st->step()) {
            for (size_t i = 0; i < s.props.size(); ++i) {
                values[i] = columnValue(*st, static_cast<int>(i) + 1, s.props[i].id);
            }
            visit(static_cast<CEOID>(st->columnInt(0)), values);
        }
    });
}

Result CSqliteDatabaseVolume::readRecord(CeDbHandle handle, CEOID record, const std::vector<CEPROPID>& props,
                                         std::vector<CePropVal>& values) {
    std::vector<CePropVal> out;
    Result r = _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        std::vector<CEPROPID> wanted = props;
        if (wanted.empty()) {
            for (const auto& p : s.props) {
                wanted.push_back(p.id);
            }
        }
        std::string sql = "SELECT oid";
        for (CEPROPID id : wanted) {
            if (!s.find(id)) {
                throw Failure{ERROR_INVALID_PARAMETER};
            }
            sql += ", " + columnOf(id);
        }
        sql += " FROM " + s.table() + " WHERE oid = ?1";
        StatementUse st(Impl::statement(v, sql));
        st->bind(1, static_cast<long long>(record));
        if (!st->step()) {
            throw Failure{ERROR_KEY_DELETED};
        }
        for (size_t i = 0; i < wanted.size(); ++i) {
            out.push_back(columnValue(*st, static_cast<int>(i) + 1, wanted[i]));
        }
    });
    if (r == ERROR_SUCCESS) {
        values = std::move(out);
    }
    return r;
}

Result CSqliteDatabaseVolume::writeRecord(CeDbHandle handle, CEOID record,
                                          const std::vector<CePropVal>& values, CEOID& written) {
    return write(handle, record, values, written, nullptr);
}

Result CSqliteDatabaseVolume::addRecord(CeDbHandle handle, const std::vector<CePropVal>& values,
                                        CEOID& written, int32_t& autoNumber) {
    return write(handle, 0, values, written, &autoNumber);
}

Result CSqliteDatabaseVolume::write(CeDbHandle handle, CEOID record, const std::vector<CePropVal>& values,
                                    CEOID& written, int32_t* autoNumber) {
    CEOID result = 0;
    int32_t numbered = 0;
    Result r = _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        for (size_t i = 0; i < values.size(); ++i) {
            if (!s.find(values[i].propid) || !fits(values[i])) {
                throw Failure{ERROR_INVALID_PARAMETER};
            }
            for (size_t j = 0; j < i; ++j) {
                if (values[j].propid == values[i].propid) {
                    throw Failure{ERROR_INVALID_PARAMETER};
                }
            }
        }
        auto given = [&](CEPROPID id) -> const CePropVal* {
            for (const auto& val : values) {
                if (val.propid == id) {
                    return &val;
                }
            }
            return nullptr;
        };
        // A not-null property may not be cleared, and a new record must carry it (auto-numbers
        // are filled in below).
        for (const auto& p : s.props) {
            if (!(p.flags & CEDB_PROPNOTNULL)) {
                continue;
            }
            const CePropVal* val = given(p.id);
            bool missing = val ? val->isNull() : (record == 0 && PropType(p.id) != CEVT_AUTO_I4);
            if (missing) {
                throw Failure{ERROR_INVALID_PARAMETER};
            }
        }
        // The counters come first and the record's own statement last: inside a batch a failed
        // write leaves at most a number skipped.
        Transaction t(v, InBatch::StatementAtomic);
        std::vector<CePropVal> row = values;
        if (record == 0 && s.hasAutoNumber) {
            // Auto-numbers: the next number of the database, or past a number written explicitly.
            long long nextAuto = 1;
            {
                StatementUse st(Impl::statement(v, "SELECT next_auto FROM ce_databases WHERE oid = ?1"));
                st->bind(1, static_cast<long long>(s.oid));
                nextAuto = st->step() ? st->columnInt(0) : 1;
            }
            long long newNext = nextAuto;
            for (const auto& p : s.props) {
                if (PropType(p.id) != CEVT_AUTO_I4) {
                    continue;
                }
                const CePropVal* val = given(p.id);
                if (!val || val->isNull()) {
                    std::erase_if(row, [&](const CePropVal& x) { return x.propid == p.id; });
                    row.push_back(CePropVal::i4(p.id, static_cast<int32_t>(nextAuto)));
                    numbered = static_cast<int32_t>(nextAuto);
                    newNext = std::max(newNext, nextAuto + 1);
                } else {
                    newNext = std::max(newNext, static_cast<long long>(val->asI4()) + 1);
                }
            }
            if (newNext != nextAuto) {
                StatementUse st(Impl::statement(v, "UPDATE ce_databases SET next_auto = ?1 WHERE oid = ?2"));
                st->bind(1, newNext).bind(2, static_cast<long long>(s.oid)).run();
            }
        }
        if (record == 0) {
            result = Impl::takeOid(v);
            std::string sql = "INSERT INTO " + s.table() + "(oid";
            std::string params = "?1";
            for (size_t i = 0; i < row.size(); ++i) {
                sql += ", " + columnOf(row[i].propid);
                params += ", ?" + std::to_string(i + 2);
            }
            sql += ") VALUES (" + params + ")";
            StatementUse st(Impl::statement(v, sql));
            st->bind(1, static_cast<long long>(result));
            for (size_t i = 0; i < row.size(); ++i) {
                bindValue(*st, static_cast<int>(i) + 2, row[i]);
            }
            st->run();
        } else {
            if (!Impl::recordExists(v, s, record)) {
                throw Failure{ERROR_KEY_DELETED};
            }
            result = record;
            if (!row.empty()) {
                std::string sql = "UPDATE " + s.table() + " SET ";
                for (size_t i = 0; i < row.size(); ++i) {
                    sql += (i ? ", " : "") + columnOf(row[i].propid) + " = ?" + std::to_string(i + 2);
                }
                sql += " WHERE oid = ?1";
                StatementUse st(Impl::statement(v, sql));
                st->bind(1, static_cast<long long>(record));
                for (size_t i = 0; i < row.size(); ++i) {
                    bindValue(*st, static_cast<int>(i) + 2, row[i]);
                }
                st->run();
            }
        }
        t.commit();
    });
    if (r == ERROR_SUCCESS) {
        written = result;
        if (autoNumber) {
            *autoNumber = numbered;
        }
    }
    return r;
}

Result CSqliteDatabaseVolume::deleteRecord(CeDbHandle handle, CEOID record) {
    if (record == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return _impl->onHandle(handle, [&](Volume& v, const Schema& s) {
        StatementUse st(Impl::statement(v, "DELETE FROM " + s.table() + " WHERE oid = ?1"));
        st->bind(1, static_cast<long long>(record)).run();
        if (v.db->changes() == 0) {
            throw Failure{ERROR_KEY_DELETED};
        }
    });
}

Result CSqliteDatabaseVolume::propertyCount(CeDbHandle handle, uint32_t& count) {
    uint32_t n = 0;
    Result r =
        _impl->onHandle(handle, [&](Volume&, const Schema& s) { n = static_cast<uint32_t>(s.props.size()); });
    if (r == ERROR_SUCCESS) {
        count = n;
    }
    return r;
}

Result CSqliteDatabaseVolume::addProperties(CeVolumeId volume, CEOID database,
                                            const std::vector<CePropSpec>& props) {
    for (size_t i = 0; i < props.size(); ++i) {
        if (!knownType(props[i].id)) {
            return ERROR_INVALID_PARAMETER;
        }
        for (size_t j = 0; j < i; ++j) {
            if (props[j].id == props[i].id) {
                return ERROR_ALREADY_EXISTS;
            }
        }
    }
    return _impl->onVolume(volume, [&](Volume& v) {
        const Schema* s = Impl::schema(v, database);
        if (!s) {
            throw Failure{ERROR_INVALID_PARAMETER};
        }
        for (const auto& p : props) {
            if (s->find(p.id)) {
                throw Failure{ERROR_ALREADY_EXISTS};
            }
        }
        std::string table = s->table();
        size_t position = s->props.size();
        // Statements prepared on the table must go before its columns change.
        v.statements.clear();
        Transaction t(v);
        CSqliteStatement st(*v.db, "INSERT INTO ce_properties VALUES (?1, ?2, ?3, ?4, ?5)");
        for (const auto& p : props) {
            v.db->exec("ALTER TABLE " + table + " ADD COLUMN " + columnOf(p.id) +
                       (PropType(p.id) == CEVT_LPWSTR ? " TEXT" : " INTEGER"));
            st.bind(1, static_cast<long long>(database))
                .bind(2, static_cast<long long>(p.id))
                .bind(3, p.name)
                .bind(4, static_cast<long long>(p.flags))
                .bind(5, static_cast<long long>(position++))
                .run();
            st.reset();
        }
        t.commit();
        Impl::schemaChanged(v);
    });
}

Result CSqliteDatabaseVolume::deleteDatabase(CeVolumeId volume, CEOID database) {
    return _impl->onVolume(volume, [&](Volume& v) {
        if (!Impl::schema(v, database)) {
            throw Failure{ERROR_INVALID_PARAMETER};
        }
        v.statements.clear();
        Transaction t(v);
        v.db->exec("DROP TABLE " + tableOf(database));
        CSqliteStatement a(*v.db, "DELETE FROM ce_properties WHERE db = ?1");
        a.bind(1, static_cast<long long>(database)).run();
        CSqliteStatement b(*v.db, "DELETE FROM ce_databases WHERE oid = ?1");
        b.bind(1, static_cast<long long>(database)).run();
        t.commit();
        Impl::schemaChanged(v);
        std::erase_if(_impl->handles, [&](const auto& h) { return h.second.database == database; });
    });
}

}  // namespace platform
