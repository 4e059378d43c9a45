#pragma once

#include "dialogs/CPropertyPageBase.h"

// The battery history page.
class CPropertyPageBattery : public CPropertyPageBase {
  public:
    CPropertyPageBattery() : CPropertyPageBase("PAGE BATTERY", "battery_dialog") {}
};
