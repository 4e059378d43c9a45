#pragma once

#include "ui/CButtonOwnDrawImage.h"
#include "ui/CThirdStateImages.h"

// The network band button: automatic (its third state), 2G (shown as off) and 3G (shown as on).
class CButtonBand : public CButtonOwnDrawImage {
  public:
    using CButtonOwnDrawImage::CButtonOwnDrawImage;

    Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed) override;
    void GetTextStatus(std::string& text) override;
    void CreateChild() override;
    void GetConfigFromXMLChild(pugi::xml_node element, int orientation) override;

  private:
    Bitmap ThirdState(bool pressed);

    CThirdStateImages _third{"auto"};
};
