#include "platform/linux/CLinuxModemWorker.h"

#include <algorithm>
#include <exception>

namespace platform::lnx {

CLinuxModemWorker::~CLinuxModemWorker() {
    shutdown();
}

void CLinuxModemWorker::shutdown() {
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

CLinuxModemWorker::Owner CLinuxModemWorker::addOwner() {
    std::lock_guard lock(_lock);
    Owner owner = _nextOwner++;
    _owners.insert(owner);
    return owner;
}

void CLinuxModemWorker::removeOwner(Owner owner) {
    std::unique_lock lock(_lock);
    _owners.erase(owner);
    std::erase_if(_items, [owner](const Item& i) { return i.owner == owner; });
    if (std::this_thread::get_id() != _thread.get_id()) {
        _changed.wait(lock, [&] { return _running != owner; });
    }
}

bool CLinuxModemWorker::post(Owner owner, std::function<void()> call) {
    {
        std::lock_guard lock(_lock);
        if (_stop || !_owners.count(owner)) {
            return false;
        }
        _items.push_back(Item{owner, std::move(call)});
        if (!_thread.joinable()) {
            // Started with the first call: a backend whose modem is never asked has no thread.
            _thread = std::thread([this] { run(); });
        }
    }
    _changed.notify_all();
    return true;
}

void CLinuxModemWorker::run() {
    std::unique_lock lock(_lock);
    while (!_stop) {
        if (_items.empty()) {
            _changed.wait(lock);
            continue;
        }
        Item item = std::move(_items.front());
        _items.pop_front();
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

}  // namespace platform::lnx
