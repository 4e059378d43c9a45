#include "store/LocationAssignment.h"

#include "store/CDB.h"
#include "store/CStrCell.h"
#include "store/CStrLAC.h"
#include "store/CTableCell.h"
#include "store/CTableLAC.h"

void AssignLocation(CDB& db, bool areaMode, int location, int idPlace) {
    if (areaMode) {
        CTableLAC* lacs = db.GetTableLAC();
        CStrLAC lac(location, idPlace);
        CStrLAC known(location, 0);
        if (lacs->FindAndFill(known)) {
            lacs->Update(lac);
        } else {
            lacs->Add(lac);
        }
    } else {
        // The cells table moves a known cell to the new place.
        CStrCell cell(location, idPlace);
        db.GetTableCell()->Add(cell);
    }
}
