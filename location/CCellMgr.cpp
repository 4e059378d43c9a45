#include "location/CCellMgr.h"

#include <algorithm>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/DebugTrace.h"
#include "platform/Services.h"

std::mutex CCellMgr::_instanceLock;
std::unique_ptr<CCellMgr> CCellMgr::_me;

namespace {
constexpr size_t kDefaultMaxEvents = 50;
}

CCellMgr* CCellMgr::GetInstance() {
    std::lock_guard lock(_instanceLock);
    if (!_me) {
        _me.reset(new CCellMgr());
    }
    return _me.get();
}

void CCellMgr::ResetInstance() {
    std::lock_guard lock(_instanceLock);
    _me.reset();
}

CCellMgr::CCellMgr()
    : maxEvents(static_cast<size_t>(CConfigurationZentrova::GetLongOr(
          "cell_history_list_number", static_cast<long>(kDefaultMaxEvents)))) {}

CCellMgr::~CCellMgr() = default;

void CCellMgr::CellChanged(int cell, int lac, int fromNotification) {
    auto event = std::make_unique<CCellEvent>(cell, lac, fromNotification,
                                              platform::Services::get().clock().localTime());
    event->Calculate();
    size_t entries = 0;
    {
        std::lock_guard lock(_lock);
        queue.push_front(std::move(event));
        if (queue.size() > maxEvents) {
            queue.pop_back();
        }
        entries = queue.size();
    }
    Notify(entries);
}

void CCellMgr::AddCellChangeListener(ICellChangeListener* listener) {
    std::lock_guard lock(_listenersLock);
    listeners.push_back(listener);
}

void CCellMgr::RemoveCellChangeListener(ICellChangeListener* listener) {
    std::lock_guard lock(_listenersLock);
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

void CCellMgr::Notify(size_t entries) {
    // The listeners are called with their lock held, so that one that is removed is not called
    // any more once RemoveCellChangeListener returns (its owner may then delete it). The lock is
    // recursive: a listener may add or remove listeners from its call.
    std::lock_guard lock(_listenersLock);
    const std::vector<ICellChangeListener*> copy = listeners;
    for (ICellChangeListener* listener : copy) {
        listener->CellHistoryChanged(entries);
    }
}

void CCellMgr::vaciar() {
    {
        std::lock_guard lock(_lock);
        queue.clear();
    }
    Notify(0);
}

void CCellMgr::ChangesInDB() {
    std::lock_guard lock(_lock);
    for (auto& event : queue) {
        event->SetIdProfile(-1);
    }
}

std::vector<CCellEvent> CCellMgr::GetQueue() {
    std::lock_guard lock(_lock);
    std::vector<CCellEvent> copy;
    copy.reserve(queue.size());
    for (auto& event : queue) {
        event->GetCell(true);
        copy.push_back(*event);
    }
    return copy;
}
