#include "ui/CButtonStatusTable.h"

#include <algorithm>

#include "core/CTextsMgr.h"
#include "ui/CSkinMgr.h"

CButtonStatusTable::CButtonStatusTable(CBaseWindow* parent, int controlId, const std::string& skinId,
                                       const DefaultImages& images, const std::string& caption, CMgr* mgr,
                                       int transparent, std::vector<Row> rows, std::string thirdPrefix)
    : CButtonOwnDrawImage(parent, controlId, skinId, images, caption, mgr, transparent),
      _prefix(std::move(thirdPrefix)),
      _rows(std::move(rows)) {}

const CButtonStatusTable::Row* CButtonStatusTable::Find(int status) const {
    auto it =
        std::find_if(_rows.begin(), _rows.end(), [status](const Row& row) { return row.status == status; });
    return it == _rows.end() ? nullptr : &*it;
}

const CImageConfig& CButtonStatusTable::ThirdRecord(bool pressed) {
    const Pair& pair =
        _third[static_cast<size_t>(std::clamp(CSkinMgr::GetInstance()->GetOrientation(), 0, 2))];
    return pressed ? pair.pressed : pair.unpressed;
}

CButtonOwnDrawImage::Bitmap CButtonStatusTable::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    const Row* row = Find(status);
    switch (row ? row->look : Look::Disabled) {
        case Look::Off:
            return OnOrOff(false, pressed);
        case Look::On:
            return OnOrOff(true, pressed);
        case Look::OffUnpressed:
            return ImageForKind(kOffUnpressed);
        case Look::OnUnpressed:
            return ImageForKind(kOnUnpressed);
        case Look::Third:
            return ImageOf(ThirdRecord(pressed), GetDefaults().third);
        case Look::Disabled:
        default:
            return ImageForKind(kDisabled);
    }
}

void CButtonStatusTable::GetTextStatus(std::string& text) {
    const int status = GetStatus();
    const Row* row = Find(status);
    text = CTextsMgr::GetInstance()->GetText(row ? row->textKey : (status < 0 ? "DISABLED" : "UNKNOWN"));
}

void CButtonStatusTable::CreateChild() {
    if (_prefix.empty()) {
        return;  // no third state
    }
    LoadForCreate(GetDefaults().third);
    LoadForCreate(ThirdRecord(true).file);
    LoadForCreate(ThirdRecord(false).file);
}

void CButtonStatusTable::GetConfigFromXMLChild(pugi::xml_node element, int orientation) {
    if (_prefix.empty() || orientation < 0 || orientation > 2) {
        return;
    }
    CSkinMgr* skin = CSkinMgr::GetInstance();
    Pair& pair = _third[static_cast<size_t>(orientation)];
    const std::string pressed = "./image[@id='" + _prefix + "_pressed']";
    const std::string unpressed = "./image[@id='" + _prefix + "_unpressed']";
    skin->FillImage(&pair.pressed, CSkinMgr::Select(element, pressed.c_str()));
    skin->FillImage(&pair.unpressed, CSkinMgr::Select(element, unpressed.c_str()));
}
