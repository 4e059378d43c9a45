#pragma once

#include "ui/COptionDialog.h"

// The popup that asks for how long a change lasts: no limit (999), 1, 5, 10, 30, 60 or 120
// minutes, or a custom time (144) asked in hours and minutes and returned in minutes.
class COptionDialogTimeLimit : public COptionDialog {
  public:
    static constexpr int kNoLimit = 999;
    static constexpr int kCustom = 144;
    static constexpr const char* kClassName = "Options Window limit";

    COptionDialogTimeLimit(const std::string& title, int x, int y, int width, int height,
                           QWidget* ownerWindow, CBaseWindow* owner);

    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
    const char* GetClassName() const override { return kClassName; }

  protected:
    // The custom time in minutes: the dialog library's dialog, else a plain one; 0 when cancelled.
    virtual int AskCustomTime();
};
