#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/CExceptionDB.h"
#include "store/CRowCache.h"
#include "store/CTableBase.h"

// The part every concrete table shares, for its record type: writing a record as properties and
// reading it back, the cache of all rows (loaded on first use with one read, kept up to date by
// every write of this table), lookups by key and the integrity check. A concrete table gives its schema, the
// conversion of its record to and from property values, and its own queries.
template <typename TRecord>
class CTableOf : public CTableBase {
  public:
    using CTableBase::CTableBase;

    // The database of this table: name, type, sort order and properties.
    virtual platform::CeDatabaseInfo Schema() const = 0;
    // The record as property values; the auto-number key only when `withKey` is true.
    virtual std::vector<platform::CePropVal> ToProps(const TRecord& record, bool withKey) const = 0;
    virtual void FromProps(const std::vector<platform::CePropVal>& values, TRecord& record) const = 0;
    // Whether the volume numbers the keys of new rows.
    virtual bool HasAutoKey() const = 0;
    // The exception text of a failed update.
    virtual std::string UpdateFailureText() const = 0;

    void CreateTable() override { CreateDatabase(Schema()); }
    void Open(int insertDefaults) override { OpenDatabase(insertDefaults); }
    platform::CEPROPID GetPIDKey() override { return Schema().sortKey; }
    std::unique_ptr<CStrBase> CreateStr() override { return std::make_unique<TRecord>(); }

    void Add(CStrBase& record) override { AddRecord(static_cast<TRecord&>(record)); }

    void Update(CStrBase& base) override {
        auto& record = static_cast<TRecord&>(base);
        platform::CEOID oid = Find(record, 1);
        platform::CEOID written = 0;
        const std::vector<platform::CePropVal> values = ToProps(record, false);
        if (oid == 0 || WithHandle([&](platform::CeDbHandle h) {
                            return Volume().writeRecord(h, oid, values, written);
                        }) != platform::ERROR_SUCCESS) {
            throw CExceptionDB(UpdateFailureText());
        }
        CacheStore(record);
    }

    int FindAndFill(CStrBase& base) override {
        auto& record = static_cast<TRecord&>(base);
        int found = 0;
        WithLoadedCache([&] {
            const TRecord* row = CachedByKey(record.GetKey());
            found = row ? 1 : 0;
            if (row) {
                record = *row;
            }
        });
        return found;
    }

    // Reads every row when the cache is invalid. The rows are read without the table's lock (a
    // read may wait for another thread's batch, whose writes need the lock) and put in place only
    // when no invalidation came meanwhile.
    void CheckAndLoadCache() override {
        for (;;) {
            uint64_t generation = 0;
            {
                std::lock_guard lock(CriticalSection());
                if (IsCacheValid()) {
                    return;
                }
                generation = CacheGeneration();
            }
            Cache rows;
            ReadAll(rows);
            std::lock_guard lock(CriticalSection());
            if (IsCacheValid()) {
                return;
            }
            if (CacheGeneration() == generation) {
                _cache = std::move(rows);
                SortCache();
                ValidateCache();
                return;
            }
        }
    }

    // Whether the cache is kept in key order (so that lookups by key are binary searches).
    virtual bool CacheInKeyOrder() const { return true; }
    // The order of the cache: by key unless the table keeps another one.
    virtual bool CacheLess(const TRecord& a, const TRecord& b) const { return a.GetKey() < b.GetKey(); }

    // Puts the cache in its order (rows read from the volume come in key order already).
    void SortCache() override {
        std::lock_guard lock(CriticalSection());
        auto less = [this](const TRecord* a, const TRecord* b) { return CacheLess(*a, *b); };
        if (!std::is_sorted(_cache.begin(), _cache.end(), less)) {
            std::stable_sort(_cache.begin(), _cache.end(), less);
        }
    }

    // Calls `visit` with every cached row, under the table's lock (the cache is loaded first).
    template <typename Visit>
    void ForEachCached(Visit visit) {
        WithLoadedCache([&] {
            for (const TRecord* row : _cache) {
                visit(*row);
            }
        });
    }

    // A copy of every row, safe to keep across changes.
    std::vector<TRecord> GetAllRecordsCopy() {
        std::vector<TRecord> copy;
        WithLoadedCache([&] {
            copy.reserve(_cache.size());
            for (const TRecord* row : _cache) {
                copy.push_back(*row);
            }
        });
        return copy;
    }

    // Runs `use` on the loaded cache under the table's lock; loads it again when it was
    // invalidated between the load and the lock (`use` runs once, on a valid cache).
    template <typename Use>
    void WithLoadedCache(Use use) {
        for (;;) {
            {
                std::lock_guard lock(CriticalSection());
                if (IsCacheValid()) {
                    use();
                    return;
                }
            }
            CheckAndLoadCache();
        }
    }

    int CheckTableIntegrity(int& recordCount) override {
        InvalidateCache();
        WithLoadedCache([&] { recordCount = static_cast<int>(_cache.size()); });
        return 1;
    }

    void InvalidateCacheChild() override {
        std::lock_guard lock(CriticalSection());
        _cache.clear();
    }

  protected:
    using Row = std::unique_ptr<TRecord>;
    using Cache = CRowCache<TRecord>;

    // Writes a new row; auto-numbered tables learn the key the volume gave it.
    void AddRecord(TRecord& record) {
        if (platform::Result r = TryAddRecord(record); r != platform::ERROR_SUCCESS) {
            ManageDBErrorInsertRecord(r);
        }
    }

    // AddRecord without the exception: the volume's code.
    platform::Result TryAddRecord(TRecord& record) {
        platform::CEOID oid = 0;
        int32_t number = 0;
        const bool keyGiven = record.GetKey() != -1;
        const std::vector<platform::CePropVal> props = ToProps(record, keyGiven);
        platform::Result r =
            WithHandle([&](platform::CeDbHandle h) { return Volume().addRecord(h, props, oid, number); });
        if (r != platform::ERROR_SUCCESS) {
            return r;
        }
        record.SetCEOID(oid);
        if (HasAutoKey() && !keyGiven) {
            record.SetKey(number);
        }
        CacheStore(record);
        return r;
    }

    // Whether the loaded cache holds a row of the key; nothing when the cache is not loaded.
    std::optional<bool> CacheHolds(int key) {
        std::lock_guard lock(CriticalSection());
        if (!IsCacheValid()) {
            return std::nullopt;
        }
        return CachedByKey(key) != nullptr;
    }

    // Deletes the given rows (and what depends on them) in one change of the volume: all of them
    // or, when one fails, none.
    void DeleteRows(std::vector<TRecord>& doomed) {
        InOneChange([&] {
            for (TRecord& row : doomed) {
                Delete(row);
            }
        });
    }

    // Reads every row of the database in key order, with one read of the volume.
    void ReadAll(Cache& rows) {
        platform::Result r = WithHandle([&](platform::CeDbHandle h) {
            rows.clear();  // a repeated read starts again
            return Volume().readAllRecords(
                h, [&](platform::CEOID oid, const std::vector<platform::CePropVal>& values) {
                    auto record = std::make_unique<TRecord>();
                    FromProps(values, *record);
                    record->SetCEOID(oid);
                    rows.push_back(std::move(record));
                });
        });
        if (r != platform::ERROR_SUCCESS) {
            rows.clear();
            ManageDBErrorSeekRecord(r);
        }
    }

    // The cached row of a key, or null; under the table's lock.
    const TRecord* CachedByKey(int key) const {
        if (CacheInKeyOrder()) {
            auto it = std::lower_bound(_cache.begin(), _cache.end(), key,
                                       [](const TRecord* row, int k) { return row->GetKey() < k; });
            return it != _cache.end() && (*it)->GetKey() == key ? *it : nullptr;
        }
        for (const TRecord* row : _cache) {
            if (row->GetKey() == key) {
                return row;
            }
        }
        return nullptr;
    }

    // Where the cached row of an object is, or the end.
    typename Cache::iterator CachedByObject(const CStrBase& record) {
        if (CacheInKeyOrder()) {
            auto it = std::lower_bound(_cache.begin(), _cache.end(), record.GetKey(),
                                       [](const TRecord* row, int k) { return row->GetKey() < k; });
            return it != _cache.end() && (*it)->GetCEOID() == record.GetCEOID() ? it : _cache.end();
        }
        return std::find_if(_cache.begin(), _cache.end(),
                            [&](const TRecord* row) { return row->GetCEOID() == record.GetCEOID(); });
    }

    // A row was written: a loaded cache takes it in (in place of its older version); a cache
    // not loaded stays so, and a load running meanwhile starts again.
    void CacheStore(const TRecord& written) {
        auto row = std::make_unique<TRecord>();
        // The row as the volume holds it now.
        FromProps(ToProps(written, true), *row);
        row->SetCEOID(written.GetCEOID());
        std::lock_guard lock(CriticalSection());
        if (!IsCacheValid()) {
            DropCacheState();
            return;
        }
        if (auto old = CachedByObject(*row); old != _cache.end()) {
            _cache.erase(old);
        }
        auto at = std::upper_bound(_cache.begin(), _cache.end(), row.get(),
                                   [this](const TRecord* a, const TRecord* b) { return CacheLess(*a, *b); });
        _cache.insert(at, std::move(row));
    }

    void CacheForget(const CStrBase& record) override {
        std::lock_guard lock(CriticalSection());
        if (!IsCacheValid()) {
            DropCacheState();
            return;
        }
        if (auto old = CachedByObject(record); old != _cache.end()) {
            _cache.erase(old);
        }
    }

    // Finds a value of a property among read values (null when missing).
    static platform::CePropVal Value(const std::vector<platform::CePropVal>& values, platform::CEPROPID id) {
        for (const auto& v : values) {
            if (v.propid == id) {
                return v;
            }
        }
        return platform::CePropVal{id, {}};
    }

    Cache _cache;
};
