#pragma once

#include "ui/CButtonStatusTable.h"

// The data connections button: disabled (0 or unknown), disconnected (1, the off image whether
// pressed or not) and connected (2). Its window stays usable while connections are disabled, so
// that they can be enabled again from it.
class CButtonConnections : public CButtonStatusTable {
  public:
    CButtonConnections(CBaseWindow* parent, int controlId, const std::string& skinId,
                       const DefaultImages& images, const std::string& caption, CMgr* mgr, int transparent)
        : CButtonStatusTable(parent, controlId, skinId, images, caption, mgr, transparent,
                             {{-2, Look::Disabled, "DISABLED"},
                              {-1, Look::Disabled, "DISABLED"},
                              {0, Look::Disabled, "DISABLED"},
                              {1, Look::OffUnpressed, "OFF"},
                              {2, Look::On, "ON"}}) {}

    void StatusChangedChild() override;
};
