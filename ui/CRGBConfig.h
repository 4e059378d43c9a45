#pragma once

// A colour read from the skin, 0-255 per component; -1 where the skin gave no value.
class CRGBConfig {
  public:
    int r = -1;
    int g = -1;
    int b = -1;

    // All three components were given.
    bool IsSet() const { return r >= 0 && g >= 0 && b >= 0; }
    bool operator==(const CRGBConfig&) const = default;
};
