#include "platform/sim/CSimControlPanel.h"

#include <strings.h>

#include <cctype>

#include "platform/PlatformError.h"

namespace platform::sim {

namespace {

std::string trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) {
        --last;
    }
    return text.substr(first, last - first);
}

}  // namespace

CSimControlPanel::CSimControlPanel(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock)
    : _phone(std::move(phone)), _registry(registry), _clock(clock) {}

Result CSimControlPanel::startApplet(const std::string& program, const std::string& arguments) {
    std::string name = trimmed(program);
    if (size_t slash = name.find_last_of("\\/"); slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    if (strcasecmp(name.c_str(), kProgram) != 0 ||
        strcasecmp(trimmed(arguments).c_str(), kBacklightApplet) != 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    std::lock_guard lock(_lock);
    if (_open) {
        return ERROR_SUCCESS;  // the open applet comes forward
    }
    _open = true;
    _startedAt = _clock.tickCount();
    _battery = static_cast<int>(s.backlightBattery);
    _ac = static_cast<int>(s.backlightAc);
    return ERROR_SUCCESS;
}

bool CSimControlPanel::showing() const {
    return _open && _clock.tickCount() - _startedAt >= kShowDelayMs;
}

bool CSimControlPanel::exists(ForeignWindow window) const {
    return window == kDesktop || (window >= kApplet && window <= kAcLabel && showing());
}

ForeignWindow CSimControlPanel::foregroundWindow() {
    std::lock_guard lock(_lock);
    return showing() ? kApplet : kDesktop;
}

ForeignWindow CSimControlPanel::firstChild(ForeignWindow window) {
    std::lock_guard lock(_lock);
    if (!showing()) {
        return 0;
    }
    if (window == kApplet) {
        return kPage;
    }
    return window == kPage ? kBatteryLabel : 0;
}

ForeignWindow CSimControlPanel::nextSibling(ForeignWindow window) {
    std::lock_guard lock(_lock);
    if (!showing() || window < kBatteryLabel || window >= kAcLabel) {
        return 0;
    }
    return window + 1;
}

std::string CSimControlPanel::className(ForeignWindow window) {
    std::lock_guard lock(_lock);
    if (!exists(window)) {
        return {};
    }
    switch (window) {
        case kDesktop:
            return kDesktopClass;
        case kApplet:
            return kAppletClass;
        case kPage:
            return kPageClass;
        case kBatterySlider:
        case kAcSlider:
            return kSliderClass;
        default:
            return kLabelClass;
    }
}

Result CSimControlPanel::clientSize(ForeignWindow window, int& width, int& height) {
    width = height = 0;
    std::lock_guard lock(_lock);
    if (!exists(window)) {
        return ERROR_INVALID_HANDLE;
    }
    if (window == kBatterySlider || window == kAcSlider) {
        width = kSliderWidth;
        height = kSliderHeight;
    } else {
        width = 480;
        height = window == kDesktop || window == kApplet ? 640 : 24;
    }
    return ERROR_SUCCESS;
}

Result CSimControlPanel::postMouse(ForeignWindow window, MouseAction action, int x, int y) {
    std::lock_guard lock(_lock);
    if (!exists(window)) {
        return ERROR_INVALID_HANDLE;
    }
    if ((window != kBatterySlider && window != kAcSlider) || action != MouseAction::LeftDown || y < 0 ||
        y >= kSliderHeight) {
        return ERROR_SUCCESS;
    }
    int& level = window == kBatterySlider ? _battery : _ac;
    double centre = kSliderMargin + level * static_cast<double>(kSliderWidth - 2 * kSliderMargin) / kLevels;
    if (x < centre - kThumbHalfWidth && level > 0) {
        --level;
    } else if (x > centre + kThumbHalfWidth && level < kLevels) {
        ++level;
    }
    return ERROR_SUCCESS;
}

Result CSimControlPanel::closeWindow(ForeignWindow window) {
    int battery = 0;
    int ac = 0;
    {
        std::lock_guard lock(_lock);
        if (!exists(window)) {
            return ERROR_INVALID_HANDLE;
        }
        if (window != kApplet) {
            return ERROR_SUCCESS;
        }
        _open = false;
        battery = _battery;
        ac = _ac;
    }
    Result r = _registry.setDword(RegRoot::CurrentUser, CSimPhone::kBacklightKey,
                                  CSimPhone::kBacklightBattery, static_cast<uint32_t>(battery));
    if (r == ERROR_SUCCESS) {
        r = _registry.setDword(RegRoot::CurrentUser, CSimPhone::kBacklightKey, CSimPhone::kBacklightAc,
                               static_cast<uint32_t>(ac));
    }
    if (r == ERROR_SUCCESS) {
        r = _phone->setBacklight(static_cast<uint32_t>(battery), static_cast<uint32_t>(ac));
    }
    if (r == ERROR_SUCCESS) {
        try {
            r = _phone->setBrightness(static_cast<uint32_t>(_phone->state().ac ? ac : battery));
        } catch (const PlatformError&) {
            r = ERROR_WRITE_FAULT;
        }
    }
    return r == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

bool CSimControlPanel::isOpen() {
    std::lock_guard lock(_lock);
    return _open;
}

int CSimControlPanel::sliderLevel(ForeignWindow slider) {
    std::lock_guard lock(_lock);
    return slider == kBatterySlider ? _battery : slider == kAcSlider ? _ac : -1;
}

}  // namespace platform::sim
