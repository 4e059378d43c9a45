#pragma once

#include <string>

#include "dialogs/CDialogModalBase.h"

class QLineEdit;

// The number calls are forwarded to. Made by its factory (the main window's test command) the
// dialog switches forwarding on to that number itself on saving.
class CDialogModalCallForward : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 170;

    CDialogModalCallForward(QWidget* parent, int templateId, std::string number = "");
    void SetAppliesOnSave(bool applies) { _applies = applies; }
    void SetNumber(const std::string& number) { _number = number; }
    const std::string& GetNumber() const { return _number; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    std::string _number;
    bool _applies = false;
    QLineEdit* _edit = nullptr;
};
