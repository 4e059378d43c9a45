#include "ui/CButtonOwnDrawImage.h"

#include <QPainter>
#include <cstring>
#include <mutex>

#include "managers/CMgr.h"
#include "platform/CWindowHandles.h"
#include "ui/CBaseWindow.h"
#include "ui/CSkinMgr.h"

namespace {

std::mutex g_cacheLock;  // both caches below
std::map<std::string, CButtonOwnDrawImage::ConfigSet> g_configCache;
std::map<std::string, QImage> g_images;
std::map<std::tuple<std::string, int, int>, QImage> g_scaledImages;

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
    _status = _mgr->GetStatus();
    ++_repaintsRequested;
    // Enabling and painting happen on the window's thread; Qt drops the call when the button is gone.
    QMetaObject::invokeMethod(
        this,
        [this] {
            setEnabled(_status.load() != -1);
            update();
        },
        Qt::QueuedConnection);
}

CButtonOwnDrawImage::CXMLConfig& CButtonOwnDrawImage::GetConfig() {
    int orientation = CSkinMgr::GetInstance()->GetOrientation();
    return _config[static_cast<size_t>(std::clamp(orientation, 0, 2))];
}

void CButtonOwnDrawImage::GetConfigFromXML() {
    if (const ConfigSet* cached = GetCachedConfig(_skinId)) {
        for (size_t i = 0; i < _config.size(); ++i) {
            const int transparent = _config[i].transparent;
            _config[i] = (*cached)[i];
            if ((*cached)[i].orientation < 0) {
                // Not in the skin for that orientation: the constructor's values stay.
                _config[i].orientation = static_cast<int>(i);
                _config[i].transparent = transparent;
            }
        }
        return;
    }
    CSkinMgr* skin = CSkinMgr::GetInstance();
    for (int orientation : CSkinMgr::OrientationsToRead(skin->GetOrientation())) {
        FillConfig(&_config[static_cast<size_t>(orientation)], skin->GetButtonConfig(_skinId, orientation),
                   orientation);
    }
}

void CButtonOwnDrawImage::FillConfig(CXMLConfig* config, pugi::xml_node element, int orientation) {
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
    QImage image(QString::fromStdString(directory + name));
    if (image.isNull()) {
        image = QImage(QString::fromStdString(directory + "question.png"));
    }
    if (image.isNull()) {
        return {};
    }
    std::lock_guard lock(g_cacheLock);
    return g_images.emplace(name, image).first->second;
}

QImage CButtonOwnDrawImage::GetBitmap(const std::string& name, int cx, int cy) {
    auto key = std::make_tuple(name, cx, cy);
    {
        std::lock_guard lock(g_cacheLock);
        if (auto it = g_scaledImages.find(key); it != g_scaledImages.end()) {
            return it->second;
        }
    }
    QImage image = GetBitmap(name);
    if (image.isNull() || cx <= 0 || cy <= 0 || (image.width() == cx && image.height() == cy)) {
        return image;
    }
    QImage scaled = image.scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    std::lock_guard lock(g_cacheLock);
    return g_scaledImages.emplace(key, scaled).first->second;
}

void CButtonOwnDrawImage::ClearBitmapList() {
    std::lock_guard lock(g_cacheLock);
    g_images.clear();
    g_scaledImages.clear();
}

const CImageConfig& CButtonOwnDrawImage::CurrentImage(std::string& file) {
    CXMLConfig& config = GetConfig();
    const int status = _status.load();
    const bool pressed = isDown();
    const CImageConfig* image = nullptr;
    if (status == -1 || status == -2) {
        image = &config.disabled;
        file = _defaults.disabled;
    } else if (status == 0) {
        image = pressed ? &config.offPressed : &config.offUnpressed;
        file = _defaults.off;
    } else {
        image = pressed ? &config.onPressed : &config.onUnpressed;
        file = _defaults.on;
    }
    if (!image->file.empty()) {
        file = image->file;
    }
    return *image;
}

void CButtonOwnDrawImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::string file;
    const CImageConfig& record = CurrentImage(file);
    QImage image = GetBitmap(file);
    if (!image.isNull()) {
        QRect target = image.rect();
        const CRectConfig& r = record.rect;
        if (r.cx > 0 && r.cy > 0) {
            target.setSize(QSize(r.cx, r.cy));
        }
        target.setSize(target.size().boundedTo(size()));
        target.moveLeft(r.x >= 0 ? r.x : (width() - target.width()) / 2);
        target.moveTop(r.y >= 0 ? r.y : (height() - target.height()) / 2);
        painter.drawImage(target, image);
    } else {
        painter.setPen(QColor(100, 100, 150));
        painter.drawText(rect(), Qt::AlignCenter, QString::fromStdString(_caption));
    }
    if (GetConfig().border) {
        const bool focused = hasFocus();
        painter.setPen(focused ? QPen(QColor(29, 185, 226), 3) : QPen(QColor(100, 100, 200), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
