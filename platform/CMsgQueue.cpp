#include "platform/CMsgQueue.h"

#include <cstring>

namespace platform {

CMsgQueue::CMsgQueue(std::string name, const MsgQueueOptions& options, IClock& clock)
    : _name(std::move(name)), _options(options), _clock(&clock) {}

CMsgQueue::~CMsgQueue() = default;

std::chrono::steady_clock::time_point CMsgQueue::deadlineFor(uint32_t timeoutMs) {
    auto now = std::chrono::steady_clock::now();
    if (timeoutMs == 0 || !_clock) {
        return now;
    }
    auto real = _clock->realDuration(timeoutMs);
    if (real < std::chrono::nanoseconds::zero()) {
        real = std::chrono::nanoseconds::zero();
    }
    // Keep far deadlines (a very slow clock) from overflowing the time point.
    constexpr auto kLongest = std::chrono::hours(24 * 365);
    if (real > kLongest) {
        real = kLongest;
    }
    return now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(real);
}

template <typename Pred>
Result CMsgQueue::waitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
                          Pred ready) {
    if (_closed) {
        return ERROR_INVALID_HANDLE;
    }
    if (ready()) {
        return ERROR_SUCCESS;
    }
    if (timeoutMs == 0) {
        return ERROR_TIMEOUT;
    }
    auto done = [&] { return _closed || ready(); };
    if (timeoutMs == INFINITE_WAIT) {
        cv.wait(lock, done);
    } else if (!cv.wait_until(lock, deadlineFor(timeoutMs), done)) {
        return ERROR_TIMEOUT;
    }
    return _closed ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

Result CMsgQueue::write(const void* data, size_t size, uint32_t timeoutMs) {
    if (size > 0 && data == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (size > _options.maxMessageSize) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::unique_lock lock(_lock);
    Result r = waitFor(lock, _writable, timeoutMs,
                       [&] { return _options.maxMessages == 0 || _messages.size() < _options.maxMessages; });
    if (r != ERROR_SUCCESS) {
        return r;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    _messages.emplace_back(bytes, bytes + size);
    lock.unlock();
    _readable.notify_one();
    return ERROR_SUCCESS;
}

Result CMsgQueue::read(void* buffer, size_t capacity, size_t& size, uint32_t timeoutMs) {
    std::unique_lock lock(_lock);
    Result r = waitFor(lock, _readable, timeoutMs, [&] { return !_messages.empty(); });
    if (r != ERROR_SUCCESS) {
        size = 0;
        return r;
    }
    const auto& front = _messages.front();
    size = front.size();
    if (front.size() > capacity || (!front.empty() && buffer == nullptr)) {
        // Leave the message for a read with a buffer that is large enough.
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (!front.empty()) {
        std::memcpy(buffer, front.data(), front.size());
    }
    _messages.pop_front();
    bool more = !_messages.empty();
    lock.unlock();
    _writable.notify_one();
    if (more) {
        _readable.notify_one();
    }
    return ERROR_SUCCESS;
}

size_t CMsgQueue::pending() const {
    std::lock_guard lock(_lock);
    return _messages.size();
}

void CMsgQueue::close() {
    {
        std::lock_guard lock(_lock);
        _closed = true;
        _clock = nullptr;
    }
    _readable.notify_all();
    _writable.notify_all();
}

bool CMsgQueue::isClosed() const {
    std::lock_guard lock(_lock);
    return _closed;
}

}  // namespace platform
