#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/IDatabaseVolume.h"
#include "store/CStrBase.h"

// Common machinery of every table of the device database: the handle of its database on the
// mounted volume, its name and object id, the state of the concrete table's cache, lookups and
// deletes by key, record counts and the translation of volume errors into CExceptionDB with
// fixed texts.
//
// Every volume call goes through platform::Services::get().databaseVolume(). Failed volume calls
// hand their error code to the ManageDBError* methods, which throw (or, for a missing database,
// create it).
class CTableBase {
  public:
    // What a table needs of the database object that owns it: registration in its list of
    // managed tables and the id of the mounted volume (platform::kInvalidVolume while unmounted).
    class IDatabase {
      public:
        virtual ~IDatabase() = default;
        virtual platform::CeVolumeId GetIdVolume() = 0;
        virtual void AddManagedTable(CTableBase* table) = 0;
        // Called by a table whose handle was closed under it (the database was closed by another
        // thread): opens the database again when it is closed. Returns whether it is open now;
        // a database that cannot be reopened says false.
        virtual bool ReopenForUse() { return false; }
        // Runs `change` as one change of the volume: when it throws (or cannot be written),
        // nothing of it stays and every cache is dropped.
        virtual void InOneChange(const std::function<void()>& change) { change(); }
    };

    // The failed delete's message is cut to a buffer of this many characters.
    static constexpr size_t kErrorBuffer = 100;

    // Registers the table with `db` (which may be null in tools that use a table alone).
    CTableBase(IDatabase* db, std::string tableName);
    virtual ~CTableBase();
    CTableBase(const CTableBase&) = delete;
    CTableBase& operator=(const CTableBase&) = delete;

    virtual IDatabase* GetDB() const { return _db; }
    virtual platform::CeDbHandle GetHandleDB() const { return _handleDB.load(); }
    virtual void SetDB(IDatabase* db) { _db = db; }
    virtual void SetHandleDB(platform::CeDbHandle handle) { _handleDB = handle; }
    virtual void SetOpen(int open) { _open = open; }
    virtual int GetOpen() const { return _open.load(); }
    virtual const std::string& GetTableName() const { return _tableName; }

    // A failed open: a missing database is created (and filled with its default rows when
    // `insertDefaults` is non-zero) and opened; handle, memory, parameter and volume errors throw;
    // other codes leave the table closed.
    virtual void ManageDBErrorOpen(int insertDefaults, platform::Result code);
    virtual void ManageDBErrorCreation(platform::Result code);
    virtual void ManageDBErrorInsertRecord(platform::Result code);
    // Seek errors other than the listed ones (ERROR_NO_MORE_ITEMS: nothing found) do not throw.
    virtual void ManageDBErrorSeekRecord(platform::Result code);
    virtual void ManageDBErrorFillRecord(platform::Result code);
    virtual void ManageDBErrorReadRecord(platform::Result code);
    virtual void ManageDBErrorAddProperty(platform::Result code);

    // Removes the record's row (found by key unless the record carries its object id) and its
    // dependent rows (DeleteCascade), all in one change of the volume.
    virtual void Delete(CStrBase& record);
    // Removes every row of the table (no cascade) and drops the cache.
    virtual void DeleteAll();
    virtual void AddNewProperties() {}
    virtual void UpgradeData() {}
    virtual void Add(CStrBase& record) = 0;
    virtual void Update(CStrBase& record) = 0;
    // The object id of the row whose key equals the record's key, 0 when none; stored into the
    // record. A record that already carries an object id keeps it unless `force` is non-zero.
    virtual platform::CEOID Find(CStrBase& record, int force);
    virtual int FindAndFill(CStrBase& record) = 0;
    virtual void CreateTable() = 0;
    virtual void Open(int insertDefaults) = 0;
    virtual void OpenBase(int insertDefaults);
    // Closes the handle; a non-zero `invalidate` drops the cache as well.
    virtual void Close(int invalidate);
    // Writes every row's text form to the debug trace.
    virtual void DebugAllRecords();
    virtual void InsertDefaultRecords() = 0;
    virtual platform::CEPROPID GetPIDKey() = 0;
    // A new empty record of the table's type.
    virtual std::unique_ptr<CStrBase> CreateStr() = 0;
    // Removes the rows that depend on a deleted record.
    virtual void DeleteCascade(CStrBase& record) = 0;
    virtual int GetNumRecordCount();
    virtual void SortCache() {}
    virtual int CheckTableIntegrity(int& recordCount) = 0;
    virtual void CheckAndLoadCache() {}
    // Lets the concrete table drop its cache vector.
    virtual void InvalidateCacheChild() {}

    void InvalidateCache();
    void ValidateCache() { _cacheValid = 1; }
    int IsCacheValid() const { return _cacheValid; }
    // Counts the invalidations: rows read while it changed are older than the table.
    uint64_t CacheGeneration() const { return _cacheGeneration.load(); }
    void SetCacheRefreshBlocked(int blocked) { _cacheRefreshBlocked = blocked; }
    int GetCacheRefreshBlocked() const { return _cacheRefreshBlocked; }
    void SetAllowInvalidateChild(int allow) { _allowInvalidateChild = allow; }
    int GetAllowInvalidateChild() const { return _allowInvalidateChild; }
    void SetMustUpgradeData(int must) { _mustUpgradeData = must; }
    int GetMustUpgradeData() const { return _mustUpgradeData; }
    platform::CEOID GetCEOID() const { return _ceoid.load(); }
    // The text of the last failed delete.
    const std::string& GetErrorText() const { return _errorText; }

  protected:
    static platform::IDatabaseVolume& Volume();
    // The mounted volume of the owning database.
    platform::CeVolumeId VolumeId() const;

    // The common part of every table's Open: opens the database named after the table with its
    // key as sort order; on failure hands the code to ManageDBErrorOpen.
    void OpenDatabase(int insertDefaults);
    // The common part of every table's CreateTable; failures go to ManageDBErrorCreation.
    void CreateDatabase(const platform::CeDatabaseInfo& info);
    // Adds properties to the table's database (the table must be closed); failures go to
    // ManageDBErrorAddProperty.
    void AddProperties(const std::vector<platform::CePropSpec>& props);
    void FlushVolume();
    // Runs one volume call with the table's handle. When the handle was closed under the call
    // (another thread closed the database), the database is opened again and the call repeated,
    // so a reader on another thread never loses its read to a close.
    template <typename Call>
    platform::Result WithHandle(Call call) {
        for (int round = 1;; ++round) {
            platform::CeDbHandle handle = _handleDB.load();
            platform::Result r = handle != 0 ? call(handle) : platform::ERROR_INVALID_HANDLE;
            if (r != platform::ERROR_INVALID_HANDLE || !_db || round >= kReopenRounds ||
                !_db->ReopenForUse()) {
                return r;
            }
            // A handle that stays the same after reopening is bad in itself: no use repeating.
            // No handle may mean the database was closed again meanwhile: the next round reopens.
            if (handle != 0 && _handleDB.load() == handle) {
                return r;
            }
        }
    }
    // Drops the cache state after a change of the rows.
    void RowsChanged();
    // A row was deleted: the table's cache lets it go (the base, knowing no rows, drops it all).
    virtual void CacheForget(const CStrBase&) { InvalidateCache(); }
    // Runs `change` through the owning database as one change of the volume (alone without one).
    void InOneChange(const std::function<void()>& change);
    // Marks the cache invalid and counts the invalidation.
    void DropCacheState();
    void SetCEOID(platform::CEOID ceoid) { _ceoid = ceoid; }

    // Held while the concrete table sorts its cache vector.
    std::recursive_mutex& CriticalSection() { return _criticalSection; }

  private:
    IDatabase* _db;
    // How often a call may find its handle closed and reopen the database before it fails (a
    // table that cannot be opened at all must not loop for ever).
    static constexpr int kReopenRounds = 100;

    std::atomic<platform::CeDbHandle> _handleDB{0};
    std::atomic<int> _open{0};
    std::string _tableName;
    std::atomic<platform::CEOID> _ceoid{0};
    std::string _errorText;
    std::atomic<int> _cacheValid{0};
    std::atomic<uint64_t> _cacheGeneration{0};
    std::atomic<int> _cacheRefreshBlocked{0};
    std::atomic<int> _allowInvalidateChild{1};
    std::atomic<int> _mustUpgradeData{0};
    std::recursive_mutex _criticalSection;
    bool _creating = false;  // inside the creation of the missing database
};
