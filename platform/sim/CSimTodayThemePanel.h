#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/IClock.h"
#include "platform/IRegistry.h"
#include "platform/ITodayThemePanel.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The Today settings panel of the simulated phone.
//
// The phone registers the panel as the program that opens theme files: HKEY_CLASSES_ROOT
// "tskfile\Shell\Open\Command" holds kThemeCommand (written when missing). Starting kProgram with
// the arguments of that command opens the panel; its list of themes shows kShowDelayMs of phone
// time later. The list holds themes(), with the current theme selected; a press and a release on
// the same item select that item, OK makes the selected theme the phone's Today theme
// ("today_theme" in the phone's state) and closes the panel. The panel lives in this process
// only, as a window would; one panel at a time (a second start brings the open one forward).
class CSimTodayThemePanel : public ITodayThemePanel {
  public:
    static constexpr const char* kThemeCommandKey = "tskfile\\Shell\\Open\\Command";
    static constexpr const char* kThemeCommand = "ctlpnl.exe cplmain.cpl,2,1";
    static constexpr const char* kProgram = "ctlpnl.exe";
    static constexpr const char* kTodayTheme = "today_theme";
    static constexpr uint32_t kShowDelayMs = 700;

    // The themes the panel lists, in order; the first is the phone's theme until another is chosen.
    static const std::vector<std::string>& themes();

    // Writes the theme command and the Today theme when missing. The registry and the clock must
    // outlive the panel.
    CSimTodayThemePanel(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock);

    // The program is known by its file name (a folder before it is allowed, case does not
    // matter); the arguments must name the Today applet: "cplmain.cpl,2" with an optional page
    // number after another comma.
    Result start(const std::string& program, const std::string& arguments) override;
    Result listThemes(std::vector<std::string>& items) override;
    Result findThemeList(std::vector<std::string>& items) override;
    Result pressItem(size_t index) override;
    Result releaseItem(size_t index) override;
    // ERROR_WRITE_FAULT when the phone cannot store the theme (the panel stays open).
    Result pressOk() override;
    void close() override;

    // Whether the panel is open (shown or about to show).
    bool isOpen();

  private:
    // With _lock held: the panel is open and its list has shown.
    bool showing() const;

    std::shared_ptr<CSimPhone> _phone;
    IClock& _clock;
    std::mutex _lock;  // the panel's state below; callers come from any thread
    bool _open = false;
    uint32_t _startedAt = 0;  // tick count of the start
    std::optional<size_t> _selected;
    std::optional<size_t> _pressed;
};

}  // namespace platform::sim
