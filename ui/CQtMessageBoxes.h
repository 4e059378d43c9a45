#pragma once

#include "platform/IMessageBoxes.h"

// Real message boxes, shown modally on the window thread. A caller on another thread waits
// until the user has answered. Needs a running QApplication.
class CQtMessageBoxes : public platform::IMessageBoxes {
  public:
    int show(platform::BoxKind kind, const std::string& text) override;
};
