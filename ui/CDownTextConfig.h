#pragma once

#include "ui/CFontConfig.h"
#include "ui/CRectConfig.h"

// A text line of the skin: where it goes and in which font.
class CDownTextConfig {
  public:
    CRectConfig position;
    CFontConfig font;
};
