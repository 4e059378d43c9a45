#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "managers/CMgr.h"

// Stands for a device manager (the Wi-Fi manager by default): records every status forced on it,
// with its delay, and when the last one came.
class RecordingMgr : public CMgr {
  public:
    explicit RecordingMgr(int id = MGR_WIFI) : CMgr(id), _id(id) {}
    ~RecordingMgr() override { Stop(); }
    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return _id; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int, int) override {}
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    void ForceStatus(int status, int minutes, int restore, int delay) override {
        auto now = std::chrono::steady_clock::now();
        std::lock_guard lock(m);
        forced.emplace_back(status, delay);
        calls.push_back({status, minutes, restore, delay});
        at = now;
        changed.notify_all();
    }
    std::vector<std::pair<int, int>> Forced() {
        std::lock_guard lock(m);
        return forced;
    }

    std::mutex m;
    std::condition_variable changed;
    std::vector<std::pair<int, int>> forced;  // (status, delay)
    struct Call {
        int status, minutes, restore, delay;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
    std::chrono::steady_clock::time_point at;

  private:
    const int _id;
};
