#pragma once

#include "dialogs/CPropertyPageBase.h"

// The data connections page.
class CPropertyPageConnections : public CPropertyPageBase {
  public:
    CPropertyPageConnections() : CPropertyPageBase("PAGE CONNECTIONS", "connections_dialog") {}
};
