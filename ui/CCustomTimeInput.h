#pragma once

#include <QDialog>

class QSpinBox;

// Asks for a time limit in hours and minutes where the dialog library offers no custom-time
// dialog of its own.
class CCustomTimeInput : public QDialog {
  public:
    explicit CCustomTimeInput(QWidget* parent);
    // Runs the dialog; the limit in minutes, or 0 when cancelled or when nothing was chosen.
    int AskMinutes();

  private:
    QSpinBox* _hours;
    QSpinBox* _minutes;
};
