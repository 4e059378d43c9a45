#pragma once

#include "ui/IModalDialog.h"

// The custom time-limit dialog of the dialog library: after a confirmed run, the hours and
// minutes the user chose.
class ICustomTimeDialog : public IModalDialog {
  public:
    virtual int GetHours() const = 0;
    virtual int GetMinutes() const = 0;
};
