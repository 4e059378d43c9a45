#pragma once

#include "dialogs/CPropertyPageBase.h"

// The cell history page.
class CPropertyPageCellHistory : public CPropertyPageBase {
  public:
    CPropertyPageCellHistory() : CPropertyPageBase("DIALOG_CELL_HISTORY_TITTLE", "cell_history") {}
};
