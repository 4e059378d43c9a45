#include "managers/CBackLightMgr.h"

#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "core/MessageBoxes.h"
#include "core/SafeFormat.h"
#include "platform/Services.h"

std::atomic<CBackLightMgr*> CBackLightMgr::_instance{nullptr};

namespace {

constexpr auto kCurrentUser = platform::RegRoot::CurrentUser;

int Resolution() {
    int resolution = 1;
    IMainPanel::With([&resolution](IMainPanel& panel) { resolution = panel.GetResolution(); });
    return resolution;
}

}  // namespace

CBackLightMgr::CBackLightMgr() : CMgr(MGR_BACKLIGHT) {
    _instance.store(this);
}

CBackLightMgr::~CBackLightMgr() {
    Stop();
    CBackLightMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

void CBackLightMgr::ForceStatusChild(int status, int) {
    if (status < 0) {
        return;
    }
    bool done = SetLight(static_cast<unsigned short>(BatteryLevel(status)),
                         static_cast<unsigned short>(AcLevel(status)));
    SetLastExecution(done ? 1 : 0);
    if (done) {
        SetStatus(status);  // the levels are not read back: the status is what was set
    }
}

bool CBackLightMgr::SetLight(unsigned short battery, unsigned short ac) {
    try {
        if (CConfigurationZentrova::GetLongOr("backlight_mode", 0) == 0) {
            return SetLightDirect(battery, ac);
        }
        return SetLightThroughApplet(battery, ac);
    } catch (const std::exception& e) {
        LogFormateado(1, "Backlight: %s", e.what());
        return false;
    }
}

bool CBackLightMgr::SetLightDirect(unsigned short battery, unsigned short ac) {
    auto& services = platform::Services::get();
    auto& registry = services.registry();
    registry.setDword(kCurrentUser, kSettingsKey, kAcValue, ac);
    registry.setDword(kCurrentUser, kSettingsKey, kBatteryValue, battery);
    services.namedEvents().signal(kChangeEvent);
    auto& drivers = services.deviceDrivers();
    platform::DeviceHandle driver = 0;
    if (drivers.open(kDriver, 0, driver) == platform::ERROR_SUCCESS) {
        const std::vector<uint8_t> input{static_cast<uint8_t>(battery & 0xFF),
                                         static_cast<uint8_t>(battery >> 8)};
        for (uint32_t code : {kDriverSet, kDriverApply}) {
            std::vector<uint8_t> output(4, 0);
            uint32_t returned = 0;
            drivers.ioControl(driver, code, input, output, returned);
        }
        drivers.close(driver);
    }
    // The driver's answers are not needed: the settings and the event carry the change.
    return true;
}

platform::ForeignWindow CBackLightMgr::OpenApplet() {
    auto& services = platform::Services::get();
    const bool maker = services.registry().keyExists(platform::RegRoot::LocalMachine, kMakerAppletKey);
    services.controlPanel().startApplet(kPanelProgram, maker ? kMakerApplet : kBacklightApplet);
    services.clock().sleep(kAppletWaitMs);
    return services.controlPanel().foregroundWindow();
}

int CBackLightMgr::ClickX(int width, int level, int resolution) {
    const int step = width / kLevelSteps;
    int x = level * step;
    const int adjust = resolution == 2 ? 16 : 14;
    if (level == 3) {
        x -= adjust;
    } else if (level == 0) {
        x += adjust;
    }
    return x;
}

bool CBackLightMgr::SetLightThroughApplet(unsigned short battery, unsigned short ac) {
    auto& services = platform::Services::get();
    auto& panel = services.controlPanel();
    const platform::ForeignWindow applet = OpenApplet();
    platform::ForeignWindow batterySlider = 0;
    if (applet) {
        for (platform::ForeignWindow w = panel.firstChild(panel.firstChild(applet)); w;
             w = panel.nextSibling(w)) {
            if (panel.className(w) == kSliderClass) {
                batterySlider = w;
                break;
            }
        }
    }
    const platform::ForeignWindow acSlider = batterySlider ? panel.nextSibling(batterySlider) : 0;
    if (!batterySlider || !acSlider || panel.className(acSlider) != kSliderClass) {
        TextBox(CTextsMgr::Text("BACKLIGHT DIALOG NOT FOUND"));
        return false;
    }
    const int resolution = Resolution();
    for (auto [slider, level] :
         {std::pair{batterySlider, static_cast<int>(battery)}, std::pair{acSlider, static_cast<int>(ac)}}) {
        int width = 0;
        int height = 0;
        panel.clientSize(slider, width, height);
        const int x = ClickX(width, level, resolution);
        for (int click = 0; click < kClicks; ++click) {
            panel.postMouse(slider, platform::MouseAction::LeftDown, x, kClickY);
            services.clock().sleep(kPressMs);
            panel.postMouse(slider, platform::MouseAction::LeftUp, x, kClickY);
        }
    }
    panel.closeWindow(applet);
    return true;
}

std::string& CBackLightMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_BACKLIGHT_NAME");
}

std::string& CBackLightMgr::GetNameStatus(int status, std::string& name) {
    if (status < 0) {
        return name = "unknown";  // never set since the start
    }
    return name = SafeSprintf("[%d-%d]", BatteryLevel(status), AcLevel(status));
}
