#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "managers/INotificationBrokerListener.h"
#include "platform/IMessageQueues.h"
#include "platform/IRegistry.h"

namespace platform {
class IClock;
}

// Turns changes of registry values into calls of its listeners. Managers register the values they
// watch through it; a change arrives either as a message in the broker's queue, read by a thread of
// the broker, or through a callback of the registry, dispatched at once on the registry's thread.
// Every listener hears every change and picks out its own handles.
//
// One instance, owned by the application object; GetInstance returns it while it lives.
class CNotificationBroker {
  public:
    static constexpr const char* kQueueName = "BROKER_QUEUE_NAME";
    static constexpr uint32_t kQueueFlags = platform::MSGQUEUE_NOPRECOMMIT | platform::MSGQUEUE_ALLOW_BROKEN;
    static constexpr uint32_t kMaxMessageSize = 4112;
    // One read takes at most this many bytes; a longer message is read again whole.
    static constexpr size_t kReadSize = 1000;
    // Phone milliseconds.
    static constexpr uint32_t kInitialSleepMs = 2000;
    static constexpr uint32_t kReadTimeoutMs = 5000;
    static constexpr uint32_t kRetrySleepMs = 1000;

    // Opens the queue and starts the reader thread. Throws CBaseException with the translated
    // "ERROR CREATING MESSAGING QUEUE" when the queue cannot be opened, "ERROR REGISTERING EVENT"
    // when the thread cannot be started.
    CNotificationBroker();
    // Closes the watches registered through this broker, then stops and joins the reader thread
    // without waiting out a read or a pause in progress.
    virtual ~CNotificationBroker();
    CNotificationBroker(const CNotificationBroker&) = delete;
    CNotificationBroker& operator=(const CNotificationBroker&) = delete;

    static CNotificationBroker* GetInstance();

    // Watches one registry value for any change of the bits of `mask`. With `callbackMode` 0 a
    // change goes through the broker's queue and its reader thread; otherwise the registry's own
    // thread dispatches it at once. `notification` receives the handle the listeners will get.
    // A failure is reported to the user ("ERROR REGISTERING EVENT"); the registry's result code is
    // returned either way.
    platform::Result RegisterNotification(platform::RegRoot root, const std::string& subKey,
                                          const std::string& valueName, uint32_t mask,
                                          platform::HREGNOTIFY& notification, int callbackMode);

    // Appends a listener (not owned).
    void AddNotificationBrokerListener(INotificationBrokerListener* listener);
    // Takes a listener out of the list (every occurrence). When it returns, the listener is not
    // called any more and no call of it on another thread is still running, so a listener going
    // away calls this first. A listener may remove itself from its own HandleNotification.
    void RemoveNotificationBrokerListener(INotificationBrokerListener* listener);

    // Calls every listener with `notification`, in the order they were added.
    void FireEvent(platform::HREGNOTIFY notification);

    const std::shared_ptr<platform::IMsgQueue>& GetHandleQueue() const { return _queue; }

    // True once the reader thread has finished its initial sleep and reads the queue.
    bool IsReading() const { return _reading.load(); }

  private:
    void ReaderThread();
    // Sleeps `ms` phone milliseconds unless the broker stops first; false when stopping.
    bool Pause(uint32_t ms);
    bool Stopping();
    // Forgets this object as the instance (when it is the one).
    void ClearInstance();
    // Hands the handle at the start of a queue message to the listeners.
    void Dispatch(const uint8_t* data, size_t size);

    static std::atomic<CNotificationBroker*> _me;

    platform::IClock* _clock = nullptr;
    platform::IRegistry* _registry = nullptr;

    std::atomic<bool> _reading{false};

    // A listener being called, and on which thread.
    struct Call {
        INotificationBrokerListener* listener;
        std::thread::id thread;
    };

    std::mutex _listenersLock;  // guards the listeners and the calls in progress
    std::vector<INotificationBrokerListener*> _listeners;
    std::vector<Call> _calls;
    std::condition_variable _callEnded;

    std::mutex _registrationsLock;
    std::vector<platform::HREGNOTIFY> _registrations;

    std::shared_ptr<platform::IMsgQueue> _queue;

    std::mutex _stopLock;
    std::condition_variable _stopSignal;
    bool _stop = false;

    std::thread _reader;
};
