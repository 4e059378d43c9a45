#pragma once

#include <array>
#include <string>

#include <pugixml.hpp>

#include "ui/CImageConfig.h"

// The images of a button's third state (automatic band, discoverable Bluetooth, vibrate), pressed
// and unpressed, per orientation, read from the skin's "<prefix>_pressed" and "<prefix>_unpressed"
// images of the button's element.
class CThirdStateImages {
  public:
    explicit CThirdStateImages(std::string prefix) : _prefix(std::move(prefix)) {}

    void Read(pugi::xml_node element, int orientation);
    const CImageConfig& Get(int orientation, bool pressed) const {
        const Pair& pair =
            _records[static_cast<size_t>(orientation < 0 || orientation > 2 ? 0 : orientation)];
        return pressed ? pair.pressed : pair.unpressed;
    }

  private:
    struct Pair {
        CImageConfig pressed;
        CImageConfig unpressed;
    };
    std::string _prefix;
    std::array<Pair, 3> _records;
};
