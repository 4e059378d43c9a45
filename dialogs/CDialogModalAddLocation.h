#pragma once

#include "dialogs/CDialogModalBase.h"

class QLineEdit;

// Asks for a cell id and a location area code to associate with a place. The one the location
// engine works with (the area code in area mode, else the cell) is required.
class CDialogModalAddLocation : public CDialogModalBase {
  public:
    CDialogModalAddLocation(QWidget* parent, int templateId);

    int GetCell() const { return _cellValue; }
    int GetLac() const { return _lacValue; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    QLineEdit* _cell = nullptr;
    QLineEdit* _lac = nullptr;
    int _cellValue = 0;
    int _lacValue = 0;
};
