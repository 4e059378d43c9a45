#pragma once

#include "ui/CButtonOwnDrawImage.h"
#include "ui/CThirdStateImages.h"

// The speaker button: off (mute), vibrate (its third state) and on.
class CButtonSpeaker : public CButtonOwnDrawImage {
  public:
    using CButtonOwnDrawImage::CButtonOwnDrawImage;

    Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed) override;
    void GetTextStatus(std::string& text) override;
    void CreateChild() override;
    void GetConfigFromXMLChild(pugi::xml_node element, int orientation) override;

  private:
    Bitmap ThirdState(bool pressed);

    CThirdStateImages _third{"vibrate"};
};
