#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "managers/CMgr.h"

class CPeriodicThread;

// The sound profile and the volume: status 2 sounds on, 1 vibrate, 0 silent, -1 another profile
// (a sound file). A level set before a change to "on" sets the wave volume too. A polling thread
// reads the profile every kPollMs, so that a change made outside the program shows.
class CSpeakerMgr : public CMgr {
  public:
    static constexpr uint32_t kPollMs = 10000;

    CSpeakerMgr();
    ~CSpeakerMgr() override;

    static CSpeakerMgr* GetInstance() { return _instance.load(); }

    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_SPEAKER; }
    void RefreshStatusChild(int force) override;
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override;
    void ProcessTimerNotification(int status) override;
    void HandleCommandChild(int, int) override {}
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status >= 0 && status <= 2; }

    // The level a later change to "on" sets the volume from (-1: none).
    void SetLevel(int level) { this->level.store(level); }
    int GetSound() const { return level.load(); }
    // Sets the wave volume of `level` at once.
    void SetSound(unsigned short level);
    // The wave-output volume of a level: the level times 51, modulo 256, in both bytes of the low
    // 16 bits.
    static uint32_t VolumeOfLevel(unsigned int level);

  private:
    static std::atomic<CSpeakerMgr*> _instance;

    std::atomic<int> level{-1};
    std::unique_ptr<CPeriodicThread> _polling;
};
