#pragma once

#include <array>

#include "dialogs/CDialogModalBase.h"
#include "ui/ICustomTimeDialog.h"

class QPushButton;
class QSpinBox;

// The custom time limit: hours and minutes, and three buttons with the last custom times
// ("custom_time_1" newest .. "custom_time_3"); pressing one selects its time. Saving pushes the
// chosen time onto the three when it is not already the newest.
class CDialogModalCustomTime : public CDialogModalBase, public ICustomTimeDialog {
  public:
    static constexpr int kMaxHours = 23;
    static constexpr const char* kKeys[3] = {"custom_time_1", "custom_time_2", "custom_time_3"};

    CDialogModalCustomTime(QWidget* parent, int templateId);

    int DoModal() override { return CDialogModalBase::DoModal(); }
    int GetHours() const override { return _hours; }
    int GetMinutes() const override { return _minutes; }

    // The three last values after pushing `chosen` onto `last` (newest first).
    static std::array<long, 3> Push(const std::array<long, 3>& last, long chosen);
    // Selects a last value as its button does.
    void SelectLast(int index);

    // A caller that accepts the dialog directly saves it as the left key does.
    void accept() override;

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    std::array<long, 3> _last{};
    QSpinBox* _hoursBox = nullptr;
    QSpinBox* _minutesBox = nullptr;
    int _hours = 0;
    int _minutes = 0;
};
