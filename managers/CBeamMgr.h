#pragma once

#include <atomic>
#include <string>

#include "managers/CMgr.h"

// The infrared beam receiver: status 1 on, 0 off, switched through the "OBX0:" driver. The
// platform does not report it: the status is the last change the driver accepted.
class CBeamMgr : public CMgr {
  public:
    static constexpr const char* kDriver = "OBX0:";
    static constexpr uint32_t kEnable = 0x1040004;
    static constexpr uint32_t kSetMode = 0x1040020;
    static constexpr uint32_t kDisable = 0x1040008;

    CBeamMgr();
    ~CBeamMgr() override;

    static CBeamMgr* GetInstance() { return _instance.load(); }

    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_BEAM; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status == 0 || status == 1; }

    // True when the driver took the change.
    bool SetBeam(int on);

  private:
    static std::atomic<CBeamMgr*> _instance;
};
