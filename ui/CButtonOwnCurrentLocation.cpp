#include "ui/CButtonOwnCurrentLocation.h"

#include <QPainter>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/SafeFormat.h"
#include "location/CRilMgr.h"
#include "schedule/CScheduleEngine.h"
#include "store/CDB.h"
#include "store/CTableLAC.h"
#include "store/CTablePlaces.h"
#include "ui/CSkinMgr.h"

namespace {

constexpr const char* kUnknownImage = "unknown.png";
constexpr int kLacMode = 0;  // the engine's location mode: areas (0) or cells

// Finds a place by its id in the device database; false when there is none.
bool findPlace(int id, CStrPlace& place) {
    if (id < 0) {
        return false;
    }
    CDB* db = CDB::GetOpened();
    if (!db || !db->GetTablePlaces()) {
        return false;
    }
    CStrPlace wanted;
    wanted.SetId(id);
    if (!db->GetTablePlaces()->FindAndFill(wanted)) {
        return false;
    }
    place = wanted;
    return true;
}

// The area code is associated with a place that no longer exists.
bool areaWithoutPlace(int area) {
    if (area <= 0) {
        return false;
    }
    CDB* db = CDB::GetOpened();
    if (!db || !db->GetTableLAC()) {
        return false;
    }
    CStrLAC lac(area, 0);
    if (!db->GetTableLAC()->FindAndFill(lac)) {
        return false;
    }
    CStrPlace place;
    return !findPlace(lac.GetIdPlace(), place);
}

}  // namespace

CButtonOwnCurrentLocation::CButtonOwnCurrentLocation(CBaseWindow* parent, int controlId,
                                                     const DefaultImages& images, CMgr* locationEngine)
    : CButtonOwnDrawImage(parent, controlId, "place", images, "", locationEngine, 0) {
    SetStatus(1);
    setEnabled(true);
}

void CButtonOwnCurrentLocation::StatusChanged(int, int mgrId, int) {
    if (!GetMgr() || mgrId != GetMgr()->GetMgrId()) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { RefreshStrPlace(); }, Qt::QueuedConnection);
}

void CButtonOwnCurrentLocation::GetConfigFromXMLChild(pugi::xml_node element, int orientation) {
    if (orientation < 0 || orientation > 2) {
        return;
    }
    CSkinMgr* skin = CSkinMgr::GetInstance();
    Parts& parts = _parts[static_cast<size_t>(orientation)];
    skin->FillImage(&parts.place, CSkinMgr::Select(element, "./image[@id='place']"));
    skin->FillImage(&parts.background, CSkinMgr::Select(element, "./image[@id='background']"));
    skin->FillButtonText(&parts.lac, CSkinMgr::Select(element, "./ButtonText[@id='lac_id']"));
    skin->FillButtonText(&parts.cell, CSkinMgr::Select(element, "./ButtonText[@id='cell_id']"));
    skin->FillButtonText(&parts.mode, CSkinMgr::Select(element, "./ButtonText[@id='mode']"));
    skin->FillButtonText(&parts.lock, CSkinMgr::Select(element, "./ButtonText[@id='lock']"));
}

void CButtonOwnCurrentLocation::CreateChild() {
    LoadForCreate(CurrentParts().background.file);
    LoadForCreate(kUnknownImage);
}

CButtonOwnCurrentLocation::Parts& CButtonOwnCurrentLocation::CurrentParts() {
    return _parts[static_cast<size_t>(std::clamp(CSkinMgr::GetInstance()->GetOrientation(), 0, 2))];
}

void CButtonOwnCurrentLocation::GetTextStatus(std::string& text) {
    std::lock_guard lock(_textsLock);
    text = _texts.place;
}

CButtonOwnCurrentLocation::Texts CButtonOwnCurrentLocation::GetTexts() const {
    std::lock_guard lock(_textsLock);
    return _texts;
}

void CButtonOwnCurrentLocation::RefreshStrPlace() {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    CRilMgr* ril = CRilMgr::GetInstance();
    Texts shown;
    CStrPlace place;
    bool found = false;
    bool fromLocation = false;
    try {
        const CStrPeriod period = engine ? engine->GetCurrentPeriod() : CStrPeriod();
        const bool locked = engine && engine->GetLockedMode() != 0;
        if (period.GetId() >= 0 && period.GetIdPlace() >= 0) {
            found = findPlace(period.GetIdPlace(), place);
            if (!found) {
                shown.place = texts->GetText("ERROR CURRENT PLACE NOT FOUND");
                LogFormateado(1, "CButtonOwnCurrentLocation: no place %d", period.GetIdPlace());
            } else {
                const SYSTEMTIME& begin = period.GetInicio();
                const SYSTEMTIME& end = period.GetFinal();
                shown.place = SafeSprintf("%s(%02d:%02d-%02d:%02d)", place.GetName(), begin.wHour,
                                          begin.wMinute, end.wHour, end.wMinute);
            }
        } else if (locked) {
            place = engine->GetLockedPlace();
            found = place.GetId() >= 0;
        } else if (ril && ril->GetCurrentPlace(place)) {
            found = true;
            fromLocation = true;
        }
        if (found && shown.place.empty()) {
            shown.place = place.GetName();
        }
        if (!found && shown.place.empty()) {
            const bool areaMode = ril ? ril->GetLocationMode() == kLacMode : true;
            shown.place = areaMode && ril && areaWithoutPlace(ril->GetAreaCode())
                              ? texts->GetText("LAC ASSIGNED BUT NO PLACE")
                              : texts->GetText("UNKNOWN");
        }
        shown.image = found && !place.GetImage().empty() ? place.GetImage() : kUnknownImage;
        const int area = ril ? ril->GetAreaCode() : 0;
        const int cell = ril ? ril->GetCellID() : 0;
        const bool areaMode = ril ? ril->GetLocationMode() == kLacMode : true;
        const std::string areaLabel = texts->GetText("DIALOG_CELL_HISTORY_LIST_COLUMN_LAC");
        const std::string cellLabel = texts->GetText("DIALOG_CELL_HISTORY_LIST_COLUMN_CELL");
        if (locked) {
            shown.lac = texts->GetText("LAC LOCKED");
            shown.cell = texts->GetText("CELL LOCKED");
        } else {
            // No serving cell read yet: the engine is still learning where the phone is.
            shown.lac = area > 0 ? areaLabel + " " + std::to_string(area) : texts->GetText("LAC INTRO");
            shown.cell = cell > 0 ? cellLabel + " " + std::to_string(cell) : texts->GetText("CELL INTRO");
        }
        shown.mode = texts->GetText(areaMode ? "LAC MODE" : "CELL MODE");
        shown.lock = texts->GetText(locked ? "LOCK ON" : "LOCK OFF");
        if (fromLocation && place.GetId() != _lastPlaceStored) {
            // Written only on a change: a refresh that finds the same place writes nothing.
            CConfigurationZentrova* config = CConfigurationZentrova::GetInstance();
            if (config && static_cast<int>(config->GetLongParameter("last_place")) != place.GetId()) {
                config->SetLongParameter("last_place", static_cast<uint32_t>(place.GetId()));
            }
            _lastPlaceStored = place.GetId();
        }
    } catch (const CBaseException& e) {
        LogFormateado(1, "CButtonOwnCurrentLocation::RefreshStrPlace: %s", e.GetMessageW());
    }
    {
        std::lock_guard lock(_textsLock);
        _texts = shown;
    }
    update();
}

void CButtonOwnCurrentLocation::Reorder() {
    update();
}

void CButtonOwnCurrentLocation::DrawText(QPainter& painter, const CButtonTextConfig& area,
                                         const QRect& fallback, const std::string& text) {
    if (text.empty()) {
        return;
    }
    const CRectConfig& p = area.position;
    const QRect box = p.cx > 0 && p.cy > 0 ? QRect(p.x, p.y, p.cx, p.cy) : fallback;
    const CFontConfig& f = area.font;
    QFont font(f.IsSet() ? QString::fromStdString(f.family) : QStringLiteral("DejaVu Sans"));
    font.setPixelSize(f.fontSize > 0 ? f.fontSize : 10);
    font.setBold(f.weight >= 600);
    painter.setFont(font);
    painter.setPen(f.color.IsSet() ? QColor(f.color.r, f.color.g, f.color.b) : QColor(40, 40, 40));
    painter.drawText(
        box, Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(QString::fromStdString(text), Qt::ElideRight, box.width()));
}

void CButtonOwnCurrentLocation::Draw(QPainter& painter) {
    const CXMLConfig& config = GetConfig();
    const Parts& parts = CurrentParts();
    const Texts texts = GetTexts();
    DrawFrame(painter);
    // Background: the skin's own, else the button's image.
    Bitmap background = parts.background.file.empty() ? GetCurrentBitmap(isDown())
                                                      : ImageOf(parts.background, parts.background.file);
    DrawImage(painter, rect(), background, config.transparent != 0);
    // Without skin positions: the image at the left, the place line beside it, the four texts
    // in two columns under the line.
    const int side = std::min(48, height() - 8);
    Bitmap image = ImageOf(parts.place, texts.image.empty() ? kUnknownImage : texts.image);
    image.file = texts.image.empty() ? kUnknownImage : texts.image;
    image.image = GetBitmap(image.file);
    if (parts.place.rect.cx <= 0 || parts.place.rect.cy <= 0) {
        image.record.rect = CRectConfig{6, (height() - side) / 2, side, side};
    }
    DrawImage(painter, rect(), image, true);
    const int left = image.record.rect.x + image.record.rect.cx + 8;
    const int column = std::max((width() - left - 4) / 2, 10);
    CDownTextConfig top = config.topText;
    if (top.position.cx <= 0) {
        top.position = CRectConfig{left, 4, width() - left - 4, 18};
    }
    WriteUpperStatus(painter, rect(), top, texts.place, Qt::AlignLeft | Qt::AlignVCenter);
    const int row = top.position.y + top.position.cy + 4;
    DrawText(painter, parts.lac, QRect(left, row, column, 14), texts.lac);
    DrawText(painter, parts.cell, QRect(left, row + 16, column, 14), texts.cell);
    DrawText(painter, parts.mode, QRect(left + column, row, column, 14), texts.mode);
    DrawText(painter, parts.lock, QRect(left + column, row + 16, column, 14), texts.lock);
    if (hasFocus()) {
        DrawImage(painter, rect(), ImageForKind(kOverlay), true);
    }
}
