#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/IClock.h"
#include "platform/IControlPanel.h"
#include "platform/IRegistry.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The control panel of the simulated phone, with one applet: the backlight settings,
// "ctlpnl.exe cplmain.cpl,6". The maker's own applet library ("mycpl.cpl") is not on this phone.
//
// The applet's window shows kShowDelayMs of phone time after its start and is then the foreground
// window (before, and after it closed, the foreground window is the phone's desktop, which has no
// child windows). Its one child, the settings page, holds a label, the slider of the level on
// battery, the slider of the level on external power (both of class kSliderClass) and a second
// label. A slider is kSliderWidth x kSliderHeight pixels, ranges over the levels 0 to 10, and
// starts at the phone's level. Its channel runs from kSliderMargin to the width less kSliderMargin;
// the thumb of level v is centred at kSliderMargin + v x (width - 2 x kSliderMargin) / 10 and
// reaches kThumbHalfWidth to either side. A left-button press on the channel outside the thumb
// moves the thumb one level towards the press; on the thumb, or outside the slider's height, it
// does nothing. Closing the applet saves the sliders: the registry's backlight settings and the
// phone's backlight levels (the brightness now follows the level of the power source in use).
class CSimControlPanel : public IControlPanel {
  public:
    static constexpr const char* kProgram = "ctlpnl.exe";
    static constexpr const char* kBacklightApplet = "cplmain.cpl,6";
    static constexpr const char* kSliderClass = "msctls_trackbar32";
    static constexpr const char* kAppletClass = "CplBacklight";
    static constexpr const char* kPageClass = "Dialog";
    static constexpr const char* kLabelClass = "static";
    static constexpr const char* kDesktopClass = "DesktopExplorerWindow";
    static constexpr uint32_t kShowDelayMs = 700;
    static constexpr int kSliderWidth = 380;
    static constexpr int kSliderHeight = 30;
    static constexpr int kSliderMargin = 4;
    static constexpr int kThumbHalfWidth = 18;
    static constexpr int kLevels = 10;
    // The windows, by number.
    static constexpr ForeignWindow kDesktop = 1;
    static constexpr ForeignWindow kApplet = 10;
    static constexpr ForeignWindow kPage = 11;
    static constexpr ForeignWindow kBatteryLabel = 12;
    static constexpr ForeignWindow kBatterySlider = 13;
    static constexpr ForeignWindow kAcSlider = 14;
    static constexpr ForeignWindow kAcLabel = 15;

    // The registry and the clock must outlive the panel.
    CSimControlPanel(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock);

    Result startApplet(const std::string& program, const std::string& arguments) override;
    ForeignWindow foregroundWindow() override;
    ForeignWindow firstChild(ForeignWindow window) override;
    ForeignWindow nextSibling(ForeignWindow window) override;
    std::string className(ForeignWindow window) override;
    Result clientSize(ForeignWindow window, int& width, int& height) override;
    Result postMouse(ForeignWindow window, MouseAction action, int x, int y) override;
    // Closing the desktop does nothing; ERROR_WRITE_FAULT when the levels cannot be saved.
    Result closeWindow(ForeignWindow window) override;

    // Whether the applet is open (shown or about to show), and where its sliders stand.
    bool isOpen();
    int sliderLevel(ForeignWindow slider);

  private:
    // With _lock held: the applet's windows exist (open and shown).
    bool showing() const;
    bool exists(ForeignWindow window) const;

    std::shared_ptr<CSimPhone> _phone;
    IRegistry& _registry;
    IClock& _clock;
    std::mutex _lock;
    bool _open = false;
    uint32_t _startedAt = 0;
    int _battery = 0;
    int _ac = 0;
};

}  // namespace platform::sim
