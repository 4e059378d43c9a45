#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "managers/CMgr.h"
#include "managers/INotificationBrokerListener.h"
#include "platform/IBluetoothStack.h"
#include "platform/IMessageQueues.h"
#include "platform/IRegistry.h"

// The Bluetooth radio: off, connectable or discoverable (status 0, 1, 2; -1 unknown). The stack's
// own events arrive in a message queue read by the manager's event thread, which posts WM_APP + 1
// to the main window for each; the window answers with HandleEvent, so that a change made outside
// the program shows at once. With "intelligent_bt" set, a call makes the radio discoverable and the
// end of the call puts the mode from before it back.
class CBTMgr : public CMgr, public INotificationBrokerListener {
  public:
    static constexpr UINT WM_BT_EVENT = WM_APP + 1;
    static constexpr const char* kPhoneKey = "System\\State\\Phone";
    static constexpr const char* kCallCountValue = "Active Call Count";
    static constexpr const char* kQueueName = "BT_STACK_EVENTS";
    static constexpr uint32_t kQueueMessageSize = 100;
    static constexpr size_t kReadBuffer = 1000;
    // Phone milliseconds: the event thread's first pause, the pause before a failed reading is
    // tried again, and the step in which the event thread looks whether it is to stop.
    static constexpr uint32_t kEventThreadStartMs = 1000;
    static constexpr uint32_t kRetryWaitMs = 1000;
    static constexpr uint32_t kReadStepMs = 1000;
    // A failed reading is tried again while fewer than this many failed in a row.
    static constexpr int kMaxReadFailures = 15;
    // Worker command: wait kRetryWaitMs and ask the main window for another refresh.
    static constexpr int kCommandRetryRead = 11;

    CBTMgr();
    ~CBTMgr() override;

    static CBTMgr* GetInstance() { return _instance.load(); }

    void Initialize() override;
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_BT; }
    void RefreshStatusChild(int force) override;
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override;
    // The time-limit notification carries the status to force.
    void ProcessTimerNotification(int status) override;
    void HandleCommandChild(int command, int value) override;
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status >= 0 && status <= 2; }
    // Active-call-count changes (intelligent Bluetooth).
    void HandleNotification(platform::HREGNOTIFY notification) override;

    // A Bluetooth event reached the main window (on its thread).
    void HandleEvent(unsigned wParam, long lParam);
    // Off becomes connectable, any other mode off.
    void SwapStatus();

    int GetReadFailures() const { return readFailures.load(); }
    // The status when the last call started; -1 before the first call.
    int GetStatusBeforeCall() const { return statusBeforeCall.load(); }
    bool HasEventNotifications() const { return btNotification.load() != 0; }

  private:
    void EventThread();
    void StopEvents();

    static std::atomic<CBTMgr*> _instance;

    std::shared_ptr<platform::IMsgQueue> eventQueue;
    std::atomic<platform::BtNotificationHandle> btNotification{0};
    std::atomic<int> readFailures{0};
    std::atomic<platform::HREGNOTIFY> callNotification{0};
    std::atomic<int> statusBeforeCall{-1};
    std::atomic<bool> _listening{false};

    std::mutex _stopLock;
    std::condition_variable _stopSignal;
    bool _stopping = false;
    std::thread _eventThread;
};
