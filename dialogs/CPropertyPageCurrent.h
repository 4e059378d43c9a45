#pragma once

#include "dialogs/CPropertyPageBase.h"

// The current history page.
class CPropertyPageCurrent : public CPropertyPageBase {
  public:
    CPropertyPageCurrent() : CPropertyPageBase("PAGE CURRENT", "current_dialog") {}
};
