#pragma once

#include <memory>

#include "platform/IDatabaseVolume.h"

namespace platform {

// Property-database volumes kept in SQLite files, one file per volume.
//
// Each database of a volume is one SQLite table with a column per property (typed, so a record is
// one row and a read is one indexed lookup); its sort order is a unique index on the key column, and
// adding properties adds columns, which keeps the stored rows. A catalog table holds the databases'
// names, types, sort orders and property schemas. Object ids are unique in the volume: databases
// and records draw them from one counter, so an id never names two objects.
//
// Every write is one transaction. The file runs in write-ahead mode with normal syncing: a commit is
// atomic at once and durable after `flush` (or unmount), as on the phone.
class CSqliteDatabaseVolume : public IDatabaseVolume {
  public:
    CSqliteDatabaseVolume();
    ~CSqliteDatabaseVolume() override;
    CSqliteDatabaseVolume(const CSqliteDatabaseVolume&) = delete;
    CSqliteDatabaseVolume& operator=(const CSqliteDatabaseVolume&) = delete;

    Result mount(const std::filesystem::path& file, CeVolumeId& volume, std::string* why = nullptr) override;
    Result unmount(CeVolumeId volume) override;
    Result flush(CeVolumeId volume) override;
    Result beginBatch(CeVolumeId volume) override;
    Result endBatch(CeVolumeId volume, bool commit) override;
    Result createDatabase(CeVolumeId volume, const CeDatabaseInfo& info, CEOID& database) override;
    Result openDatabase(CeVolumeId volume, const std::string& name, CEPROPID sortKey, CeDbHandle& handle,
                        CEOID& database) override;
    Result closeDatabase(CeDbHandle handle) override;
    Result seekBeginning(CeDbHandle handle, uint32_t offset, CEOID& record) override;
    Result seekValueFirstEqual(CeDbHandle handle, const CePropVal& value, CEOID& record) override;
    Result recordIds(CeDbHandle handle, std::vector<CEOID>& records) override;
    Result recordCount(CeDbHandle handle, uint32_t& count) override;
    Result readAllRecords(CeDbHandle handle, const RecordVisit& visit) override;
    Result readRecord(CeDbHandle handle, CEOID record, const std::vector<CEPROPID>& props,
                      std::vector<CePropVal>& values) override;
    Result writeRecord(CeDbHandle handle, CEOID record, const std::vector<CePropVal>& values,
                       CEOID& written) override;
    Result addRecord(CeDbHandle handle, const std::vector<CePropVal>& values, CEOID& written,
                     int32_t& autoNumber) override;
    Result deleteRecord(CeDbHandle handle, CEOID record) override;
    Result propertyCount(CeDbHandle handle, uint32_t& count) override;
    Result addProperties(CeVolumeId volume, CEOID database, const std::vector<CePropSpec>& props) override;
    Result deleteDatabase(CeVolumeId volume, CEOID database) override;
    // A created database is committed, and so durable, before createDatabase returns.
    uint32_t createPauseMs() const override { return 0; }

  private:
    Result write(CeDbHandle handle, CEOID record, const std::vector<CePropVal>& values, CEOID& written,
                 int32_t* autoNumber);

    struct Impl;
    std::unique_ptr<Impl> _impl;
};

}  // namespace platform
