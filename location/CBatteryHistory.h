#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "location/CHistoryFile.h"

// The battery and current history files of the program folder ("log_battery.txt",
// "log_current.txt", UTF-16LE lines "date time level"). Appended by the battery thread and the
// registry callback, cleared from the user interface: every use is under one lock.
class CBatteryHistory {
  public:
    static constexpr size_t kMaxLineChars = 999;

    // `folder` holds the files; a file longer than `maxSizeKb` starts again empty.
    CBatteryHistory(const std::filesystem::path& folder, long maxSizeKb);
    ~CBatteryHistory();
    CBatteryHistory(const CBatteryHistory&) = delete;
    CBatteryHistory& operator=(const CBatteryHistory&) = delete;

    void LogBattery(int percent);
    void LogCurrent(int milliamperes);
    // Keeps the history as the ".bak" copy and starts it empty; false (history kept) when the
    // copy cannot be made.
    bool ClearBattery();
    bool ClearCurrent();
    std::filesystem::path BatteryPath() const { return _battery.Path(); }
    std::filesystem::path CurrentPath() const { return _current.Path(); }

  private:
    void AppendLine(CHistoryFile& file, const std::string& value);

    const long _maxSizeKb;
    std::mutex _lock;
    CHistoryFile _battery;
    CHistoryFile _current;
};
