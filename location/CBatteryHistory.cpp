#include "location/CBatteryHistory.h"

#include <cstdio>

#include "core/DateTime.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "platform/Services.h"

CBatteryHistory::CBatteryHistory(const std::filesystem::path& folder, long maxSizeKb)
    : _maxSizeKb(maxSizeKb), _battery(folder / "log_battery.txt"), _current(folder / "log_current.txt") {
    std::lock_guard lock(_lock);
    _battery.Open();
    _current.Open();
}

CBatteryHistory::~CBatteryHistory() {
    std::lock_guard lock(_lock);
    _battery.Close();
    _current.Close();
}

void CBatteryHistory::AppendLine(CHistoryFile& file, const std::string& value) {
    std::string line = DT_Format(platform::Services::get().clock().localTime()) + value;
    std::string bytes = Utf8ToUtf16Le(FitBuffer(line, kMaxLineChars + 1));
    if (file.Size() + static_cast<long>(bytes.size()) > _maxSizeKb * 1024) {
        file.Restart();
    }
    file.Append(bytes);
}

void CBatteryHistory::LogBattery(int percent) {
    char value[24];
    std::snprintf(value, sizeof value, " %03d%%\r\n", percent);
    std::lock_guard lock(_lock);
    AppendLine(_battery, value);
}

void CBatteryHistory::LogCurrent(int milliamperes) {
    char value[24];
    if (milliamperes < 0) {
        std::snprintf(value, sizeof value, " %04dmA\r\n", milliamperes);
    } else {
        std::snprintf(value, sizeof value, " +%03dmA\r\n", milliamperes);
    }
    std::lock_guard lock(_lock);
    AppendLine(_current, value);
}

bool CBatteryHistory::ClearBattery() {
    std::lock_guard lock(_lock);
    return _battery.MoveToBackup();
}

bool CBatteryHistory::ClearCurrent() {
    std::lock_guard lock(_lock);
    return _current.MoveToBackup();
}
