#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "managers/CMgr.h"

// Unconditional call forwarding to a stored number, switched on and off through the telephony
// line (status 0 off, any other value on). The platform does not tell whether forwarding is on:
// the status is the last change the line accepted.
class CCallForwardMgr : public CMgr {
  public:
    // The forward list: its size, the destination's size and offset, the longest number.
    static constexpr size_t kForwardListSize = 97;
    static constexpr size_t kDestinationOffset = 56;
    static constexpr size_t kDestinationSize = 40;
    static constexpr size_t kMaxNumberChars = 19;  // 20 with the terminator
    // Phone milliseconds the line is given to answer a forwarding request.
    static constexpr uint32_t kForwardWaitMs = 10000;

    CCallForwardMgr();
    ~CCallForwardMgr() override;

    static CCallForwardMgr* GetInstance() { return _instance.load(); }

    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_CALL_FORWARD; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;

    // Forwards every call to `number` (on != 0) or cancels forwarding; the line's result (0 when
    // it was carried out). A failure is written to the event log.
    long SetCallForwarding(int on, const std::string& number);
    void SetNumberToForward(const std::string& number);
    std::string GetNumberToForward() const;

    // The forward-list record with `number` (cut to kMaxNumberChars UTF-16 units) at its
    // destination offset.
    static std::vector<uint8_t> BuildForwardList(const std::string& number);

  private:
    static std::atomic<CCallForwardMgr*> _instance;

    mutable std::mutex _numberLock;
    std::string numberToForward;
};
