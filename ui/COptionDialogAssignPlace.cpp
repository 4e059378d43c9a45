#include "ui/COptionDialogAssignPlace.h"

#include "core/CTextsMgr.h"
#include "ui/CButtonOwnFixed.h"

COptionDialogAssignPlace::COptionDialogAssignPlace(QWidget* ownerWindow, CBaseWindow* owner,
                                                   const std::vector<CStrPlace>& places)
    : COptionDialog(CTextsMgr::GetInstance()->GetText("Choose Place"), 0, 0, 0, 0, ownerWindow, owner),
      _places(places) {
    for (size_t i = 0; i < _places.size(); ++i) {
        const CStrPlace& place = _places[i];
        CButtonOwnFixed* button = AddButton(kFirstPlace + static_cast<int>(i), "places", place.GetName());
        button->SetFixedImage(place.GetImage().empty() ? "unknown.png" : place.GetImage());
    }
}

bool COptionDialogAssignPlace::GetPlaceSelected(CStrPlace& place) const {
    const int index = GetSelected() - kFirstPlace;
    if (index < 0 || index >= static_cast<int>(_places.size())) {
        return false;
    }
    place = _places[static_cast<size_t>(index)];
    return true;
}
