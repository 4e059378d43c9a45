#include "managers/CNotificationBroker.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "core/CBaseException.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "platform/Services.h"

namespace {

// Longest real wait of one step of a pause, so that a change of the clock's speed is followed.
constexpr auto kPauseStep = std::chrono::milliseconds(50);

std::string Translated(const char* key) {
    return CTextsMgr::GetInstance()->GetText(key);
}

}  // namespace

std::atomic<CNotificationBroker*> CNotificationBroker::_me{nullptr};

CNotificationBroker::CNotificationBroker() {
    _me.store(this);
    try {
        platform::Services& services = platform::Services::get();
        _clock = &services.clock();
        _registry = &services.registry();
        platform::MsgQueueOptions options;
        options.flags = kQueueFlags;
        options.maxMessages = 0;
        options.maxMessageSize = kMaxMessageSize;
        options.readAccess = true;
        _queue = services.queues().open(kQueueName, options);
    } catch (const std::exception& e) {
        LogFormateado(1, "broker queue: %s", e.what());
        _queue.reset();
    }
    if (!_queue) {
        ClearInstance();
        throw CBaseException(Translated("ERROR CREATING MESSAGING QUEUE"));
    }
    try {
        _reader = std::thread([this] { ReaderThread(); });
    } catch (const std::system_error& e) {
        LogFormateado(1, "broker thread: %s", e.what());
        ClearInstance();
        throw CBaseException(Translated("ERROR REGISTERING EVENT"));
    }
}

CNotificationBroker::~CNotificationBroker() {
    // Watches first: once closeNotification returns, no callback of ours runs or will run.
    std::vector<platform::HREGNOTIFY> registrations;
    {
        std::lock_guard lock(_registrationsLock);
        registrations.swap(_registrations);
    }
    for (platform::HREGNOTIFY handle : registrations) {
        _registry->closeNotification(handle);
    }
    {
        std::lock_guard lock(_stopLock);
        _stop = true;
    }
    _stopSignal.notify_all();
    // An empty message wakes a read in progress at once; it carries no handle, so it is never
    // dispatched.
    static constexpr uint8_t kWake = 0;
    _queue->write(&kWake, 0, 0);
    if (_reader.joinable()) {
        _reader.join();
    }
    _queue.reset();
    ClearInstance();
}

void CNotificationBroker::ClearInstance() {
    CNotificationBroker* self = this;
    _me.compare_exchange_strong(self, nullptr);
}

CNotificationBroker* CNotificationBroker::GetInstance() {
    return _me.load();
}

platform::Result CNotificationBroker::RegisterNotification(platform::RegRoot root, const std::string& subKey,
                                                           const std::string& valueName, uint32_t mask,
                                                           platform::HREGNOTIFY& notification,
                                                           int callbackMode) {
    platform::Result result;
    if (callbackMode == 0) {
        result = _registry->notifyToQueue(root, subKey, valueName, mask, kQueueName, notification);
    } else {
        result = _registry->notifyCallback(
            root, subKey, valueName, mask,
            [this](platform::HREGNOTIFY fired, const platform::RegValue&) { FireEvent(fired); },
            notification);
    }
    if (result == platform::ERROR_SUCCESS) {
        std::lock_guard lock(_registrationsLock);
        _registrations.push_back(notification);
    } else {
        LogFormateado(1, "broker: cannot watch %s\\%s (error %ld)", subKey, valueName, result);
        ProcesarError("%s", Translated("ERROR REGISTERING EVENT"));
    }
    return result;
}

void CNotificationBroker::AddNotificationBrokerListener(INotificationBrokerListener* listener) {
    if (!listener) {
        return;
    }
    std::lock_guard lock(_listenersLock);
    _listeners.push_back(listener);
}

void CNotificationBroker::RemoveNotificationBrokerListener(INotificationBrokerListener* listener) {
    std::unique_lock lock(_listenersLock);
    std::erase(_listeners, listener);
    // Calls on this thread are the caller's own (a listener removing itself): no waiting for them.
    const auto self = std::this_thread::get_id();
    _callEnded.wait(lock, [&] {
        return std::none_of(_calls.begin(), _calls.end(),
                            [&](const Call& c) { return c.listener == listener && c.thread != self; });
    });
}

void CNotificationBroker::FireEvent(platform::HREGNOTIFY notification) {
    // Listeners are called without the lock held, so that one may add or remove listeners or post
    // work that comes back here; a listener removed meanwhile is skipped.
    std::unique_lock lock(_listenersLock);
    const std::vector<INotificationBrokerListener*> listeners = _listeners;
    const auto self = std::this_thread::get_id();
    for (INotificationBrokerListener* listener : listeners) {
        if (std::find(_listeners.begin(), _listeners.end(), listener) == _listeners.end()) {
            continue;
        }
        _calls.push_back({listener, self});
        lock.unlock();
        try {
            listener->HandleNotification(notification);
        } catch (...) {
            // A failing listener must not end the thread or keep the others from hearing the change.
            LogFormateado(1, "broker: a listener failed on notification %u", notification);
        }
        lock.lock();
        auto call = std::find_if(_calls.begin(), _calls.end(),
                                 [&](const Call& c) { return c.listener == listener && c.thread == self; });
        _calls.erase(call);
        _callEnded.notify_all();
    }
}

bool CNotificationBroker::Stopping() {
    std::lock_guard lock(_stopLock);
    return _stop;
}

bool CNotificationBroker::Pause(uint32_t ms) {
    const uint32_t start = _clock->tickCount();
    std::unique_lock lock(_stopLock);
    for (;;) {
        if (_stop) {
            return false;
        }
        uint32_t elapsed = _clock->tickCount() - start;
        if (elapsed >= ms) {
            return true;
        }
        auto step = std::min<std::chrono::nanoseconds>(_clock->realDuration(ms - elapsed), kPauseStep);
        _stopSignal.wait_for(lock, step);
    }
}

void CNotificationBroker::Dispatch(const uint8_t* data, size_t size) {
    if (size < sizeof(platform::HREGNOTIFY)) {
        return;  // no handle in it (the wake-up message, or something not from the registry)
    }
    platform::HREGNOTIFY notification = 0;
    // The handle is the first 32-bit word, in the byte order the registry wrote it.
    notification =
        static_cast<platform::HREGNOTIFY>(data[0]) | static_cast<platform::HREGNOTIFY>(data[1]) << 8 |
        static_cast<platform::HREGNOTIFY>(data[2]) << 16 | static_cast<platform::HREGNOTIFY>(data[3]) << 24;
    FireEvent(notification);
}

void CNotificationBroker::ReaderThread() {
    // Changes that arrive meanwhile wait in the queue.
    if (Pause(kInitialSleepMs)) {
        _reading.store(true);
        std::vector<uint8_t> buffer(kMaxMessageSize, 0);
        while (!Stopping()) {
            size_t size = 0;
            platform::Result result = _queue->read(buffer.data(), kReadSize, size, kReadTimeoutMs);
            if (result == platform::ERROR_INSUFFICIENT_BUFFER && size > kReadSize) {
                // A message longer than one read: it is still in the queue, take it whole.
                if (size > buffer.size()) {
                    buffer.resize(size);
                }
                result = _queue->read(buffer.data(), buffer.size(), size, 0);
            }
            if (result == platform::ERROR_SUCCESS) {
                if (Stopping()) {
                    break;
                }
                Dispatch(buffer.data(), size);
                continue;
            }
            if (!Pause(kRetrySleepMs)) {
                break;
            }
        }
        _reading.store(false);
    }
    LogFormateado(1, "Saliendo de thread broker");
}
