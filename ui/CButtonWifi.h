#pragma once

#include "ui/CButtonStatusTable.h"

// The Wi-Fi button: off, on, and disabled for a status it cannot read or does not know.
class CButtonWifi : public CButtonStatusTable {
  public:
    CButtonWifi(CBaseWindow* parent, int controlId, const std::string& skinId, const DefaultImages& images,
                const std::string& caption, CMgr* mgr, int transparent)
        : CButtonStatusTable(parent, controlId, skinId, images, caption, mgr, transparent,
                             {{-2, Look::Disabled, "DISABLED"},
                              {-1, Look::Disabled, "DISABLED"},
                              {0, Look::Off, "OFF"},
                              {1, Look::On, "ON"}}) {}
};
