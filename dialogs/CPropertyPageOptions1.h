#pragma once

#include "dialogs/CPropertyPageBase.h"

// The first settings page.
class CPropertyPageOptions1 : public CPropertyPageBase {
  public:
    CPropertyPageOptions1() : CPropertyPageBase("PAGE OPTIONS1", "options1_dialog") {}
};
