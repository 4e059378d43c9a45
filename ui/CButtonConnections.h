#pragma once

#include "ui/CButtonOwnDrawImage.h"

// The data connections button: disabled (0 or unknown), disconnected (1) and connected (2). Its
// window stays usable while connections are disabled, so that they can be enabled again from it.
class CButtonConnections : public CButtonOwnDrawImage {
  public:
    using CButtonOwnDrawImage::CButtonOwnDrawImage;

    Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed) override;
    void GetTextStatus(std::string& text) override;
    void StatusChangedChild() override;
};
