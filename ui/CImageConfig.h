#pragma once

#include <string>

#include "ui/CRGBConfig.h"
#include "ui/CRectConfig.h"

// An image read from the skin: where it goes, its file name (relative to the skin's image
// directory) and a colour (the transparent colour where the image is drawn transparently).
class CImageConfig {
  public:
    CRectConfig rect;
    std::string file;
    CRGBConfig color;
};
