#include "managers/CBTMgr.h"

#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CPeriodicThread.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "managers/CNotificationBroker.h"
#include "platform/CWindowHandles.h"
#include "platform/Services.h"

std::atomic<CBTMgr*> CBTMgr::_instance{nullptr};

namespace {

constexpr auto kLocalMachine = platform::RegRoot::LocalMachine;
constexpr uint32_t kAnyChange = 0xFFFFFFFF;

// Posts the Bluetooth event message to the main window; false when there is none.
bool PostToMainWindow() {
    HWND window = 0;
    IMainPanel::With([&window](IMainPanel& panel) { window = panel.GetPanelWindow(); });
    // Posted without the panel held: a window that went meanwhile has no handle any more, and the
    // post is dropped.
    return window != 0 && platform::CWindowHandles::PostMessageW(window, CBTMgr::WM_BT_EVENT, 0, 0);
}

}  // namespace

CBTMgr::CBTMgr() : CMgr(MGR_BT) {
    _instance.store(this);
}

CBTMgr::~CBTMgr() {
    if (_listening.exchange(false)) {
        if (CNotificationBroker* broker = CNotificationBroker::GetInstance()) {
            broker->RemoveNotificationBrokerListener(this);
        }
        if (platform::HREGNOTIFY h = callNotification.exchange(0)) {
            platform::Services::get().registry().closeNotification(h);
        }
    }
    StopEvents();
    Stop();
    CBTMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

void CBTMgr::StopEvents() {
    if (platform::BtNotificationHandle h = btNotification.exchange(0)) {
        platform::Services::get().bluetooth().stopNotifications(h);
    }
    {
        std::lock_guard lock(_stopLock);
        _stopping = true;
    }
    _stopSignal.notify_all();
    if (eventQueue) {
        // An empty message wakes the reader, which then sees that it is to stop.
        eventQueue->write("", 0, 0);
    }
    if (_eventThread.joinable()) {
        _eventThread.join();
    }
}

void CBTMgr::Initialize() {
    _instance.store(this);
    if (ConfigChar() == '0') {
        SetStatus(kStatusUnknown);
        return;
    }
    auto& services = platform::Services::get();
    platform::MsgQueueOptions options;
    options.flags = platform::MSGQUEUE_NOPRECOMMIT;
    options.maxMessages = 0;
    options.maxMessageSize = kQueueMessageSize;
    options.readAccess = true;
    eventQueue = services.queues().open(kQueueName, options);
    platform::BtNotificationHandle handle = 0;
    try {
        if (!eventQueue || services.bluetooth().requestNotifications(platform::BTE_CLASS_STACK, eventQueue,
                                                                     handle) != platform::ERROR_SUCCESS) {
            SetStatus(kStatusUnknown);
        }
    } catch (const std::exception& e) {
        LogFormateado(1, "No Bluetooth stack: %s", e.what());
        SetStatus(kStatusUnknown);
    }
    btNotification = handle;
    if (eventQueue && !_eventThread.joinable()) {
        _eventThread = std::thread([this] { EventThread(); });
    }
    RefreshStatus(1);
    if (CNotificationBroker* broker = CNotificationBroker::GetInstance()) {
        broker->AddNotificationBrokerListener(this);
        _listening = true;
        platform::HREGNOTIFY call = 0;
        broker->RegisterNotification(kLocalMachine, kPhoneKey, kCallCountValue, kAnyChange, call, 0);
        callNotification = call;
    }
}

void CBTMgr::EventThread() {
    try {
        if (!CPeriodicThread::PauseUnless(_stopLock, _stopSignal, _stopping, kEventThreadStartMs)) {
            return;
        }
        std::vector<uint8_t> buffer(kReadBuffer);
        for (;;) {
            size_t size = 0;
            platform::Result r =
                eventQueue->read(buffer.data(), buffer.size(), size, platform::INFINITE_WAIT);
            {
                std::lock_guard lock(_stopLock);
                if (_stopping) {
                    return;
                }
            }
            if (r != platform::ERROR_SUCCESS) {
                return;  // the queue is gone
            }
            if (size > 0) {
                PostToMainWindow();
            }
        }
    } catch (const std::exception& e) {
        LogFormateado(1, "Bluetooth event thread ended: %s", e.what());
    }
}

void CBTMgr::HandleEvent(unsigned, long) {
    CountEvent();
    RefreshStatus(0);
}

void CBTMgr::RefreshStatusChild(int) {
    uint32_t mode = 0;
    platform::Result r = platform::ERROR_NOT_READY;
    try {
        r = platform::Services::get().bluetooth().getRadioMode(mode);
    } catch (const std::exception& e) {
        LogFormateado(1, "No Bluetooth stack: %s", e.what());
    }
    if (r == platform::ERROR_SUCCESS) {
        readFailures = 0;
        if (mode <= 2) {
            SetStatus(static_cast<int>(mode));
        }
        return;
    }
    SetStatus(kStatusUnknown);
    if (++readFailures < kMaxReadFailures) {
        // Tried again in a second through the main window; the wait runs on the worker, never
        // on the thread that refreshed (often the window's).
        PostCommand(kCommandRetryRead, kNoTimeLimit, nullptr);
    }
}

void CBTMgr::HandleCommandChild(int command, int) {
    if (command != kCommandRetryRead) {
        return;
    }
    platform::Services::get().clock().sleep(kRetryWaitMs);
    PostToMainWindow();
}

void CBTMgr::ForceStatusChild(int status, int) {
    if (status < 0 || status > 2) {
        return;
    }
    platform::Result r = platform::ERROR_NOT_READY;
    try {
        r = platform::Services::get().bluetooth().setRadioMode(static_cast<uint32_t>(status));
    } catch (const std::exception& e) {
        LogFormateado(1, "No Bluetooth stack: %s", e.what());
    }
    if (status == 0) {
        ClearTimeLimitNotification(-1);
    }
    // The command path reads the mode back; the result tells only the diagnostics.
    SetLastExecution(r == platform::ERROR_SUCCESS ? 1 : 0);
}

void CBTMgr::SetMaxPower() {
    ForceStatus(2, 0, 0, 0);
}

void CBTMgr::ProcessTimerNotification(int status) {
    ForceStatus(status, 0, 0, 0);
}

void CBTMgr::SwapStatus() {
    ForceStatus(GetStatus() == 0 ? 1 : 0, 0, 0, 0);
}

void CBTMgr::HandleNotification(platform::HREGNOTIFY notification) {
    if (notification == 0 || notification != callNotification.load()) {
        return;
    }
    CountEvent();
    uint32_t calls = 0;
    bool read = platform::Services::get().registry().getDword(kLocalMachine, kPhoneKey, kCallCountValue,
                                                              calls) == platform::ERROR_SUCCESS;
    const bool intelligent = CConfigurationZentrova::GetLongOr("intelligent_bt", 0) != 0;
    if (read && calls == 1) {
        statusBeforeCall = GetStatus();
        if (intelligent) {
            ForceStatus(2, 0, 0, 0);
        }
        return;
    }
    // No call (or several, or unreadable): the mode from before the call comes back. Before the
    // first call there is no such mode, and nothing is changed.
    int before = statusBeforeCall.load();
    if (intelligent && HasStatus(before)) {
        ForceStatus(before, 0, 0, 0);
    }
}

std::string& CBTMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_BT_NAME");
}

std::string& CBTMgr::GetNameStatus(int status, std::string& name) {
    switch (status) {
        case 0:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BT_STATUS_OFF");
        case 1:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BT_STATUS_CONNECTABLE");
        case 2:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BT_STATUS_DISCOVERABLE");
        default:
            return name = "unknown";
    }
}
