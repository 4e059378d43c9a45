#include "store/CTableLAC.h"

#include "store/CDB.h"

using platform::CePropVal;

CTableLAC::CTableLAC(CDB* db, const std::string& name) : CTableOf(db, name) {}

CTableLAC::~CTableLAC() = default;

platform::CeDatabaseInfo CTableLAC::Schema() const {
    platform::CeDatabaseInfo info;
    info.name = GetTableName();
    info.sortKey = kPropIdLac;
    info.props = {{kPropIdLac, "ID_LAC", platform::CEDB_PROPNOTNULL},
                  {kPropIdPlace, "ID_PLACE", platform::CEDB_PROPNOTNULL}};
    return info;
}

std::vector<CePropVal> CTableLAC::ToProps(const CStrLAC& lac, bool) const {
    return {CePropVal::i4(kPropIdLac, lac.GetIdLac()), CePropVal::i4(kPropIdPlace, lac.GetIdPlace())};
}

void CTableLAC::FromProps(const std::vector<CePropVal>& values, CStrLAC& lac) const {
    lac.SetIdLac(Value(values, kPropIdLac).asI4());
    lac.SetIdPlace(Value(values, kPropIdPlace).asI4());
}

void CTableLAC::GetAllRecords(std::vector<CStrLAC>& out, int idPlace) {
    ForEachCached([&](const CStrLAC& lac) {
        if (lac.GetIdPlace() == idPlace) {
            out.push_back(lac);
        }
    });
}

void CTableLAC::DeleteFromPlace(const CStrPlace& place) {
    std::vector<CStrLAC> doomed;
    GetAllRecords(doomed, place.GetId());
    DeleteRows(doomed);
}
