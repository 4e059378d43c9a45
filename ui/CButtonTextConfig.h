#pragma once

#include <string>

#include "ui/CFontConfig.h"
#include "ui/CRectConfig.h"

// A named text area of the skin ("ButtonText" element): id, position and font.
class CButtonTextConfig {
  public:
    virtual ~CButtonTextConfig() = default;

    std::string id;
    CRectConfig position;
    CFontConfig font;
};
