#pragma once

#include <string>
#include <vector>

#include "dialogs/CDialogModalBase.h"

class QListWidget;

// One of the Today themes installed on the phone. Made by its factory (the main window's test
// command) the dialog applies the theme chosen through the schedule engine on saving, after
// asking the user not to touch the screen while the theme panel is driven.
class CDialogModalTheme : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 164;

    CDialogModalTheme(QWidget* parent, int templateId, std::string current = "");
    void SetAppliesOnSave(bool applies) { _applies = applies; }
    const std::string& GetTheme() const { return _theme; }
    // The installed themes (empty when the phone cannot list them).
    static std::vector<std::string> InstalledThemes();

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    std::string _theme;
    bool _applies = false;
    QListWidget* _list = nullptr;
};
