#include "core/CSyncEvent.h"

#include "platform/Services.h"

void CSyncEvent::Set() {
    {
        std::lock_guard lock(_lock);
        _set = true;
    }
    if (_autoReset) {
        _changed.notify_one();
    } else {
        _changed.notify_all();
    }
}

void CSyncEvent::Reset() {
    std::lock_guard lock(_lock);
    _set = false;
}

bool CSyncEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(_lock);
    bool got = true;
    if (timeoutMs == kInfinite) {
        _changed.wait(lock, [this] { return _set; });
    } else {
        auto real = platform::Services::get().clock().realDuration(timeoutMs);
        got = _changed.wait_for(lock, real, [this] { return _set; });
    }
    if (got && _autoReset) {
        _set = false;
    }
    return got;
}

bool CSyncEvent::IsSet() const {
    std::lock_guard lock(_lock);
    return _set;
}
