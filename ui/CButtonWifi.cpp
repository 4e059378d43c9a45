#include "ui/CButtonWifi.h"

#include "core/CTextsMgr.h"
#include "ui/CSkinMgr.h"

CButtonOwnDrawImage::Bitmap CButtonWifi::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    if (status == 0 || status == 1) {
        return OnOrOff(status == 1, pressed);
    }
    return ImageForKind(kDisabled);
}

void CButtonWifi::GetTextStatus(std::string& text) {
    const int status = GetStatus();
    const char* key = status == 0                      ? "OFF"
                      : status == 1                    ? "ON"
                      : (status == -1 || status == -2) ? "DISABLED"
                                                       : "UNKNOWN";
    text = CTextsMgr::GetInstance()->GetText(key);
}
