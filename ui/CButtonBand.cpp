#include "ui/CButtonBand.h"

#include "core/CTextsMgr.h"
#include "ui/CSkinMgr.h"

CButtonOwnDrawImage::Bitmap CButtonBand::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    switch (status) {
        case 0:
            return ThirdState(pressed);
        case 1:
            return OnOrOff(false, pressed);
        case 2:
            return OnOrOff(true, pressed);
        default:
            return ImageForKind(kDisabled);
    }
}

void CButtonBand::GetTextStatus(std::string& text) {
    static const char* const kTexts[] = {"BAND AUTO", "BAND 2G", "BAND 3G"};
    const int status = GetStatus();
    const char* key = status >= 0 && status <= 2 ? kTexts[status] : (status < 0 ? "DISABLED" : "UNKNOWN");
    text = CTextsMgr::GetInstance()->GetText(key);
}

void CButtonBand::CreateChild() {
    const int orientation = CSkinMgr::GetInstance()->GetOrientation();
    LoadForCreate(GetDefaults().third);
    LoadForCreate(_third.Get(orientation, true).file);
    LoadForCreate(_third.Get(orientation, false).file);
}

void CButtonBand::GetConfigFromXMLChild(pugi::xml_node element, int orientation) {
    _third.Read(element, orientation);
}

CButtonOwnDrawImage::Bitmap CButtonBand::ThirdState(bool pressed) {
    return ImageOf(_third.Get(CSkinMgr::GetInstance()->GetOrientation(), pressed), GetDefaults().third);
}
