#include "store/CTableActions.h"

#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "store/CDB.h"

using platform::CePropVal;

namespace {

uint64_t toFiletime(const SYSTEMTIME& t) {
    int64_t ticks = 0;
    return SystemTimeToTicks(t, ticks) ? static_cast<uint64_t>(ticks) : 0;
}

SYSTEMTIME fromFiletime(uint64_t ticks) {
    SYSTEMTIME t{};
    TicksToSystemTime(static_cast<int64_t>(ticks), t);
    return t;
}

}  // namespace

CTableActions::CTableActions(CDB* db, const std::string& name) : CTableOf(db, name) {}

CTableActions::~CTableActions() = default;

platform::CeDatabaseInfo CTableActions::Schema() const {
    platform::CeDatabaseInfo info;
    info.name = GetTableName();
    info.type = 1911;
    info.sortKey = kPropIdAutonumeric;
    info.props = {{kPropId, "Id", 0},
                  {kPropIdPeriod, "IdPeriod", 0},
                  {kPropIntOp1, "IntOp1", 0},
                  {kPropIntOp2, "IntOp2", 0},
                  {kPropIntOp3, "IntOp3", 0},
                  {kPropSzOp1, "SzOp1", 0},
                  {kPropSzOp2, "SzOp2", 0},
                  {kPropSzOp3, "SzOp3", 0},
                  {kPropStOp1, "StOp1", 0},
                  {kPropStOp2, "StOp2", 0},
                  {kPropStOp3, "StOp3", 0},
                  {kPropType, "type", 0},
                  {kPropIdAutonumeric, "IdAutonumeric", 0},
                  {kPropDelay, "Delay", 0}};
    return info;
}

std::vector<CePropVal> CTableActions::ToProps(const CStrAction& a, bool withKey) const {
    std::vector<CePropVal> values = {CePropVal::i4(kPropId, a.GetId()),
                                     CePropVal::i4(kPropIdPeriod, a.GetIdPeriod()),
                                     CePropVal::i4(kPropIntOp1, a.GetIntOp1()),
                                     CePropVal::i4(kPropIntOp2, a.GetIntOp2()),
                                     CePropVal::i4(kPropIntOp3, a.GetIntOp3()),
                                     CePropVal::text(kPropSzOp1, a.GetSzOp1()),
                                     CePropVal::text(kPropSzOp2, a.GetSzOp2()),
                                     CePropVal::text(kPropSzOp3, a.GetSzOp3()),
                                     CePropVal::filetime(kPropStOp1, toFiletime(a.GetInstanteOp1())),
                                     CePropVal::filetime(kPropStOp2, toFiletime(a.GetInstanteOp2())),
                                     CePropVal::filetime(kPropStOp3, toFiletime(a.GetInstanteOp3())),
                                     CePropVal::i4(kPropType, a.GetType()),
                                     CePropVal::i4(kPropDelay, a.GetDelay())};
    if (withKey) {
        values.push_back(CePropVal::i4(kPropIdAutonumeric, a.GetIdAutonumeric()));
    }
    return values;
}

void CTableActions::FromProps(const std::vector<CePropVal>& values, CStrAction& a) const {
    a.SetId(Value(values, kPropId).asI4());
    a.SetIdPeriod(Value(values, kPropIdPeriod).asI4());
    a.SetIntOp1(Value(values, kPropIntOp1).asI4());
    a.SetIntOp2(Value(values, kPropIntOp2).asI4());
    a.SetIntOp3(Value(values, kPropIntOp3).asI4());
    a.SetSzOp1(Value(values, kPropSzOp1).asText());
    a.SetSzOp2(Value(values, kPropSzOp2).asText());
    a.SetSzOp3(Value(values, kPropSzOp3).asText());
    a.SetInstanteOp1(fromFiletime(Value(values, kPropStOp1).asFiletime()));
    a.SetInstanteOp2(fromFiletime(Value(values, kPropStOp2).asFiletime()));
    a.SetInstanteOp3(fromFiletime(Value(values, kPropStOp3).asFiletime()));
    a.SetType(Value(values, kPropType).asI4());
    a.SetIdAutonumeric(Value(values, kPropIdAutonumeric).asI4());
    a.SetDelay(Value(values, kPropDelay).asI4());
}

std::string CTableActions::UpdateFailureText() const {
    return CTextsMgr::GetInstance()->GetText("ERROR UPDATING REGISTRY");
}

void CTableActions::GetAllRecordsForPeriod(std::vector<CStrAction>& out, int idPeriod) {
    out.clear();
    ForEachCached([&](const CStrAction& a) {
        if (a.GetIdPeriod() == idPeriod) {
            out.push_back(a);
        }
    });
}

std::optional<CStrAction> CTableActions::GetAction(int idPeriod, int id, bool create, int type) {
    std::optional<CStrAction> found;
    WithLoadedCache([&] {
        for (const CStrAction* row : _cache) {
            const CStrAction& a = *row;
            if (a.GetIdPeriod() == idPeriod && a.GetId() == id && a.GetType() == type) {
                found = a;
                return;
            }
        }
    });
    if (found) {
        return found;
    }
    if (!create) {
        return std::nullopt;
    }
    CStrAction action;
    action.SetIdPeriod(idPeriod);
    action.SetId(id);
    action.SetType(type);
    Add(action);
    return GetAction(idPeriod, id, false, type);
}

void CTableActions::DeleteFromPeriod(const CStrPeriod& period) {
    std::vector<CStrAction> doomed;
    GetAllRecordsForPeriod(doomed, period.GetId());
    DeleteRows(doomed);
}

void CTableActions::AddNewProperties() {
    uint32_t count = 0;
    if (Volume().propertyCount(GetHandleDB(), count) == platform::ERROR_SUCCESS && count >= kPropertyCount) {
        return;
    }
    Close(0);
    AddProperties({{kPropDelay, "Delay", 0}});
    SetMustUpgradeData(1);
    Open(0);
}

void CTableActions::UpgradeData() {
    InvalidateCache();
    for (CStrAction action : GetAllRecordsCopy()) {
        action.SetDelay(0);
        Update(action);
    }
}
