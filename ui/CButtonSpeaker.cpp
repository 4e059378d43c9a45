#include "ui/CButtonSpeaker.h"

#include "core/CTextsMgr.h"
#include "ui/CSkinMgr.h"

CButtonOwnDrawImage::Bitmap CButtonSpeaker::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    switch (status) {
        case 0:
            return OnOrOff(false, pressed);
        case 1:
            return ThirdState(pressed);
        case 2:
            return OnOrOff(true, pressed);
        default:
            return ImageForKind(kDisabled);
    }
}

void CButtonSpeaker::GetTextStatus(std::string& text) {
    static const char* const kTexts[] = {"OFF", "VIBRATE", "ON"};
    const int status = GetStatus();
    const char* key = status >= 0 && status <= 2 ? kTexts[status] : (status < 0 ? "DISABLED" : "UNKNOWN");
    text = CTextsMgr::GetInstance()->GetText(key);
}

void CButtonSpeaker::CreateChild() {
    const int orientation = CSkinMgr::GetInstance()->GetOrientation();
    LoadForCreate(GetDefaults().third);
    LoadForCreate(_third.Get(orientation, true).file);
    LoadForCreate(_third.Get(orientation, false).file);
}

void CButtonSpeaker::GetConfigFromXMLChild(pugi::xml_node element, int orientation) {
    _third.Read(element, orientation);
}

CButtonOwnDrawImage::Bitmap CButtonSpeaker::ThirdState(bool pressed) {
    return ImageOf(_third.Get(CSkinMgr::GetInstance()->GetOrientation(), pressed), GetDefaults().third);
}
