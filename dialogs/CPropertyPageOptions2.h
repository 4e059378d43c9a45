#pragma once

#include "dialogs/CPropertyPageBase.h"

// The second settings page.
class CPropertyPageOptions2 : public CPropertyPageBase {
  public:
    CPropertyPageOptions2() : CPropertyPageBase("PAGE OPTIONS2", "options2_dialog") {}
};
