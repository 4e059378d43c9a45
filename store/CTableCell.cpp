#include "store/CTableCell.h"

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "store/CDB.h"

using platform::CePropVal;

CTableCell::CTableCell(CDB* db, const std::string& name) : CTableOf(db, name), _owner(db) {}

CTableCell::~CTableCell() = default;

platform::CeDatabaseInfo CTableCell::Schema() const {
    platform::CeDatabaseInfo info;
    info.name = GetTableName();
    info.sortKey = kPropIdCell;
    info.props = {{kPropIdCell, "ID_LAC", platform::CEDB_PROPNOTNULL},
                  {kPropIdPlace, "ID_PLACE", platform::CEDB_PROPNOTNULL},
                  {kPropLongitud, "Longitud", 0},
                  {kPropLatitud, "Latitud", 0}};
    return info;
}

std::vector<CePropVal> CTableCell::ToProps(const CStrCell& cell, bool) const {
    return {CePropVal::i4(kPropIdCell, cell.GetIdCell()), CePropVal::i4(kPropIdPlace, cell.GetIdPlace()),
            CePropVal::text(kPropLongitud, cell.GetLongitud()),
            CePropVal::text(kPropLatitud, cell.GetLatitud())};
}

void CTableCell::FromProps(const std::vector<CePropVal>& values, CStrCell& cell) const {
    cell.SetIdCell(Value(values, kPropIdCell).asI4());
    cell.SetIdPlace(Value(values, kPropIdPlace).asI4());
    cell.SetLongitud(Value(values, kPropLongitud).asText());
    cell.SetLatitud(Value(values, kPropLatitud).asText());
}

std::string CTableCell::UpdateFailureText() const {
    return CTextsMgr::GetInstance()->GetText("ERROR REGISTRY NOT FOUND KEY");
}

void CTableCell::Add(CStrBase& record) {
    auto& cell = static_cast<CStrCell&>(record);
    // A loaded cache knows the stored cells, so a cell it lacks is written without a seek first.
    // Should another program have stored it meanwhile, the write is refused and the seek below
    // finds it.
    if (CacheHolds(cell.GetIdCell()) == false) {
        const platform::Result r = TryAddRecord(cell);
        if (r == platform::ERROR_SUCCESS) {
            return;
        }
        if (r != platform::ERROR_ALREADY_EXISTS) {
            ManageDBErrorInsertRecord(r);
        }
        cell.SetCEOID(0);
    }
    CStrCell stored;
    stored.SetIdCell(cell.GetIdCell());
    if (Find(stored, 1) != 0) {
        // A known cell moves to the new place.
        std::vector<CePropVal> values;
        const platform::CEOID oid = stored.GetCEOID();
        if (WithHandle([&](platform::CeDbHandle h) { return Volume().readRecord(h, oid, {}, values); }) ==
            platform::ERROR_SUCCESS) {
            FromProps(values, stored);
        }
        stored.SetIdPlace(cell.GetIdPlace());
        Update(stored);
        cell.SetCEOID(stored.GetCEOID());
        return;
    }
    AddRecord(cell);
}

void CTableCell::GetAllRecords(std::vector<CStrCell>& out, int idPlace) {
    ForEachCached([&](const CStrCell& cell) {
        if (cell.GetIdPlace() == idPlace) {
            out.push_back(cell);
        }
    });
}

int CTableCell::GetPlace(int idCell, CStrPlace& place) {
    CStrCell cell;
    cell.SetIdCell(idCell);
    if (!FindAndFill(cell)) {
        return 0;
    }
    place.SetId(cell.GetIdPlace());
    return _owner->GetTablePlaces()->FindAndFill(place);
}

void CTableCell::DeleteFromPlace(const CStrPlace& place) {
    std::vector<CStrCell> doomed;
    GetAllRecords(doomed, place.GetId());
    DeleteRows(doomed);
}

void CTableCell::AddNewProperties() {
    uint32_t count = 0;
    if (Volume().propertyCount(GetHandleDB(), count) == platform::ERROR_SUCCESS && count >= kPropertyCount) {
        return;
    }
    Close(0);
    AddProperties({{kPropLongitud, "Longitud", 0}, {kPropLatitud, "Latitud", 0}});
    SetMustUpgradeData(1);
    Open(0);
}

void CTableCell::UpgradeData() {
    std::vector<platform::CEOID> ids;
    if (Volume().recordIds(GetHandleDB(), ids) == platform::ERROR_SUCCESS) {
        for (platform::CEOID oid : ids) {
            platform::CEOID written = 0;
            if (Volume().writeRecord(GetHandleDB(), oid,
                                     {CePropVal::text(kPropLongitud, ""), CePropVal::text(kPropLatitud, "")},
                                     written) == platform::ERROR_SUCCESS) {
                LogFormateado(0, "Registro modificado correctamente");
            }
        }
    }
    InvalidateCache();
    CheckAndLoadCache();
}
