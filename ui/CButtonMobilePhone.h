#pragma once

#include "ui/CButtonStatusTable.h"

// The phone radio button. The radio's status counts 0 as on and 1 as off; on shows the on image
// whether pressed or not.
class CButtonMobilePhone : public CButtonStatusTable {
  public:
    CButtonMobilePhone(CBaseWindow* parent, int controlId, const std::string& skinId,
                       const DefaultImages& images, const std::string& caption, CMgr* mgr, int transparent)
        : CButtonStatusTable(parent, controlId, skinId, images, caption, mgr, transparent,
                             {{-2, Look::Disabled, "DISABLED"},
                              {-1, Look::Disabled, "DISABLED"},
                              {0, Look::OnUnpressed, "ON"},
                              {1, Look::Off, "OFF"}}) {}
};
