#pragma once

#include "dialogs/CDialogModalBase.h"

class QCheckBox;
class QLineEdit;

// The event log's options: events kept on screen, largest file size (kilobytes), whether events
// are written to the file, and the file. They act at the next start.
class CDialogModalEventLogOptions : public CDialogModalBase {
  public:
    CDialogModalEventLogOptions(QWidget* parent, int templateId);

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    QLineEdit* _items = nullptr;
    QLineEdit* _size = nullptr;
    QCheckBox* _write = nullptr;
    QLineEdit* _path = nullptr;
};
