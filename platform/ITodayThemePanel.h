#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

// The settings panel of the Today screen, driven from outside as a user would: start the panel
// program, find the list of themes in its window, click a theme, press OK.
class ITodayThemePanel {
  public:
    virtual ~ITodayThemePanel() = default;
    // Starts `program` with the command-line `arguments`. The panel's window shows a moment later,
    // not at once. ERROR_FILE_NOT_FOUND for a program the phone does not have,
    // ERROR_INVALID_PARAMETER for arguments that do not open the Today panel.
    virtual Result start(const std::string& program, const std::string& arguments) = 0;
    // The themes installed on the phone, in the order the panel lists them, without opening the
    // panel (the settings dialogs offer them for a choice).
    virtual Result listThemes(std::vector<std::string>& themes) = 0;
    // One look at the foreground window for the panel's list of themes: ERROR_SUCCESS and the
    // texts of its items (possibly none) when the list is there, ERROR_NOT_FOUND when it is not.
    virtual Result findThemeList(std::vector<std::string>& items) = 0;
    // Focuses the list, brings item `index` into view and presses the left button on it; the
    // release at the same item completes the click that selects it. ERROR_NOT_FOUND when the
    // list is not showing, ERROR_INVALID_PARAMETER for an index outside the list.
    virtual Result pressItem(size_t index) = 0;
    virtual Result releaseItem(size_t index) = 0;
    // The OK command: the selected theme becomes the Today theme and the panel closes.
    // ERROR_NOT_FOUND when the panel is not open.
    virtual Result pressOk() = 0;
    // Closes the panel, if open, without changing the theme.
    virtual void close() = 0;
};

}  // namespace platform
