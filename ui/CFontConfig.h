#pragma once

#include <string>

#include "ui/CRGBConfig.h"

// A font read from the skin: character height in pixels, weight (400 normal, 700 bold), family
// and text colour; -1 and empty where the skin gave no value.
class CFontConfig {
  public:
    virtual ~CFontConfig() = default;

    int fontSize = -1;
    int weight = -1;
    std::string family;
    CRGBConfig color;

    // The skin gave at least a size and a family.
    bool IsSet() const { return fontSize > 0 && !family.empty(); }
};
