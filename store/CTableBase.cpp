#include "store/CTableBase.h"

#include <vector>

#include "core/CExceptionDB.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MemoryState.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "platform/Services.h"

using platform::CEOID;
using platform::Result;

namespace {

// The phone's name of an error code, as the insert, fill and read messages show it.
const char* ErrorName(Result code) {
    switch (code) {
        case platform::ERROR_FILE_NOT_FOUND:
            return "ERROR_FILE_NOT_FOUND";
        case platform::ERROR_ACCESS_DENIED:
            return "ERROR_ACCESS_DENIED";
        case platform::ERROR_INVALID_HANDLE:
            return "ERROR_INVALID_HANDLE";
        case platform::ERROR_NOT_ENOUGH_MEMORY:
            return "ERROR_NOT_ENOUGH_MEMORY";
        case platform::ERROR_BAD_LENGTH:
            return "ERROR_BAD_LENGTH";
        case platform::ERROR_SEEK:
            return "ERROR_SEEK";
        case platform::ERROR_SHARING_VIOLATION:
            return "ERROR_SHARING_VIOLATION";
        case platform::ERROR_INVALID_PARAMETER:
            return "ERROR_INVALID_PARAMETER";
        case platform::ERROR_DISK_FULL:
            return "ERROR_DISK_FULL";
        case platform::ERROR_INSUFFICIENT_BUFFER:
            return "ERROR_INSUFFICIENT_BUFFER";
        case platform::ERROR_ALREADY_EXISTS:
            return "ERROR_ALREADY_EXISTS";
        case platform::ERROR_NO_DATA:
            return "ERROR_NO_DATA";
        case platform::ERROR_NO_MORE_ITEMS:
            return "ERROR_NO_MORE_ITEMS";
        case platform::ERROR_KEY_DELETED:
            return "ERROR_KEY_DELETED";
        case platform::ERROR_NOT_FOUND:
            return "ERROR_NOT_FOUND";
        default:
            return "INDETERMINATED";
    }
}

}  // namespace

CTableBase::CTableBase(IDatabase* db, std::string tableName) : _db(db), _tableName(std::move(tableName)) {
    if (_db) {
        _db->AddManagedTable(this);
    }
}

CTableBase::~CTableBase() {
    if (_handleDB.load() != 0 && platform::Services::isInstalled()) {
        Volume().closeDatabase(_handleDB.load());
    }
}

platform::IDatabaseVolume& CTableBase::Volume() {
    return platform::Services::get().databaseVolume();
}

platform::CeVolumeId CTableBase::VolumeId() const {
    return _db ? _db->GetIdVolume() : platform::kInvalidVolume;
}

void CTableBase::ManageDBErrorOpen(int insertDefaults, Result code) {
    switch (code) {
        case platform::ERROR_FILE_NOT_FOUND: {
            // The table does not exist yet (new volume, or a table added in this version).
            if (_creating) {
                // The database just created still cannot be found: do not create it again.
                throw CExceptionDB("Error opening db. %s", "ERROR_FILE_NOT_FOUND");
            }
            _creating = true;
            try {
                CreateTable();
                FlushVolume();
                // Some volumes need a rest before a new database can be opened reliably.
                if (uint32_t pause = Volume().createPauseMs(); pause > 0) {
                    platform::Services::get().clock().sleep(pause);
                }
                Open(insertDefaults);
                if (insertDefaults) {
                    InsertDefaultRecords();
                }
            } catch (...) {
                _creating = false;
                throw;
            }
            _creating = false;
            SetOpen(1);
            FlushVolume();
            return;
        }
        case platform::ERROR_INVALID_HANDLE:
            LogFormateado(1, "Error abriendo base de datos. Invalid handle");
            throw CExceptionDB("Error Opening db. Invalid handle");
        case platform::ERROR_NOT_ENOUGH_MEMORY:
            LogFormateado(1, "Error abriendo base de datos. Falta de memoria");
            throw CExceptionDB("Error Opening db. Out of memory");
        case platform::ERROR_INVALID_PARAMETER:
            LogFormateado(1, "Error abriendo base de datos. Parametro invalido");
            throw CExceptionDB("Error opening db. Invalid parameter");
        case platform::ERROR_NOT_FOUND:
            LogFormateado(1, "Error abriendo base de datos. Volumen no encontrado");
            throw CExceptionDB("Error Opening db. Volumen not found");
        default:
            // Left closed; its later calls fail with an invalid handle.
            LogFormateado(1, "Error abriendo base de datos %s: %d", _tableName, static_cast<int>(code));
            return;
    }
}

void CTableBase::ManageDBErrorCreation(Result code) {
    switch (code) {
        case platform::ERROR_DISK_FULL:
            throw CExceptionDB("Error creating DB. Disco lleno");
        case platform::ERROR_ALREADY_EXISTS:
            throw CExceptionDB("Error creating DB. Propiedad existente");
        case platform::ERROR_NOT_FOUND:
            throw CExceptionDB("Error creating DB. Volumen no encontrado");
        case platform::ERROR_INVALID_PARAMETER:
            throw CExceptionDB("Error creating DB. Invalid parameter");
        case platform::ERROR_ACCESS_DENIED:
            throw CExceptionDB("Error creating DB. Mas de una primary key");
        case platform::ERROR_BAD_LENGTH:
            throw CExceptionDB("Error creating DB. Nombre demasiado largo");
        case platform::ERROR_NOT_SUPPORTED:
            throw CExceptionDB("Error creating DB. No soportado");
        case platform::ERROR_DUP_NAME:
            throw CExceptionDB("Error creating DB. Ya existe");
        default:
            // A table that could not be created must not be taken for created.
            throw CExceptionDB("Error creating DB. %d", static_cast<int>(code));
    }
}

void CTableBase::ManageDBErrorInsertRecord(Result code) {
    throw CExceptionDB(
        SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR INSERTING REGISTRY"), ErrorName(code)));
}

void CTableBase::ManageDBErrorSeekRecord(Result code) {
    switch (code) {
        case platform::ERROR_INVALID_HANDLE:
            throw CExceptionDB("Error seeking registry. ERROR_INVALID_HANDLE");
        case platform::ERROR_NOT_ENOUGH_MEMORY:
            throw CExceptionDB("Error seeking registry. ERROR_NOT_ENOUGH_MEMORY");
        case platform::ERROR_SHARING_VIOLATION:
            throw CExceptionDB("Error seeking registry. ERROR_SHARING_VIOLATION");
        case platform::ERROR_INVALID_PARAMETER:
            throw CExceptionDB("Error seeking registry. ERROR_INVALID_PARAMETER");
        case platform::ERROR_KEY_DELETED:
            throw CExceptionDB("Error seeking registry. ERROR_KEY_DELETED");
        default:
            return;
    }
}

void CTableBase::ManageDBErrorFillRecord(Result code) {
    // Every failed write throws, also for codes without a name of their own: a write that
    // failed silently would lose the caller's data.
    throw CExceptionDB("Error filling record.%s", ErrorName(code));
}

void CTableBase::ManageDBErrorReadRecord(Result code) {
    throw CExceptionDB("Error filling record.%s,%d", ErrorName(code), static_cast<int>(code));
}

void CTableBase::ManageDBErrorAddProperty(Result code) {
    LogFormateado(1, "Error adding property to %s: %d", _tableName, static_cast<int>(code));
    throw CExceptionDB("Error adding property");
}

void CTableBase::Delete(CStrBase& record) {
    InOneChange([&] {
        CEOID oid = Find(record, 0);
        Result r = oid == 0
                       ? platform::ERROR_INVALID_PARAMETER
                       : WithHandle([&](platform::CeDbHandle h) { return Volume().deleteRecord(h, oid); });
        if (r != platform::ERROR_SUCCESS) {
            _errorText = FitBuffer(
                SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR DELETEING REGISTRY"), _tableName),
                kErrorBuffer);
            throw CExceptionDB(_errorText);
        }
        CacheForget(record);
        DeleteCascade(record);
        LogFormateado(1, "record %d deleted in table %s", record.GetKey(), _tableName);
    });
}

void CTableBase::InOneChange(const std::function<void()>& change) {
    if (_db) {
        _db->InOneChange(change);
    } else {
        change();
    }
}

void CTableBase::DeleteAll() {
    std::vector<CEOID> ids;
    if (WithHandle([&](platform::CeDbHandle h) { return Volume().recordIds(h, ids); }) !=
        platform::ERROR_SUCCESS) {
        ids.clear();
    }
    for (CEOID oid : ids) {
        if (WithHandle([&](platform::CeDbHandle h) { return Volume().deleteRecord(h, oid); }) !=
            platform::ERROR_SUCCESS) {
            RowsChanged();
            _errorText = FitBuffer(
                SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR DELETEING REGISTRY"), _tableName),
                kErrorBuffer);
            throw CExceptionDB(_errorText);
        }
    }
    DropCacheState();
    InvalidateCacheChild();
}

CEOID CTableBase::Find(CStrBase& record, int force) {
    if (record.GetCEOID() != 0 && !force) {
        return record.GetCEOID();
    }
    CEOID oid = 0;
    const platform::CePropVal key = platform::CePropVal::i4(GetPIDKey(), record.GetKey());
    Result r = WithHandle([&](platform::CeDbHandle h) { return Volume().seekValueFirstEqual(h, key, oid); });
    if (r != platform::ERROR_SUCCESS) {
        oid = 0;
        if (r != platform::ERROR_NO_MORE_ITEMS) {
            ManageDBErrorSeekRecord(r);
        }
    }
    record.SetCEOID(oid);
    return oid;
}

void CTableBase::OpenBase(int insertDefaults) {
    uint32_t before = LogMemoryState(_tableName.c_str(), 0);
    Open(insertDefaults);
    LogMemoryState(_tableName.c_str(), before);
}

void CTableBase::Close(int invalidate) {
    if (invalidate) {
        DropCacheState();
        if (_allowInvalidateChild) {
            InvalidateCacheChild();
        }
    }
    if (platform::CeDbHandle handle = _handleDB.exchange(0); handle != 0) {
        Volume().closeDatabase(handle);
    }
    _open = 0;
}

void CTableBase::DebugAllRecords() {
    LogFormateado(1, "INIT Dumping table %s", _tableName);
    std::vector<CEOID> ids;
    if (WithHandle([&](platform::CeDbHandle h) { return Volume().recordIds(h, ids); }) !=
        platform::ERROR_SUCCESS) {
        return;
    }
    for (CEOID oid : ids) {
        std::unique_ptr<CStrBase> record = CreateStr();
        if (!record) {
            LogFormateado(1, "Registro no alocado");
            continue;
        }
        std::vector<platform::CePropVal> key;
        if (WithHandle([&](platform::CeDbHandle h) {
                return Volume().readRecord(h, oid, {GetPIDKey()}, key);
            }) != platform::ERROR_SUCCESS ||
            key.empty()) {
            continue;
        }
        record->SetKey(key[0].asI4());
        if (FindAndFill(*record)) {
            std::string line;
            LogFormateado(1, "%s", record->toString(line));
        }
    }
}

int CTableBase::GetNumRecordCount() {
    uint32_t count = 0;
    if (WithHandle([&](platform::CeDbHandle h) { return Volume().recordCount(h, count); }) !=
        platform::ERROR_SUCCESS) {
        return 0;
    }
    return static_cast<int>(count);
}

void CTableBase::InvalidateCache() {
    // Under the table's lock: a load running on another thread must not mark its (older) rows
    // valid after this, nor find its cache emptied behind a valid flag.
    std::lock_guard lock(_criticalSection);
    DropCacheState();
    if (_allowInvalidateChild) {
        InvalidateCacheChild();
    }
}

void CTableBase::DropCacheState() {
    _cacheValid = 0;
    ++_cacheGeneration;
}

void CTableBase::RowsChanged() {
    InvalidateCache();
}

void CTableBase::OpenDatabase(int insertDefaults) {
    platform::CeDbHandle handle = 0;
    CEOID oid = 0;
    Result r = Volume().openDatabase(VolumeId(), _tableName, GetPIDKey(), handle, oid);
    if (r == platform::ERROR_SUCCESS) {
        _handleDB = handle;
        _ceoid = oid;
        _open = 1;
        return;
    }
    ManageDBErrorOpen(insertDefaults, r);
}

void CTableBase::CreateDatabase(const platform::CeDatabaseInfo& info) {
    CEOID oid = 0;
    Result r = Volume().createDatabase(VolumeId(), info, oid);
    if (r != platform::ERROR_SUCCESS) {
        ManageDBErrorCreation(r);
        return;
    }
    _ceoid = oid;
}

void CTableBase::AddProperties(const std::vector<platform::CePropSpec>& props) {
    Result r = Volume().addProperties(VolumeId(), _ceoid.load(), props);
    if (r != platform::ERROR_SUCCESS) {
        ManageDBErrorAddProperty(r);
    }
}

void CTableBase::FlushVolume() {
    Volume().flush(VolumeId());
}
