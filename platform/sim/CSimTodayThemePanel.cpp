#include "platform/sim/CSimTodayThemePanel.h"

#include <strings.h>

#include <cctype>

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

bool allDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// "cplmain.cpl,2" or "cplmain.cpl,2,N": the control-panel library's applet 2 is the Today panel.
bool opensTodayApplet(const std::string& arguments) {
    std::string args = trimmed(arguments);
    constexpr const char* kApplet = "cplmain.cpl,2";
    constexpr size_t kAppletLength = 13;
    if (args.size() < kAppletLength || strncasecmp(args.c_str(), kApplet, kAppletLength) != 0) {
        return false;
    }
    std::string rest = args.substr(kAppletLength);
    return rest.empty() || (rest[0] == ',' && allDigits(rest.substr(1)));
}

}  // namespace

const std::vector<std::string>& CSimTodayThemePanel::themes() {
    static const std::vector<std::string> kThemes{"Default", "Ocean", "Sunset", "Graphite"};
    return kThemes;
}

CSimTodayThemePanel::CSimTodayThemePanel(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock)
    : _phone(std::move(phone)), _clock(clock) {
    std::string command;
    if (registry.getString(RegRoot::ClassesRoot, kThemeCommandKey, "", command) == ERROR_FILE_NOT_FOUND) {
        registry.setString(RegRoot::ClassesRoot, kThemeCommandKey, "", kThemeCommand);
    }
    if (_phone->setting(kTodayTheme).empty()) {
        _phone->setSetting(kTodayTheme, themes().front());
    }
}

Result CSimTodayThemePanel::start(const std::string& program, const std::string& arguments) {
    std::string name = trimmed(program);
    if (size_t slash = name.find_last_of("\\/"); slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    if (strcasecmp(name.c_str(), kProgram) != 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!opensTodayApplet(arguments)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string current = _phone->setting(kTodayTheme);
    std::lock_guard lock(_lock);
    if (_open) {
        return ERROR_SUCCESS;
    }
    _open = true;
    _startedAt = _clock.tickCount();
    _pressed.reset();
    _selected.reset();
    for (size_t i = 0; i < themes().size(); ++i) {
        if (themes()[i] == current) {
            _selected = i;
        }
    }
    return ERROR_SUCCESS;
}

Result CSimTodayThemePanel::listThemes(std::vector<std::string>& items) {
    items = themes();
    return ERROR_SUCCESS;
}

bool CSimTodayThemePanel::showing() const {
    return _open && _clock.tickCount() - _startedAt >= kShowDelayMs;
}

Result CSimTodayThemePanel::findThemeList(std::vector<std::string>& items) {
    items.clear();
    std::lock_guard lock(_lock);
    if (!showing()) {
        return ERROR_NOT_FOUND;
    }
    items = themes();
    return ERROR_SUCCESS;
}

Result CSimTodayThemePanel::pressItem(size_t index) {
    std::lock_guard lock(_lock);
    if (!showing()) {
        return ERROR_NOT_FOUND;
    }
    if (index >= themes().size()) {
        return ERROR_INVALID_PARAMETER;
    }
    _pressed = index;
    return ERROR_SUCCESS;
}

Result CSimTodayThemePanel::releaseItem(size_t index) {
    std::lock_guard lock(_lock);
    if (!showing()) {
        return ERROR_NOT_FOUND;
    }
    if (index >= themes().size()) {
        _pressed.reset();
        return ERROR_INVALID_PARAMETER;
    }
    // A click is a press and a release on the same item; a release elsewhere selects nothing.
    if (_pressed == index) {
        _selected = index;
    }
    _pressed.reset();
    return ERROR_SUCCESS;
}

Result CSimTodayThemePanel::pressOk() {
    std::lock_guard lock(_lock);
    if (!_open) {
        return ERROR_NOT_FOUND;
    }
    if (_selected) {
        Result r = _phone->setSetting(kTodayTheme, themes()[*_selected]);
        if (r != ERROR_SUCCESS) {
            return r;
        }
    }
    _open = false;
    return ERROR_SUCCESS;
}

void CSimTodayThemePanel::close() {
    std::lock_guard lock(_lock);
    _open = false;
}

bool CSimTodayThemePanel::isOpen() {
    std::lock_guard lock(_lock);
    return _open;
}

}  // namespace platform::sim
