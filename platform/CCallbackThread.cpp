#include "platform/CCallbackThread.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace platform {

namespace {
// The longest real wait before the clock is read again, so that a change of the clock's speed
// while a call waits takes effect soon.
constexpr auto kLongestWait = std::chrono::milliseconds(50);

// Phone milliseconds from `now` until `due` on the wrapping tick count (negative when past).
int64_t remaining(uint32_t due, uint32_t now) {
    return static_cast<int32_t>(due - now);
}
}  // namespace

CCallbackThread::CCallbackThread(IClock& clock) : _clock(&clock) {}

CCallbackThread::CCallbackThread() = default;

CCallbackThread::~CCallbackThread() {
    shutdown();
}

uint32_t CCallbackThread::now() const {
    return _clock ? _clock->tickCount() : 0;
}

void CCallbackThread::shutdown() {
    {
        std::lock_guard lock(_lock);
        _stop = true;
        _items.clear();
    }
    _changed.notify_all();
    // Nothing starts the thread once _stop is set.
    if (_thread.joinable() && _thread.get_id() != std::this_thread::get_id()) {
        _thread.join();
    }
}

CCallbackThread::Owner CCallbackThread::addOwner() {
    std::lock_guard lock(_lock);
    Owner owner = _nextOwner++;
    _owners.insert(owner);
    return owner;
}

void CCallbackThread::removeOwner(Owner owner) {
    std::unique_lock lock(_lock);
    _owners.erase(owner);
    std::erase_if(_items, [owner](const Item& i) { return i.owner == owner; });
    if (std::this_thread::get_id() != _thread.get_id()) {
        _changed.wait(lock, [&] { return _running != owner; });
    }
}

bool CCallbackThread::post(Owner owner, uint32_t delayMs, std::function<void()> call) {
    uint32_t due = now() + delayMs;
    {
        std::lock_guard lock(_lock);
        if (_stop || !_owners.count(owner)) {
            return false;
        }
        _items.push_back(Item{owner, due, _nextSeq++, std::move(call)});
        if (!_thread.joinable()) {
            // Started with the first call: a phone whose services are never asked has no thread
            // (tools, and processes that fork).
            _thread = std::thread([this] { run(); });
        }
    }
    _changed.notify_all();
    return true;
}

void CCallbackThread::run() {
    std::unique_lock lock(_lock);
    while (!_stop) {
        if (_items.empty()) {
            _changed.wait(lock);
            continue;
        }
        const uint32_t tick = now();
        auto next = std::min_element(_items.begin(), _items.end(), [tick](const Item& a, const Item& b) {
            int64_t ra = remaining(a.due, tick), rb = remaining(b.due, tick);
            return ra != rb ? ra < rb : a.seq < b.seq;
        });
        int64_t wait = remaining(next->due, tick);
        if (wait > 0) {
            auto real = std::min<std::chrono::nanoseconds>(_clock->realDuration(static_cast<uint32_t>(wait)),
                                                           kLongestWait);
            _changed.wait_for(lock, real);
            continue;
        }
        Item item = std::move(*next);
        _items.erase(next);
        _running = item.owner;
        lock.unlock();
        try {
            item.call();
        } catch (const std::exception&) {
            // A failing call must not end the thread that answers everybody else.
        }
        item.call = nullptr;  // what the call holds goes before its owner may be told it ended
        lock.lock();
        _running = 0;
        _changed.notify_all();
    }
}

}  // namespace platform
