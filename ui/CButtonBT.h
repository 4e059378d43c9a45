#pragma once

#include "ui/CButtonStatusTable.h"

// The Bluetooth button: off, on (connectable) and discoverable, its third state.
class CButtonBT : public CButtonStatusTable {
  public:
    CButtonBT(CBaseWindow* parent, int controlId, const std::string& skinId, const DefaultImages& images,
              const std::string& caption, CMgr* mgr, int transparent)
        : CButtonStatusTable(parent, controlId, skinId, images, caption, mgr, transparent,
                             {{-2, Look::Disabled, "DISABLED"},
                              {-1, Look::Disabled, "DISABLED"},
                              {0, Look::Off, "OFF"},
                              {1, Look::On, "ON"},
                              {2, Look::Third, "DISCOVERABLE"}},
                             "discoverable") {}
};
