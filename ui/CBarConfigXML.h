#pragma once

#include <string>

#include "ui/CButtonTextConfig.h"
#include "ui/CConfigObjectXML.h"
#include "ui/CFontConfig.h"
#include "ui/CImageConfig.h"
#include "ui/CRGBConfig.h"
#include "ui/CRectConfig.h"

// One status bar ("battery" or "signal") of the panel for one orientation, read from its "bar"
// element of the skin.
class CBarConfigXML : public CConfigObjectXML {
  public:
    static constexpr int kModeGradient = 0;
    static constexpr int kModeImage = 1;

    ~CBarConfigXML() override = default;

    // Fills the record from `element`; a null element keeps the defaults and only takes the id.
    virtual void Initialize(pugi::xml_node element, const std::string& id);
    // What a kind of bar reads beyond the common children.
    virtual void InitializeChild(pugi::xml_node element, const std::string& id);

    std::string id;
    int border = 1;
    int borderWidth = -1;
    CRGBConfig borderColor;
    CRectConfig position;
    int mode = kModeGradient;
    int autolocate = 0;
    CRGBConfig gradientBegin;
    CRGBConfig gradientEnd;
    CFontConfig font;
    CImageConfig image;
    CButtonTextConfig percentage;
};
