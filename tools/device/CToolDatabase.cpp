#include "tools/device/CToolDatabase.h"

#include <filesystem>

#include "core/CExceptionDB.h"
#include "platform/Services.h"

namespace {

platform::IDatabaseVolume& volume() {
    return platform::Services::get().databaseVolume();
}

}  // namespace

CToolDatabase::CToolDatabase(const platform::CHome& home) {
    std::filesystem::path file = home.programDir() / "comm_mgr.db";
    if (!std::filesystem::exists(file)) {
        throw CExceptionDB("no database yet at %s: start the program once to create it", file.string());
    }
    _db = std::make_unique<CDB>();
    // The export file waiting for the program's next start is the program's to take in.
    _db->SetImportsPendingExport(false);
    _db->OpenDB(0);
    if (volume().beginBatch(_db->GetIdVolume()) != platform::ERROR_SUCCESS) {
        _db->CloseDB(1);
        throw CExceptionDB("%s: cannot start a change of the database", file.string());
    }
    _inBatch = true;
    // What the tables read from here on comes from inside the transaction.
    for (CTableBase* table : std::initializer_list<CTableBase*>{_db->GetTablePlaces(), _db->GetTablePeriods(),
                                                                _db->GetTableActions(), _db->GetTableLAC(),
                                                                _db->GetTableCell()}) {
        table->InvalidateCache();
    }
}

CToolDatabase::~CToolDatabase() {
    if (_inBatch) {
        volume().endBatch(_db->GetIdVolume(), false);
    }
    _db->CloseDB(1);
}

void CToolDatabase::Commit() {
    _inBatch = false;
    if (volume().endBatch(_db->GetIdVolume(), true) != platform::ERROR_SUCCESS) {
        throw CExceptionDB("%s: the change could not be written", _db->GetDBName());
    }
}
