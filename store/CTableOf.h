#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "core/CExceptionDB.h"
#include "store/CTableBase.h"

// The part every concrete table shares, for its record type: writing a record as properties and
// reading it back, the cache vector of all rows (loaded on first use, dropped by every change),
// lookups by key and the integrity check. A concrete table gives its schema, the conversion of
// its record to and from property values, and its own queries.
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
        RowsChanged();
    }

    int FindAndFill(CStrBase& base) override {
        auto& record = static_cast<TRecord&>(base);
        int found = 0;
        WithLoadedCache([&] {
            found = 0;
            for (const TRecord& row : _cache) {
                if (row.GetKey() == record.GetKey()) {
                    record = row;
                    found = 1;
                    return;
                }
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
            std::vector<TRecord> rows;
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

    // The cache vector of every row (loaded when needed). Valid until the next change of the table.
    virtual std::vector<TRecord>* GetAllRecords() {
        CheckAndLoadCache();
        return &_cache;
    }

    // Calls `visit` with every cached row, under the table's lock (the cache is loaded first).
    template <typename Visit>
    void ForEachCached(Visit visit) {
        WithLoadedCache([&] {
            for (const TRecord& row : _cache) {
                visit(row);
            }
        });
    }

    // A copy of every row, safe to keep across changes.
    std::vector<TRecord> GetAllRecordsCopy() {
        std::vector<TRecord> copy;
        WithLoadedCache([&] { copy = _cache; });
        return copy;
    }

    // Runs `use` on the loaded cache under the table's lock; loads it again when it was
    // invalidated between the load and the lock (`use` runs once, on a valid cache).
    template <typename Use>
    void WithLoadedCache(Use use) {
        for (;;) {
            CheckAndLoadCache();
            std::lock_guard lock(CriticalSection());
            if (IsCacheValid()) {
                use();
                return;
            }
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
    // Writes a new row; auto-numbered tables learn the key the volume gave it.
    void AddRecord(TRecord& record) {
        platform::CEOID oid = 0;
        const std::vector<platform::CePropVal> props = ToProps(record, record.GetKey() != -1);
        platform::Result r =
            WithHandle([&](platform::CeDbHandle h) { return Volume().writeRecord(h, 0, props, oid); });
        if (r != platform::ERROR_SUCCESS) {
            ManageDBErrorInsertRecord(r);
            return;
        }
        if (HasAutoKey()) {
            FlushVolume();
            record.SetCEOID(oid);
            std::vector<platform::CePropVal> values;
            r = WithHandle(
                [&](platform::CeDbHandle h) { return Volume().readRecord(h, oid, {GetPIDKey()}, values); });
            if (r != platform::ERROR_SUCCESS || values.empty()) {
                ManageDBErrorReadRecord(r == platform::ERROR_SUCCESS ? platform::ERROR_NO_DATA : r);
            } else {
                record.SetKey(values.front().asI4());
            }
        }
        RowsChanged();
    }

    // Deletes the given rows (and what depends on them), dropping the cache once at the end so
    // that no cache vector is released while the rows are walked.
    void DeleteRows(std::vector<TRecord>& doomed) {
        SetAllowInvalidateChild(0);
        try {
            for (TRecord& row : doomed) {
                Delete(row);
            }
        } catch (...) {
            SetAllowInvalidateChild(1);
            InvalidateCache();
            throw;
        }
        SetAllowInvalidateChild(1);
        InvalidateCache();
    }

    // Reads every row of the database in key order.
    void ReadAll(std::vector<TRecord>& rows) {
        std::vector<platform::CEOID> ids;
        platform::Result r = WithHandle([&](platform::CeDbHandle h) { return Volume().recordIds(h, ids); });
        if (r != platform::ERROR_SUCCESS) {
            ManageDBErrorSeekRecord(r);
            return;
        }
        rows.reserve(ids.size());
        for (platform::CEOID oid : ids) {
            std::vector<platform::CePropVal> values;
            r = WithHandle([&](platform::CeDbHandle h) { return Volume().readRecord(h, oid, {}, values); });
            if (r != platform::ERROR_SUCCESS) {
                ManageDBErrorReadRecord(r);
                continue;
            }
            TRecord record;
            FromProps(values, record);
            record.SetCEOID(oid);
            rows.push_back(std::move(record));
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

    std::vector<TRecord> _cache;
};
