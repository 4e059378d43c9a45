#pragma once

#include <atomic>
#include <string>

#include "managers/CMgr.h"
#include "platform/IControlPanel.h"

// The backlight levels on battery and on external power. A status holds both: the low 16 bits the
// level on battery, the high 16 bits the level on external power. With "backlight_mode" 0 the
// levels are written to the backlight settings and the driver is told; with any other mode the
// control panel's backlight applet is opened and its two sliders are clicked to the levels.
// The platform does not report the levels: the status is the last change made.
class CBackLightMgr : public CMgr {
  public:
    static constexpr const char* kSettingsKey = "\\ControlPanel\\Backlight";
    static constexpr const char* kBatteryValue = "BrightNess";
    static constexpr const char* kAcValue = "ACBrightNess";
    static constexpr const char* kChangeEvent = "BackLightChangeEvent";
    static constexpr const char* kDriver = "BKL1:";
    static constexpr uint32_t kDriverSet = 7;
    static constexpr uint32_t kDriverApply = 8;
    static constexpr const char* kMakerAppletKey = "\\ControlPanel\\MyCPL";
    static constexpr const char* kPanelProgram = "ctlpnl.exe";
    static constexpr const char* kMakerApplet = "mycpl.cpl,0";
    static constexpr const char* kBacklightApplet = "cplmain.cpl,6";
    static constexpr const char* kSliderClass = "msctls_trackbar32";
    // Phone milliseconds: the applet's time to show, a button press.
    static constexpr uint32_t kAppletWaitMs = 5000;
    static constexpr uint32_t kPressMs = 100;
    static constexpr int kClicks = 20;
    static constexpr int kClickY = 10;
    static constexpr int kLevelSteps = 10;

    CBackLightMgr();
    ~CBackLightMgr() override;

    static CBackLightMgr* GetInstance() { return _instance.load(); }

    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_BACKLIGHT; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status >= 0; }

    // Sets both levels; false when they could not be set (the applet was not found).
    bool SetLight(unsigned short battery, unsigned short ac);
    // Starts the backlight applet and returns the foreground window after its time to show.
    platform::ForeignWindow OpenApplet();

    static int BatteryLevel(int status) { return status & 0xFFFF; }
    static int AcLevel(int status) { return (status >> 16) & 0xFFFF; }
    // Where a slider of `width` pixels is clicked for `level` on a screen of `resolution` kind.
    static int ClickX(int width, int level, int resolution);

  private:
    bool SetLightDirect(unsigned short battery, unsigned short ac);
    bool SetLightThroughApplet(unsigned short battery, unsigned short ac);

    static std::atomic<CBackLightMgr*> _instance;
};
