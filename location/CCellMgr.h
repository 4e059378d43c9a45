#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "location/CCellEvent.h"
#include "location/ICellChangeListener.h"

// The history of serving-cell changes the location engine detects: newest first, bounded by the
// setting "cell_history_list_number" (read once). It lives as long as the program and is not
// stored. One instance, made on first use.
class CCellMgr {
  public:
    static CCellMgr* GetInstance();
    ~CCellMgr();
    CCellMgr(const CCellMgr&) = delete;
    CCellMgr& operator=(const CCellMgr&) = delete;

    // Adds an entry for a new cell at the front; drops the oldest beyond the bound.
    void CellChanged(int cell, int lac, int fromNotification);
    void AddCellChangeListener(ICellChangeListener* listener);
    // Once it returns, the listener is not called any more (a call running now has ended).
    void RemoveCellChangeListener(ICellChangeListener* listener);
    // Empties the history.
    void vaciar();
    // The place tables changed: every entry's place is looked up again when next read.
    void ChangesInDB();
    // Copies of the entries, newest first; places marked for it are looked up again first.
    std::vector<CCellEvent> GetQueue();
    size_t GetMaxEvents() const { return maxEvents; }

    // For tests: forgets the instance so that the next GetInstance reads the bound again.
    static void ResetInstance();

  private:
    CCellMgr();
    void Notify(size_t entries);

    static std::mutex _instanceLock;
    static std::unique_ptr<CCellMgr> _me;

    std::mutex _lock;  // the queue: written by the radio's threads, read by the user interface
    std::deque<std::unique_ptr<CCellEvent>> queue;
    std::recursive_mutex _listenersLock;  // held while the listeners are called
    std::vector<ICellChangeListener*> listeners;
    size_t maxEvents;
};
