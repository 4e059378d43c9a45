#include "location/CCellEvent.h"

#include "core/CTextsMgr.h"
#include "location/CRilMgr.h"
#include "store/CStrPlace.h"

CCellEvent::CCellEvent(int cell, int lac, int type, const SYSTEMTIME& time)
    : cell(cell), lac(lac), time(time), type(type) {}

int CCellEvent::GetCell(bool recalculate) {
    if (recalculate && idProfile == -1) {
        Calculate();
    }
    return cell;
}

int CCellEvent::GetLac(bool recalculate) {
    if (recalculate && idProfile == -1) {
        Calculate();
    }
    return lac;
}

void CCellEvent::Calculate() {
    CStrPlace place;
    int location = CRilMgr::GetLocationModeSetting() != 0 ? cell : lac;
    if (CRilMgr::FindPlaceOfLocation(location, place)) {
        idProfile = place.GetId();
        profile = place.GetName();
    } else {
        idProfile = 0;
        profile = CTextsMgr::GetInstance()->GetText("UNKNOWN");
    }
}
