#pragma once

#include <string>
#include <vector>

#include "dialogs/CPropertyPageBase.h"

class QCheckBox;
class QLineEdit;

// The location upload: the address and agent of the requests, the fields they carry and whether
// uploads are made; a test sends one request for the current state to the address shown.
class CPropertyPageUpload : public CPropertyPageBase {
  public:
    // Real milliseconds the test waits for the server.
    static constexpr long kTestTimeoutMs = 15000;

    CPropertyPageUpload() : CPropertyPageBase("DIALOG_UPLOAD_DATA_TITLE", "upload_dialog") {}

    // Sends one request with the address and agent shown and reports it; true on HTTP 200.
    bool TestUpload();
    // Puts the default address in the address field.
    void UseDefaultAddress();

  protected:
    void OnInitPage() override;
    bool IsSettingsPage() const override { return true; }
    bool OnSave() override;
    void FillMenu(QMenu* menu) override;

  private:
    QLineEdit* _url = nullptr;
    QLineEdit* _agent = nullptr;
    std::vector<std::pair<std::string, QCheckBox*>> _switches;
};
