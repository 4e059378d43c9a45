#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "store/CTableActions.h"
#include "store/CTableBase.h"
#include "store/CTableCell.h"
#include "store/CTableLAC.h"
#include "store/CTablePeriods.h"
#include "store/CTablePlaces.h"

// The device database: the volume file "comm_mgr.db" in the program folder and its five tables
// (lacs, cells, actions, periods, places, handled in that order). One per application.
class CDB : public CTableBase::IDatabase {
  public:
    // The database of the program folder, and the one the application reaches with GetInstance.
    CDB();
    // A database in another volume file (an import being built); not the application's.
    explicit CDB(const std::string& file);
    ~CDB() override;
    CDB(const CDB&) = delete;
    CDB& operator=(const CDB&) = delete;

    static CDB* GetInstance() { return _me.load(); }
    // The instance, opened first when start-up closed it; null when there is none.
    static CDB* GetOpened();

    // Mounts the volume and opens every table (creating missing ones, with their default rows
    // when `insertDefaults` is non-zero), adds missing properties and upgrades older data.
    // Returns 1 when it opened now, 0 when it was open already. Throws CExceptionDB when the
    // volume cannot be mounted.
    virtual int OpenDB(int insertDefaults);
    // Closes every table and unmounts; 1 on success (also when it was closed already).
    virtual int CloseDB(int invalidateCaches);
    platform::CeVolumeId GetIdVolume() override { return _idVolume.load(); }
    virtual CTablePlaces* GetTablePlaces() { return _places.get(); }
    virtual CTableLAC* GetTableLAC() { return _lacs.get(); }
    virtual CTableCell* GetTableCell() { return _cells.get(); }
    virtual CTablePeriods* GetTablePeriods() { return _periods.get(); }
    // The cells in cell mode ("location_mode" non-zero), else the location area codes.
    virtual CTableLocation* GetTableLocations();
    virtual CTableActions* GetTableActions() { return _actions.get(); }
    void AddManagedTable(CTableBase* table) override;
    // A table found its handle closed (another thread closed the database): opens it again.
    bool ReopenForUse() override;
    // Drops every table's cache, so the next read sees what another process wrote.
    void InvalidateCaches();
    // Runs `change` as one change of the volume: all of it is written, or (when it throws or the
    // volume cannot write it) none of it, every cache dropped and the error thrown. Changes nest.
    void InOneChange(const std::function<void()>& change) override;
    virtual void DebugAllRecords();
    virtual void DeleteAllRecords();
    virtual void LoadData();

    // Closes, reopens and checks every table; `recordCount` receives the rows of the good ones.
    int CheckTableIntegrity(int& recordCount);
    int GetTotalRecordCount();
    bool IsOpen() const { return _isOpen.load(); }
    const std::string& GetDBName() const { return _dbName; }
    const std::string& GetDBNameBak() const { return _dbNameBak; }
    // The message of the last volume error.
    std::string GetErrorText() const;

    // Whether opening takes a pending export file in (the program does; a tool that only reads
    // the database does not).
    void SetImportsPendingExport(bool imports) { _exportLookedAt = !imports; }

    // Whether opening a volume file that is not a database (damaged) puts it aside and starts
    // again from the backup or a new database, asking the user (the program does; a tool that
    // only reads must change nothing).
    void SetRecoversDamagedVolume(bool recovers) { _recoversDamaged = recovers; }
    // Whether the last opening failed because the volume file is damaged.
    bool IsVolumeDamaged() const { return _volumeDamaged.load(); }

    // The export file, "Zentrova.xml" in the phone's root folder.
    static std::string XmlPath();
    // The copy of the export file that the user chose to import: it is imported at the next start
    // (and removed once imported). A plain export file is never imported by itself.
    static std::string PendingImportPath();
    // Where a pending import that failed at start is put aside, so it does not fail at every start.
    static std::string FailedImportPath();
    // Writes every place with its cells, area codes, frames and actions to the export file and
    // tells the user. Returns false (after telling) when the file cannot be written.
    bool GetXML(std::string& path);
    // Reads and checks a whole export file without changing anything; false with a message that
    // names the file and, for a fault inside it, the line and element.
    static bool CheckXML(const std::string& path, std::string& error);
    // The same check on the bytes of an export file.
    static bool CheckXMLText(const std::string& bytes, std::string& error);
    // Copies the export file to the pending import; false with a message when it cannot.
    static bool MarkImportPending(std::string& error);
    // Replaces the database contents with an export file (the export file unless told). The file
    // is checked whole first; the new contents are built in a volume of their own and put in
    // place of the database only when complete, so a file that cannot be read, holds a fault or
    // fails half-way leaves the database as it was. Returns whether it replaced them.
    bool ImportFromXML(const std::string& path = XmlPath());

    // Writes a place's attributes, cells, frames and actions into its export element.
    void ExportPlace(const CStrPlace& place, pugi::xml_node& node);

  private:
    void CreateTables();
    int OpenVolumeAndTables(int insertDefaults);
    // At the first opening of the program's database: a pending import replaces the contents (and
    // is removed once imported, or put aside when it fails); on the first start after an
    // installation it is removed unread.
    void ImportPendingExport();
    // Puts a damaged volume file aside (never deleting it) and, when offered and the user wants
    // it, puts the backup in its place; tells the user. False when the file could not be moved.
    bool PutDamagedVolumeAside(const std::string& why, bool offerBackup);
    // Adds the places of a parsed export document to this database's tables.
    void AddFromXml(const pugi::xml_node& root);

    static std::atomic<CDB*> _me;
    std::string _dbName;
    std::string _dbNameBak;
    std::atomic<platform::CeVolumeId> _idVolume{platform::kInvalidVolume};
    std::vector<CTableBase*> _managed;
    std::unique_ptr<CTableLAC> _lacs;
    std::unique_ptr<CTableCell> _cells;
    std::unique_ptr<CTableActions> _actions;
    std::unique_ptr<CTablePeriods> _periods;
    std::unique_ptr<CTablePlaces> _places;
    std::atomic<bool> _isOpen{false};
    std::atomic<bool> _exportLookedAt{false};
    std::atomic<bool> _recoversDamaged{false};
    std::atomic<bool> _volumeDamaged{false};
    // Opening, closing and swapping the volume, and the error text. Recursive: an import swaps
    // the file with it held across its close and reopen, so no reader opens the old file between.
    mutable std::recursive_mutex _lock;
    std::string _errorText;
};
