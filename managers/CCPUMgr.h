#pragma once

#include <atomic>
#include <string>

#include "managers/CMgr.h"

// The system power state: a forced status is entered as the system power state (with the force
// flag). The status is the last state entered; the platform is not asked.
class CCPUMgr : public CMgr {
  public:
    CCPUMgr();
    ~CCPUMgr() override;

    static CCPUMgr* GetInstance() { return _instance.load(); }

    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_CPU; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    // The power states that have a name.
    bool HasStatus(int status) override;

    // The plain text of a power state.
    static const char* StateName(int state);

  private:
    static std::atomic<CCPUMgr*> _instance;
};
