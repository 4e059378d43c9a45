#pragma once

#include "dialogs/CDialogModalBase.h"
#include "store/CStrPeriod.h"

class QCheckBox;
class QLineEdit;
class QTimeEdit;

// Edits a time frame: name, start and end ("HH:mm"), enabled and always on. Saving needs a name;
// an always-on frame must not overlap another always-on frame of the same day. The frame given is
// changed only on saving; storing it is the caller's (with the frame rules of the schedule).
class CDialogModalTimeFrame : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 173;

    CDialogModalTimeFrame(QWidget* parent, const CStrPeriod& period);
    const CStrPeriod& GetPeriod() const { return _period; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    // Ticking always on asks first; a no clears the box again.
    void AlwaysOnToggled(bool on);
    // Whether `period` (always on) overlaps another always-on frame of its day, in any place.
    static bool CollidesWithAlwaysOn(const CStrPeriod& period);

    CStrPeriod _period;
    QLineEdit* _name = nullptr;
    QTimeEdit* _begin = nullptr;
    QTimeEdit* _end = nullptr;
    QCheckBox* _enabled = nullptr;
    QCheckBox* _alwaysOn = nullptr;
};
