#pragma once

#include "dialogs/CPropertyPageBase.h"

// The event log page.
class CPropertyPageEventLog : public CPropertyPageBase {
  public:
    CPropertyPageEventLog() : CPropertyPageBase("DIALOG_EVENT_LOG_TITLE", "log_dialog") {}
};
