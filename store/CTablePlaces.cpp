#include "store/CTablePlaces.h"

#include "core/CTextsMgr.h"
#include "core/TextBuffer.h"
#include "store/CDB.h"

using platform::CePropVal;

CTablePlaces::CTablePlaces(CDB* db, const std::string& name) : CTableOf(db, name), _owner(db) {}

CTablePlaces::~CTablePlaces() = default;

platform::CeDatabaseInfo CTablePlaces::Schema() const {
    platform::CeDatabaseInfo info;
    info.name = GetTableName();
    info.type = 1911;
    info.sortKey = kPropId;
    info.props = {{kPropName, "SYM", 0},
                  {kPropDescription, "Desc", 0},
                  {kPropImage, "Image", 0},
                  {kPropId, "ID", platform::CEDB_PROPNOTNULL}};
    return info;
}

std::vector<CePropVal> CTablePlaces::ToProps(const CStrPlace& place, bool withKey) const {
    // A stored text holds at most 99 characters: refuse longer ones instead of cutting the
    // user's text without telling.
    for (const std::string* text : {&place.GetName(), &place.GetDescription(), &place.GetImage()}) {
        if (CountChars(*text) >= kTextBuffer) {
            throw CExceptionDB("A place's name, description or image holds at most %d characters: %s",
                               static_cast<int>(kTextBuffer - 1), FitBuffer(*text, 40));
        }
    }
    std::vector<CePropVal> values = {CePropVal::text(kPropName, place.GetName()),
                                     CePropVal::text(kPropDescription, place.GetDescription()),
                                     CePropVal::text(kPropImage, place.GetImage())};
    if (withKey) {
        values.push_back(CePropVal::i4(kPropId, place.GetId()));
    }
    return values;
}

void CTablePlaces::FromProps(const std::vector<CePropVal>& values, CStrPlace& place) const {
    place.SetName(Value(values, kPropName).asText());
    place.SetDescripcion(Value(values, kPropDescription).asText());
    place.SetImage(Value(values, kPropImage).asText());
    place.SetId(Value(values, kPropId).asI4());
}

void CTablePlaces::InsertDefaultRecords() {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    CStrPlace place;
    place.SetName(texts->GetText("UNKNOWN"));
    place.SetDescripcion(texts->GetText("DEFAULT PLACE"));
    place.SetImage("place_unknown.png");
    Add(place);
    CTablePeriods* periods = _owner->GetTablePeriods();
    for (int day = 1; day <= 7; ++day) {
        CStrPeriod period;
        period.SetIdPlace(place.GetId());
        period.SetName(texts->GetText("NAME DEFAULT TIME FRAME"));
        period.SetWeekDay(day);
        period.SetEnabled(1);
        period.SetAlwaysOn(0);
        periods->Add(period);
    }
}

void CTablePlaces::DeleteCascade(CStrBase& record) {
    auto& place = static_cast<CStrPlace&>(record);
    _owner->GetTableLAC()->DeleteFromPlace(place);
    _owner->GetTableCell()->DeleteFromPlace(place);
    _owner->GetTablePeriods()->DeleteFromPlace(place, 0);
}

std::string& CTablePlaces::GetAllPlacesInOneString(std::string& out) {
    out.clear();
    for (const CStrPlace& place : GetAllRecordsCopy()) {
        out += "," + place.GetName();
    }
    return out;
}
