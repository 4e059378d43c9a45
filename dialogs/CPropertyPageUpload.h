#pragma once

#include "dialogs/CPropertyPageBase.h"

// The location upload page.
class CPropertyPageUpload : public CPropertyPageBase {
  public:
    CPropertyPageUpload() : CPropertyPageBase("DIALOG_UPLOAD_DATA_TITLE", "upload_dialog") {}
};
