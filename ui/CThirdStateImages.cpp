#include "ui/CThirdStateImages.h"

#include "ui/CSkinMgr.h"

void CThirdStateImages::Read(pugi::xml_node element, int orientation) {
    if (orientation < 0 || orientation > 2) {
        return;
    }
    CSkinMgr* skin = CSkinMgr::GetInstance();
    Pair& pair = _records[static_cast<size_t>(orientation)];
    const std::string pressed = "./image[@id='" + _prefix + "_pressed']";
    const std::string unpressed = "./image[@id='" + _prefix + "_unpressed']";
    skin->FillImage(&pair.pressed, CSkinMgr::Select(element, pressed.c_str()));
    skin->FillImage(&pair.unpressed, CSkinMgr::Select(element, unpressed.c_str()));
}
