#pragma once

#include "platform/IMessageBoxes.h"

namespace platform::qt {

// Real message boxes, shown modally on the window thread. A caller on another thread waits
// until the user has answered. Needs a running QApplication.
class CQtMessageBoxes : public IMessageBoxes {
  public:
    int show(BoxKind kind, const std::string& text) override;
};

}  // namespace platform::qt
