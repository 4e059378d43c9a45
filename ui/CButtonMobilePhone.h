#pragma once

#include "ui/CButtonOwnDrawImage.h"

// The phone radio button. The radio's status counts 0 as on and 1 as off.
class CButtonMobilePhone : public CButtonOwnDrawImage {
  public:
    using CButtonOwnDrawImage::CButtonOwnDrawImage;

    Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed) override;
    void GetTextStatus(std::string& text) override;
};
