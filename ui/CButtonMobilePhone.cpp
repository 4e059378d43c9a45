#include "ui/CButtonMobilePhone.h"

#include "core/CTextsMgr.h"
#include "ui/CSkinMgr.h"

CButtonOwnDrawImage::Bitmap CButtonMobilePhone::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    if (status == -1 || status == -2) {
        return ImageForKind(kDisabled);
    }
    // Radio on shows the on image whether pressed or not.
    return status == 1 ? OnOrOff(false, pressed) : ImageForKind(kOnUnpressed);
}

void CButtonMobilePhone::GetTextStatus(std::string& text) {
    const int status = GetStatus();
    const char* key = (status == -1 || status == -2) ? "DISABLED" : status == 0 ? "ON" : "OFF";
    text = CTextsMgr::GetInstance()->GetText(key);
}
