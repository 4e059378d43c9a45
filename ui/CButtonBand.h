#pragma once

#include "ui/CButtonStatusTable.h"

// The network band button: automatic (its third state), 2G (shown as off) and 3G (shown as on).
class CButtonBand : public CButtonStatusTable {
  public:
    CButtonBand(CBaseWindow* parent, int controlId, const std::string& skinId, const DefaultImages& images,
                const std::string& caption, CMgr* mgr, int transparent)
        : CButtonStatusTable(parent, controlId, skinId, images, caption, mgr, transparent,
                             {{-2, Look::Disabled, "DISABLED"},
                              {-1, Look::Disabled, "DISABLED"},
                              {0, Look::Third, "BAND AUTO"},
                              {1, Look::Off, "BAND 2G"},
                              {2, Look::On, "BAND 3G"}},
                             "auto") {}
};
