#pragma once

#include <array>
#include <string>
#include <vector>

#include "ui/CButtonOwnDrawImage.h"

// A device button whose states each show one of its images, with a text, by a table: off, on
// (pressed or not, or always the unpressed image), a third state of its own (the automatic band,
// discoverable Bluetooth, vibrate) or disabled. The third state's images are the skin's "<prefix>_pressed"
// and "<prefix>_unpressed" images of the button's element, else the button's default third image. A status
// missing from the table is shown disabled, with "DISABLED" below 0 and "UNKNOWN" above.
class CButtonStatusTable : public CButtonOwnDrawImage {
  public:
    enum class Look { Off, On, OffUnpressed, OnUnpressed, Third, Disabled };
    struct Row {
        int status;
        Look look;
        const char* textKey;
    };

    CButtonStatusTable(CBaseWindow* parent, int controlId, const std::string& skinId,
                       const DefaultImages& images, const std::string& caption, CMgr* mgr, int transparent,
                       std::vector<Row> rows, std::string thirdPrefix = "");

    Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed) override;
    void GetTextStatus(std::string& text) override;
    void CreateChild() override;
    void GetConfigFromXMLChild(pugi::xml_node element, int orientation) override;

  private:
    const Row* Find(int status) const;
    const CImageConfig& ThirdRecord(bool pressed);

    std::string _prefix;
    std::vector<Row> _rows;
    struct Pair {
        CImageConfig pressed;
        CImageConfig unpressed;
    };
    std::array<Pair, 3> _third;  // per orientation
};
