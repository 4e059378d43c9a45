#pragma once

#include "ui/CButtonOwnDrawImage.h"

// The Wi-Fi button: off, on, and disabled for a status it cannot read or does not know.
class CButtonWifi : public CButtonOwnDrawImage {
  public:
    using CButtonOwnDrawImage::CButtonOwnDrawImage;

    Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed) override;
    void GetTextStatus(std::string& text) override;
};
