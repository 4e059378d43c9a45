#pragma once

#include "dialogs/CPropertyPageBase.h"

// The page that leads cells and areas to places.
class CPropertyPageLocations : public CPropertyPageBase {
  public:
    CPropertyPageLocations() : CPropertyPageBase("PAGE MAIN", "main_dialog") {}
};
