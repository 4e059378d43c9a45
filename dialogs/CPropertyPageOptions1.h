#pragma once

#include "dialogs/CPropertyPageBase.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// General settings: skin theme, mail account, tray icon, backlight handling, how places change,
// and how the location is refreshed.
class CPropertyPageOptions1 : public CPropertyPageBase {
  public:
    CPropertyPageOptions1() : CPropertyPageBase("PAGE OPTIONS1", "options1_dialog") {}

  protected:
    void OnInitPage() override;
    bool IsSettingsPage() const override { return true; }
    bool OnSave() override;

  private:
    QComboBox* _theme = nullptr;
    QComboBox* _mail = nullptr;
    QCheckBox* _tray = nullptr;
    QCheckBox* _backlight = nullptr;
    QCheckBox* _manual = nullptr;
    QCheckBox* _awake = nullptr;
    QCheckBox* _radio = nullptr;
    QCheckBox* _refresh = nullptr;
    QLineEdit* _refreshMinutes = nullptr;
};
