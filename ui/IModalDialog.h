#pragma once

// A dialog made by a factory of the dialog library: run modally, then deleted by its maker's
// caller. DoModal returns 1 when the user confirmed.
class IModalDialog {
  public:
    virtual ~IModalDialog() = default;
    virtual int DoModal() = 0;
};
