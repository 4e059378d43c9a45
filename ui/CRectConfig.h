#pragma once

// A rectangle read from the skin: position and size; -1 where the skin gave no value.
class CRectConfig {
  public:
    int x = -1;
    int y = -1;
    int cx = -1;  // width
    int cy = -1;  // height

    bool operator==(const CRectConfig&) const = default;
};
