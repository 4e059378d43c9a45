#include "dialogs/CLocationAssigner.h"

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CExceptionDB.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "schedule/CScheduleEngine.h"
#include "store/CDB.h"
#include "store/CStrCell.h"
#include "store/CStrLAC.h"
#include "store/LocationAssignment.h"

namespace {

CDB& Database() {
    CDB* db = CDB::GetOpened();
    if (!db) {
        throw CExceptionDB("The database is not open");
    }
    return *db;
}

std::string PlaceName(CDB& db, int idPlace) {
    CStrPlace place;
    place.SetId(idPlace);
    return idPlace > 0 && db.GetTablePlaces()->FindAndFill(place) ? place.GetName() : std::string();
}

}  // namespace

bool CLocationAssigner::AreaMode() {
    return CRilMgr::GetLocationModeSetting() == 0;
}

void CLocationAssigner::SetMode(int mode) {
    if (CRilMgr* ril = CRilMgr::GetInstance()) {
        ril->SetLocationMode(mode);
    } else {
        CConfigurationZentrova::GetInstance()->SetLongParameter("location_mode", static_cast<uint32_t>(mode));
    }
    Changed();
}

int CLocationAssigner::CurrentLocation() {
    CRilMgr* ril = CRilMgr::GetInstance();
    if (!ril) {
        return 0;
    }
    return AreaMode() ? ril->GetAreaCode() : ril->GetCellID();
}

std::vector<CStrPlace> CLocationAssigner::Places() {
    return Database().GetTablePlaces()->GetAllRecordsCopy();
}

std::vector<CLocationAssigner::Entry> CLocationAssigner::Entries() {
    CDB& db = Database();
    std::vector<Entry> entries;
    if (AreaMode()) {
        for (const CStrLAC& lac : db.GetTableLAC()->GetAllRecordsCopy()) {
            entries.push_back({lac.GetIdLac(), lac.GetIdPlace(), PlaceName(db, lac.GetIdPlace()), false});
        }
    } else {
        for (const CStrCell& cell : db.GetTableCell()->GetAllRecordsCopy()) {
            entries.push_back(
                {cell.GetIdCell(), cell.GetIdPlace(), PlaceName(db, cell.GetIdPlace()), cell.HasGPSInfo()});
        }
    }
    return entries;
}

bool CLocationAssigner::Find(int location, Entry& entry) {
    for (const Entry& e : Entries()) {
        if (e.location == location && e.idPlace > 0) {
            entry = e;
            return true;
        }
    }
    return false;
}

void CLocationAssigner::Assign(int location, int idPlace) {
    AssignLocation(Database(), AreaMode(), location, idPlace);
    Changed();
}

bool CLocationAssigner::Unassign(int location) {
    CDB& db = Database();
    bool removed = false;
    if (AreaMode()) {
        CStrLAC lac(location, 0);
        if (db.GetTableLAC()->FindAndFill(lac)) {
            db.GetTableLAC()->Delete(lac);
            removed = true;
        }
    } else {
        CStrCell cell(location, 0);
        if (db.GetTableCell()->FindAndFill(cell)) {
            db.GetTableCell()->Delete(cell);
            removed = true;
        }
    }
    if (removed) {
        Changed();
    }
    return removed;
}

bool CLocationAssigner::RemoveGps(int cellId) {
    CDB& db = Database();
    CStrCell cell(cellId, 0);
    if (!db.GetTableCell()->FindAndFill(cell)) {
        return false;
    }
    cell.RemoveGPSInfo();
    db.GetTableCell()->Update(cell);
    return true;
}

void CLocationAssigner::Changed() {
    CCellMgr::GetInstance()->ChangesInDB();
    CScheduleEngine::GetInstance()->ChangeInDB();
}
