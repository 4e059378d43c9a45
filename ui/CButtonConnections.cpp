#include "ui/CButtonConnections.h"

#include "core/CTextsMgr.h"
#include "ui/CSkinMgr.h"

CButtonOwnDrawImage::Bitmap CButtonConnections::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    if (status == 1) {
        return ImageForKind(kOffUnpressed);  // disconnected: the off image, pressed or not
    }
    if (status == 2) {
        return OnOrOff(true, pressed);
    }
    return ImageForKind(kDisabled);
}

void CButtonConnections::GetTextStatus(std::string& text) {
    const int status = GetStatus();
    const char* key = status == 1 ? "OFF" : status == 2 ? "ON" : "DISABLED";
    text = CTextsMgr::GetInstance()->GetText(key);
}

void CButtonConnections::StatusChangedChild() {
    // Disabled connections can be enabled again from this button: only an unreadable manager
    // makes it unusable.
    if (GetStatus() != -1 && !isEnabled()) {
        setEnabled(true);
    }
}
