#include "store/CTablePeriods.h"

#include "core/DebugTrace.h"
#include "store/CDB.h"

using platform::CePropVal;

CTablePeriods::CTablePeriods(CDB* db, const std::string& name) : CTableOf(db, name), _owner(db) {}

CTablePeriods::~CTablePeriods() = default;

platform::CeDatabaseInfo CTablePeriods::Schema() const {
    constexpr uint32_t notNull = platform::CEDB_PROPNOTNULL;
    platform::CeDatabaseInfo info;
    info.name = GetTableName();
    info.sortKey = kPropId;
    info.props = {{kPropId, "Id", notNull},
                  {kPropName, "SYM", notNull},
                  {kPropIdPlace, "IdPlace", notNull},
                  {kPropInitHour, "InitHour", notNull},
                  {kPropInitMinute, "InitMinute", notNull},
                  {kPropEndHour, "EndHour", notNull},
                  {kPropEndMinute, "EndMinute", notNull},
                  {kPropWeekDay, "WeekDay", notNull},
                  {kPropEnabled, "Enabled", notNull},
                  {kPropAlwaysOn, "AlwaysOn", notNull}};
    return info;
}

std::vector<CePropVal> CTablePeriods::ToProps(const CStrPeriod& p, bool withKey) const {
    std::vector<CePropVal> values = {CePropVal::text(kPropName, p.GetName()),
                                     CePropVal::i4(kPropIdPlace, p.GetIdPlace()),
                                     CePropVal::i4(kPropInitHour, p.GetInicio().wHour),
                                     CePropVal::i4(kPropInitMinute, p.GetInicio().wMinute),
                                     CePropVal::i4(kPropEndHour, p.GetFinal().wHour),
                                     CePropVal::i4(kPropEndMinute, p.GetFinal().wMinute),
                                     CePropVal::i4(kPropWeekDay, p.GetWeekDay()),
                                     CePropVal::i4(kPropEnabled, p.GetEnabled()),
                                     CePropVal::i4(kPropAlwaysOn, p.GetAlwaysOn())};
    if (withKey) {
        values.push_back(CePropVal::i4(kPropId, p.GetId()));
    }
    return values;
}

void CTablePeriods::FromProps(const std::vector<CePropVal>& values, CStrPeriod& p) const {
    SYSTEMTIME start{};
    SYSTEMTIME end{};
    start.wHour = static_cast<uint16_t>(Value(values, kPropInitHour).asI4());
    start.wMinute = static_cast<uint16_t>(Value(values, kPropInitMinute).asI4());
    end.wHour = static_cast<uint16_t>(Value(values, kPropEndHour).asI4());
    end.wMinute = static_cast<uint16_t>(Value(values, kPropEndMinute).asI4());
    p.SetId(Value(values, kPropId).asI4());
    p.SetName(Value(values, kPropName).asText());
    p.SetIdPlace(Value(values, kPropIdPlace).asI4());
    p.SetInicio(start);
    p.SetFinal(end);
    p.SetWeekDay(Value(values, kPropWeekDay).asI4());
    p.SetEnabled(Value(values, kPropEnabled).asI4());
    p.SetAlwaysOn(Value(values, kPropAlwaysOn).asI4());
}

int CTablePeriods::FindAndFill(CStrBase& record) {
    LogFormateado(0, "CTablePeriods::FindAndFill(%d)", record.GetKey());
    return CTableOf::FindAndFill(record);
}

void CTablePeriods::GetAllRecordsForPlace(std::vector<CStrPeriod>& out, int idPlace, int weekDay) {
    ForEachCached([&](const CStrPeriod& p) {
        if (p.GetIdPlace() == idPlace && (weekDay == 0 || p.GetWeekDay() == weekDay)) {
            out.push_back(p);
        }
    });
}

int CTablePeriods::GetNumRecordsForPlace(int idPlace, int weekDay) {
    std::vector<CStrPeriod> periods;
    GetAllRecordsForPlace(periods, idPlace, weekDay);
    return static_cast<int>(periods.size());
}

void CTablePeriods::InsertDefaultRecordsForPlace(int idPlace) {
    for (int day = 1; day <= 7; ++day) {
        CStrPeriod period;
        period.SetIdPlace(idPlace);
        period.SetName("Default");
        period.SetWeekDay(day);
        period.SetEnabled(1);
        period.SetAlwaysOn(0);
        Add(period);
    }
}

void CTablePeriods::DeleteCascade(CStrBase& record) {
    _owner->GetTableActions()->DeleteFromPeriod(static_cast<CStrPeriod&>(record));
}

void CTablePeriods::DeleteFromPlace(const CStrPlace& place, int weekDay) {
    LogFormateado(0, "CTablePeriods::DeleteFromPlace(%d, %d", place.GetId(), weekDay);
    std::vector<CStrPeriod> doomed;
    GetAllRecordsForPlace(doomed, place.GetId(), weekDay);
    DeleteRows(doomed);
}

void CTablePeriods::AddNewProperties() {
    uint32_t count = 0;
    if (Volume().propertyCount(GetHandleDB(), count) == platform::ERROR_SUCCESS && count >= kPropertyCount) {
        return;
    }
    constexpr uint32_t notNull = platform::CEDB_PROPNOTNULL;
    Close(0);
    AddProperties({{kPropWeekDay, "WeekDay", notNull},
                   {kPropEnabled, "Enabled", notNull},
                   {kPropAlwaysOn, "AlwaysOn", notNull}});
    SetMustUpgradeData(1);
    Open(0);
}

void CTablePeriods::UpgradeData() {
    // Rows from before the per-day model applied to every day: each becomes one row per day of
    // the week, each with its own copies of the actions.
    CTableActions* actions = _owner->GetTableActions();
    InvalidateCache();
    for (CStrPeriod period : GetAllRecordsCopy()) {
        period.SetWeekDay(1);
        period.SetEnabled(1);
        period.SetAlwaysOn(0);
        Update(period);
        std::vector<CStrAction> own;
        actions->GetAllRecordsForPeriod(own, period.GetId());
        for (int day = 2; day <= 7; ++day) {
            CStrPeriod copy = period;
            copy.SetKey(-1);
            copy.SetCEOID(0);
            copy.SetWeekDay(day);
            Add(copy);
            for (const CStrAction& action : own) {
                CStrAction actionCopy = action;
                actionCopy.SetKey(-1);
                actionCopy.SetCEOID(0);
                actionCopy.SetIdPeriod(copy.GetId());
                actions->Add(actionCopy);
            }
        }
    }
}
