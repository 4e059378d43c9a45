#pragma once

#include <string>

#include "dialogs/CDialogModalBase.h"

class QComboBox;
class QLineEdit;

// The GPS receiver's settings: its serial port (COM1 to COM8), speed, working mode (port open
// only while a position is asked for, or kept open) and how long to wait for a fix; a test opens
// the port with the values shown and says whether the receiver answered.
class CDialogModalGPS : public CDialogModalBase {
  public:
    // Real milliseconds the test waits for the receiver's first sentence.
    static constexpr int kTestWaitMs = 4000;

    CDialogModalGPS(QWidget* parent, int templateId);

    // Runs the test with the values shown and reports it; true when the receiver answered.
    bool Test();
    // The key of the last test's report ("DIALOG_GPS_TEST_OK" or "DIALOG_GPS_TEST_KO").
    const std::string& GetLastReport() const { return _lastReport; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    QComboBox* _port = nullptr;
    QComboBox* _baud = nullptr;
    QComboBox* _mode = nullptr;
    QLineEdit* _tryDuring = nullptr;
    std::string _lastReport;
};
