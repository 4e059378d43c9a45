#pragma once

#include <vector>

#include "store/CStrPlace.h"
#include "ui/COptionDialog.h"

// The popup that lists the places (each with its image and name) to choose one: to assign the
// current cell to it, or to lock the profile on it.
class COptionDialogAssignPlace : public COptionDialog {
  public:
    // Command ids of the places: kFirstPlace + their position in the list.
    static constexpr int kFirstPlace = 1000;

    COptionDialogAssignPlace(QWidget* ownerWindow, CBaseWindow* owner, const std::vector<CStrPlace>& places);

    // The place chosen; false when the popup was cancelled.
    bool GetPlaceSelected(CStrPlace& place) const;

  protected:
    std::string GetCancelSkinId() const override { return "cancel_small"; }

  private:
    std::vector<CStrPlace> _places;
};
