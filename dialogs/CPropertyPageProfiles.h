#pragma once

#include "dialogs/CPropertyPageBase.h"

// The profile editor: places, their time frames and the frames' actions.
class CPropertyPageProfiles : public CPropertyPageBase {
  public:
    CPropertyPageProfiles() : CPropertyPageBase("PAGE PROFILES", "profiles_dialog") {}
};
