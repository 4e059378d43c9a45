#pragma once

#include "ui/CButtonStatusTable.h"

// The speaker button: off (mute), vibrate (its third state) and on.
class CButtonSpeaker : public CButtonStatusTable {
  public:
    CButtonSpeaker(CBaseWindow* parent, int controlId, const std::string& skinId, const DefaultImages& images,
                   const std::string& caption, CMgr* mgr, int transparent)
        : CButtonStatusTable(parent, controlId, skinId, images, caption, mgr, transparent,
                             {{-2, Look::Disabled, "DISABLED"},
                              {-1, Look::Disabled, "DISABLED"},
                              {0, Look::Off, "OFF"},
                              {1, Look::Third, "VIBRATE"},
                              {2, Look::On, "ON"}},
                             "vibrate") {}
};
