#pragma once

#include "dialogs/CDialogModalBase.h"

class QSpinBox;

// The two backlight levels, on external power and on battery, 0 to kMaxLevel. They travel packed
// in one number as the backlight manager takes them: external power in the upper 16 bits,
// battery in the lower 16 bits. Made by its factory (the main window's test command) the dialog
// sets the levels itself on saving.
class CDialogModalBacklight : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 160;
    static constexpr int kMaxLevel = 10;
    // Full light on external power, half on battery.
    static constexpr int kDefaultLevels = (kMaxLevel << 16) | kMaxLevel / 2;

    CDialogModalBacklight(QWidget* parent, int templateId, int packed = kDefaultLevels);
    void SetAppliesOnSave(bool applies) { _applies = applies; }
    int GetPacked() const { return _packed; }
    static int Pack(int ac, int battery) { return ((ac & 0xFFFF) << 16) | (battery & 0xFFFF); }
    static int AcOf(int packed) { return (packed >> 16) & 0xFFFF; }
    static int BatteryOf(int packed) { return packed & 0xFFFF; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    int _packed;
    bool _applies = false;
    QSpinBox* _ac = nullptr;
    QSpinBox* _battery = nullptr;
};
