#include "ui/CButtonOwnDrawImage.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "core/CBaseException.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "managers/CMgr.h"
#include "platform/CWindowHandles.h"
#include "ui/CBaseWindow.h"
#include "ui/CBitmapContainer.h"
#include "ui/CSkinMgr.h"

namespace {

std::mutex g_cacheLock;  // both caches below
std::map<std::string, CButtonOwnDrawImage::ConfigSet> g_configCache;
std::map<std::string, QImage> g_images;
std::set<CBitmapContainer> g_scaledImages;
std::map<std::string, QImage> g_keyedImages;  // by name and transparent colour
int g_loaded = 0;                             // images read from disk

QColor toColor(const CRGBConfig& c) {
    return QColor(std::clamp(c.r, 0, 255), std::clamp(c.g, 0, 255), std::clamp(c.b, 0, 255));
}

int flag(pugi::xml_node element, const char* name, int current) {
    pugi::xml_attribute a = element.attribute(name);
    if (!a) {
        return current;
    }
    // Only the exact lower-case "no" switches a flag off.
    return std::strcmp(a.value(), "no") == 0 ? 0 : 1;
}

void fillStyle(CButtonOwnDrawImage::CXMLConfig::Style& style, pugi::xml_node element, const char* focus,
               const char* press) {
    CSkinMgr* skin = CSkinMgr::GetInstance();
    const std::string state = std::string("./state[@id='") + focus + "']";
    const std::string border = state + "/border_color[@id='" + press + "']";
    if (pugi::xml_node node = CSkinMgr::Select(element, border.c_str())) {
        if (pugi::xml_attribute w = node.attribute("width")) {
            style.borderWidth = CSkinMgr::ReadNumber(w.value());
        }
    }
    skin->FillRGB(&style.borderColor, CSkinMgr::Select(element, (border + "/rgb").c_str()));
    skin->FillRGB(&style.brushColor,
                  CSkinMgr::Select(element, (state + "/brush[@id='" + press + "']/rgb").c_str()));
}

}  // namespace

const std::array<const char*, 28> CButtonOwnDrawImage::kSkinIds = {"place",
                                                                   "places",
                                                                   "connections",
                                                                   "band",
                                                                   "hide",
                                                                   "refresh",
                                                                   "wifi",
                                                                   "bt",
                                                                   "speaker",
                                                                   "phone",
                                                                   "settings",
                                                                   "add_place",
                                                                   "assign_place",
                                                                   "schedule",
                                                                   "actions",
                                                                   "lock",
                                                                   "unlock",
                                                                   "time_limit_none",
                                                                   "time_limit_1",
                                                                   "time_limit_5",
                                                                   "time_limit_10",
                                                                   "time_limit_30",
                                                                   "time_limit_60",
                                                                   "time_limit_120",
                                                                   "time_limit_custom",
                                                                   "cancel",
                                                                   "action_delete",
                                                                   "action_edit"};

CButtonOwnDrawImage::CButtonOwnDrawImage(CBaseWindow* parent, int controlId, const std::string& skinId,
                                         const DefaultImages& images, const std::string& caption, CMgr* mgr,
                                         int transparent)
    : QAbstractButton(parent),
      _parent(parent),
      _controlId(controlId),
      _skinId(skinId),
      _defaults(images),
      _caption(caption),
      _mgr(mgr) {
    for (size_t i = 0; i < _config.size(); ++i) {
        _config[i].orientation = static_cast<int>(i);
        _config[i].transparent = transparent;
    }
    setFocusPolicy(Qt::StrongFocus);
    if (_mgr) {
        _status = _mgr->GetStatus();
    } else {
        _status = 1;  // a button of its own (hide, refresh) is always usable
    }
    setEnabled(_status.load() != -1);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (_parent) {
            platform::CWindowHandles::PostMessageW(_parent->GetHandle(), WM_COMMAND,
                                                   static_cast<WPARAM>(_controlId), 0);
        }
    });
    if (_mgr) {
        _mgr->AddStatusListener(this);
    }
}

CButtonOwnDrawImage::~CButtonOwnDrawImage() {
    if (_mgr) {
        // No status change reaches the button once this returns.
        _mgr->RemoveStatusListener(this);
    }
}

void CButtonOwnDrawImage::StatusChanged(int, int mgrId, int) {
    if (!_mgr || mgrId != _mgr->GetMgrId()) {
        return;
    }
    const int status = _mgr->GetStatus();
    const int previous = _status.exchange(status);
    ++_repaintsRequested;
    // Enabling and painting happen on the window's thread; Qt drops the call when the button is gone.
    QMetaObject::invokeMethod(
        this,
        [this, status, previous] {
            if (status == -1) {
                setEnabled(false);
            } else if (previous == -1 || !isEnabled()) {
                setEnabled(true);
            }
            StatusChangedChild();
            update();
        },
        Qt::QueuedConnection);
}

void CButtonOwnDrawImage::Create() {
    try {
        for (const std::string* file :
             {&_defaults.off, &_defaults.on, &_defaults.disabled, &_defaults.overlay}) {
            LoadForCreate(*file);
        }
        const CXMLConfig& config = GetConfig();
        for (const CImageConfig* image : {&config.offUnpressed, &config.offPressed, &config.onUnpressed,
                                          &config.disabled, &config.overlay, &config.onPressed}) {
            LoadForCreate(image->file);
        }
        CreateChild();
    } catch (const CBaseException&) {
        LogFormateado(1, "Error al invocar en CButtonOwnDrawImage::Create()");
        throw;
    }
    if (!_parent) {
        throw CBaseException(CTextsMgr::GetInstance()->GetText("ERROR REGISTERING BUTTON"));
    }
    _parent->RegisterOwnerButton(this);
}

void CButtonOwnDrawImage::LoadForCreate(const std::string& file) {
    if (!file.empty() && GetBitmap(file).isNull()) {
        throw CBaseException(CTextsMgr::GetInstance()->GetText("ERROR LOADING") + " " + file);
    }
}

CButtonOwnDrawImage::Bitmap CButtonOwnDrawImage::ImageOf(const CImageConfig& record,
                                                         const std::string& defaultFile) {
    Bitmap bitmap;
    bitmap.record = record;
    bitmap.file = record.file.empty() ? defaultFile : record.file;
    bitmap.image = GetBitmap(bitmap.file);
    return bitmap;
}

CButtonOwnDrawImage::Bitmap CButtonOwnDrawImage::ImageForKind(ImageKind kind) {
    const CXMLConfig& config = GetConfig();
    switch (kind) {
        case kOffUnpressed:
            return ImageOf(config.offUnpressed, _defaults.off);
        case kOffPressed:
            return ImageOf(config.offPressed, _defaults.off);
        case kOnUnpressed:
            return ImageOf(config.onUnpressed, _defaults.on);
        case kOnPressed:
            return ImageOf(config.onPressed, _defaults.on);
        case kOverlay:
            return ImageOf(config.overlay, _defaults.overlay);
        case kDisabled:
        default:
            return ImageOf(config.disabled, _defaults.disabled);
    }
}

CButtonOwnDrawImage::Bitmap CButtonOwnDrawImage::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    if (status == -1 || status == -2) {
        return ImageForKind(kDisabled);
    }
    return OnOrOff(status != 0, pressed);
}

void CButtonOwnDrawImage::GetTextStatus(std::string& text) {
    const int status = GetStatus();
    text = status == -1 || status == -2 ? CTextsMgr::GetInstance()->GetText("DISABLED") : std::string();
}

void CButtonOwnDrawImage::paintEvent(QPaintEvent*) {
    ++_paints;
    QPainter painter(this);
    Draw(painter);
}

void CButtonOwnDrawImage::DrawFrame(QPainter& painter) {
    const CXMLConfig& config = GetConfig();
    const bool focused = hasFocus();
    const bool pressed = isDown();
    QPen pen;
    QBrush brush = Qt::NoBrush;
    if (config.focusedPressed.borderWidth >= 0) {
        const CXMLConfig::Style& style =
            focused ? (pressed ? config.focusedPressed : config.focusedUnpressed)
                    : (pressed ? config.notFocusedPressed : config.notFocusedUnpressed);
        // A width of 0 is the thinnest line, as the phone's pens draw it.
        pen = style.borderColor.IsSet() ? QPen(toColor(style.borderColor), std::max(style.borderWidth, 1))
                                        : QPen(Qt::NoPen);
        if (style.brushColor.IsSet()) {
            brush = QBrush(toColor(style.brushColor));
        }
    } else {
        pen = focused ? QPen(QColor(29, 185, 226), 3) : QPen(QColor(100, 100, 200), 1);
        if (!config.transparent) {
            // The default look of an opaque button: light, darker while pressed.
            brush = QBrush(pressed ? (focused ? QColor(100, 100, 150) : QColor(150, 150, 255))
                                   : QColor(200, 255, 255));
        }
    }
    painter.setBrush(brush);
    painter.setPen(Qt::NoPen);
    painter.drawRect(rect());
    if (config.border && pen.style() != Qt::NoPen) {
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const int inset = pen.width() / 2;
        painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}

void CButtonOwnDrawImage::DrawImage(QPainter& painter, const QRect& area, const Bitmap& bitmap,
                                    bool transparent) {
    if (bitmap.image.isNull()) {
        return;
    }
    const CRectConfig& r = bitmap.record.rect;
    QSize size = r.cx > 0 && r.cy > 0 ? QSize(r.cx, r.cy) : bitmap.image.size();
    size = size.boundedTo(area.size());
    const int x = r.x >= 0 ? r.x : (area.width() - size.width()) / 2;
    const int y = r.y >= 0 ? r.y : (area.height() - size.height()) / 2;
    const QRect target(area.left() + x, area.top() + y, size.width(), size.height());
    const CRGBConfig& key = bitmap.record.color;
    if (transparent && key.IsSet()) {
        painter.drawImage(target, GetKeyedBitmap(bitmap.file, key.r, key.g, key.b));
    } else {
        painter.drawImage(target, GetBitmap(bitmap.file, size.width(), size.height()));
    }
}

void CButtonOwnDrawImage::WriteUpperStatus(QPainter& painter, const QRect& button,
                                           const CDownTextConfig& topText, const std::string& text,
                                           Qt::Alignment align) {
    if (text.empty()) {
        return;
    }
    const CFontConfig& f = topText.font;
    QFont font(f.IsSet() ? QString::fromStdString(f.family) : QStringLiteral("Tahoma"));
    font.setPixelSize(f.fontSize > 0 ? f.fontSize : 10);
    font.setBold(f.weight < 0 ? true : f.weight >= 600);
    painter.setFont(font);
    painter.setPen(f.color.IsSet() ? toColor(f.color) : QColor(Qt::black));
    const CRectConfig& p = topText.position;
    QRect area(button.left() + std::max(p.x, 0), button.top() + std::max(p.y, 0),
               p.cx > 0 ? p.cx : button.width(), p.cy > 0 ? p.cy : font.pixelSize() + 4);
    const QString shown =
        painter.fontMetrics().elidedText(QString::fromStdString(text), Qt::ElideRight, area.width());
    painter.drawText(area, align, shown);
}

void CButtonOwnDrawImage::Draw(QPainter& painter) {
    const CXMLConfig& config = GetConfig();
    DrawFrame(painter);
    DrawImage(painter, rect(), GetCurrentBitmap(isDown()), config.transparent != 0);
    if (hasFocus()) {
        Bitmap overlay = ImageForKind(kOverlay);
        DrawImage(painter, rect(), overlay, true);
    }
    std::string status;
    GetTextStatus(status);
    WriteUpperStatus(painter, rect(), config.topText, status);
    if (config.text && !_caption.empty()) {
        QFont font(config.font.IsSet() ? QString::fromStdString(config.font.family)
                                       : QStringLiteral("Tahoma"));
        font.setPixelSize(config.font.fontSize > 0 ? config.font.fontSize : 10);
        painter.setFont(font);
        painter.setPen(config.font.color.IsSet() ? toColor(config.font.color) : QColor(Qt::black));
        painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignBottom, QString::fromStdString(_caption));
    }
}

CButtonOwnDrawImage::CXMLConfig& CButtonOwnDrawImage::GetConfig() {
    int orientation = CSkinMgr::GetInstance()->GetOrientation();
    return _config[static_cast<size_t>(std::clamp(orientation, 0, 2))];
}

void CButtonOwnDrawImage::GetConfigFromXML() {
    const ConfigSet* cached = _useCache ? GetCachedConfig(_skinId) : nullptr;
    CSkinMgr* skin = CSkinMgr::GetInstance();
    if (!cached && !skin->GetStatusXML()) {
        // The skin was read and released already: the cache is all there is.
        cached = GetCachedConfig(_skinId);
    }
    if (cached) {
        for (size_t i = 0; i < _config.size(); ++i) {
            if ((*cached)[i].orientation < 0) {
                continue;  // not in the skin for that orientation: the constructor's values stay
            }
            _config[i] = (*cached)[i];
        }
        return;
    }
    for (int orientation : CSkinMgr::OrientationsToRead(skin->GetOrientation())) {
        FillConfig(&_config[static_cast<size_t>(orientation)], skin->GetButtonConfig(_skinId, orientation),
                   orientation, this);
    }
}

void CButtonOwnDrawImage::FillConfig(CXMLConfig* config, pugi::xml_node element, int orientation,
                                     CButtonOwnDrawImage* button) {
    if (!config || !element) {
        return;
    }
    CSkinMgr* skin = CSkinMgr::GetInstance();
    config->orientation = orientation;
    skin->FillPosition(&config->position, CSkinMgr::Select(element, "./position"));
    skin->FillText(&config->topText, CSkinMgr::Select(element, "./TopTextSate"));
    skin->FillImage(&config->onPressed, CSkinMgr::Select(element, "./image[@id='on_pressed']"));
    skin->FillImage(&config->onUnpressed, CSkinMgr::Select(element, "./image[@id='on_unpressed']"));
    skin->FillImage(&config->offPressed, CSkinMgr::Select(element, "./image[@id='off_pressed']"));
    skin->FillImage(&config->offUnpressed, CSkinMgr::Select(element, "./image[@id='off_unpressed']"));
    skin->FillImage(&config->disabled, CSkinMgr::Select(element, "./image[@id='disabled']"));
    skin->FillImage(&config->overlay, CSkinMgr::Select(element, "./image[@id='overlay']"));
    fillStyle(config->focusedPressed, element, "focused", "pressed");
    fillStyle(config->focusedUnpressed, element, "focused", "unpressed");
    fillStyle(config->notFocusedPressed, element, "not_focused", "pressed");
    fillStyle(config->notFocusedUnpressed, element, "not_focused", "unpressed");
    skin->FillFont(&config->font, CSkinMgr::Select(element, "./font"));
    config->border = flag(element, "border", config->border);
    config->text = flag(element, "text", config->text);
    config->autolocate = flag(element, "autolocate", config->autolocate);
    config->transparent = flag(element, "transparent", config->transparent);
    if (button) {
        button->GetConfigFromXMLChild(element, orientation);
    }
}

void CButtonOwnDrawImage::FillCache() {
    CSkinMgr* skin = CSkinMgr::GetInstance();
    std::map<std::string, ConfigSet> cache;
    for (const char* id : kSkinIds) {
        ConfigSet& set = cache[id];
        for (int orientation : CSkinMgr::OrientationsToRead(skin->GetOrientation())) {
            pugi::xml_node element = skin->GetButtonConfig(id, orientation);
            FillConfig(&set[static_cast<size_t>(orientation)], element, orientation);
        }
    }
    std::lock_guard lock(g_cacheLock);
    g_configCache = std::move(cache);
}

void CButtonOwnDrawImage::ClearCache() {
    std::lock_guard lock(g_cacheLock);
    g_configCache.clear();
}

const CButtonOwnDrawImage::ConfigSet* CButtonOwnDrawImage::GetCachedConfig(const std::string& skinId) {
    std::lock_guard lock(g_cacheLock);
    auto it = g_configCache.find(skinId);
    // The cache is filled once per skin reading and never changes in between.
    return it == g_configCache.end() ? nullptr : &it->second;
}

QImage CButtonOwnDrawImage::GetBitmap(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    {
        std::lock_guard lock(g_cacheLock);
        if (auto it = g_images.find(name); it != g_images.end()) {
            return it->second;
        }
    }
    std::string directory;
    CSkinMgr::GetInstance()->GetImageDirectory(directory);
    return LoadBitmap(directory, name);
}

QImage CButtonOwnDrawImage::LoadBitmap(const std::string& directory, const std::string& name) {
    QImage image(QString::fromStdString(directory + name));
    if (image.isNull()) {
        image = QImage(QString::fromStdString(directory + "question.png"));
    }
    if (image.isNull()) {
        return {};
    }
    std::lock_guard lock(g_cacheLock);
    // Another thread may have read the same file meanwhile: the first copy stays.
    auto [it, added] = g_images.emplace(name, image);
    if (added) {
        ++g_loaded;
    }
    return it->second;
}

bool CButtonOwnDrawImage::IsBitmapCached(const std::string& name) {
    std::lock_guard lock(g_cacheLock);
    return g_images.count(name) != 0;
}

QImage CButtonOwnDrawImage::GetBitmap(const std::string& name, int cx, int cy) {
    CBitmapContainer wanted(name, cx, cy);
    {
        std::lock_guard lock(g_cacheLock);
        if (auto it = g_scaledImages.find(wanted); it != g_scaledImages.end()) {
            return it->GetBitmap();
        }
    }
    QImage image = GetBitmap(name);
    if (image.isNull() || cx <= 0 || cy <= 0 || (image.width() == cx && image.height() == cy)) {
        return image;  // nothing to scale: nothing kept
    }
    QImage scaled = image.scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::lock_guard lock(g_cacheLock);
    return g_scaledImages.emplace(name, cx, cy, scaled).first->GetBitmap();
}

QImage CButtonOwnDrawImage::GetKeyedBitmap(const std::string& name, int r, int g, int b) {
    const std::string key =
        name + "#" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b);
    {
        std::lock_guard lock(g_cacheLock);
        if (auto it = g_keyedImages.find(key); it != g_keyedImages.end()) {
            return it->second;
        }
    }
    QImage image = GetBitmap(name);
    if (!image.isNull()) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = qRgb(r, g, b) & 0x00FFFFFF;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0x00FFFFFF) == transparent) {
                    line[x] = 0;
                }
            }
        }
    }
    std::lock_guard lock(g_cacheLock);
    return g_keyedImages.emplace(key, image).first->second;
}

void CButtonOwnDrawImage::ClearBitmapList() {
    std::lock_guard lock(g_cacheLock);
    g_images.clear();
    g_scaledImages.clear();
    g_keyedImages.clear();
    g_loaded = 0;
}

int CButtonOwnDrawImage::GetLoadedBitmapCount() {
    std::lock_guard lock(g_cacheLock);
    return g_loaded;
}

int CButtonOwnDrawImage::GetScaledBitmapCount() {
    std::lock_guard lock(g_cacheLock);
    return static_cast<int>(g_scaledImages.size());
}
