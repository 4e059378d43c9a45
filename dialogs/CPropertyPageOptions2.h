#pragma once

#include <string>

#include "dialogs/CPropertyPageBase.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// Advanced settings: language, location engine switches, Bluetooth around calls, waking for
// actions, the sizes of the histories; its menu opens the GPS receiver's settings.
class CPropertyPageOptions2 : public CPropertyPageBase {
  public:
    CPropertyPageOptions2() : CPropertyPageBase("PAGE OPTIONS2", "options2_dialog") {}

    // Opens the GPS receiver's dialog (the page's menu command).
    void OpenGps();

  protected:
    void OnInitPage() override;
    bool IsSettingsPage() const override { return true; }
    bool OnSave() override;
    void FillMenu(QMenu* menu) override;

  private:
    QComboBox* _language = nullptr;
    QCheckBox* _lacMode = nullptr;
    QCheckBox* _ril = nullptr;
    QCheckBox* _close = nullptr;
    QCheckBox* _bt = nullptr;
    QCheckBox* _awake = nullptr;
    QLineEdit* _cells = nullptr;
    QLineEdit* _batterySize = nullptr;
    QLineEdit* _batteryTime = nullptr;
};
