#pragma once

#include "dialogs/CDialogModalBase.h"

class QSpinBox;

// Asks how many seconds an action waits before it runs.
class CDialogModalDelay : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 171;
    static constexpr int kMaxSeconds = 3600;

    CDialogModalDelay(QWidget* parent, int seconds);
    int GetDelay() const { return _seconds; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    int _seconds;
    QSpinBox* _spin = nullptr;
};
