#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace platform::lnx {

// Runs queued calls, in the order they were posted, on a thread of its own. The cellular classes
// use it for what must not run on the bus thread or on the caller's: blocking calls to the modem
// service and the answers and notifications the managers receive (a manager's callback may call
// back into the service and wait for it).
//
// Calls belong to an owner (an open line, a connection, the service itself). Removing an owner
// drops its pending calls: once removeOwner returns, none of them runs any more. The thread starts
// with the first call; shutdown (or the destructor) drops every pending call and joins it.
class CLinuxModemWorker {
  public:
    using Owner = uint64_t;

    CLinuxModemWorker() = default;
    ~CLinuxModemWorker();
    CLinuxModemWorker(const CLinuxModemWorker&) = delete;
    CLinuxModemWorker& operator=(const CLinuxModemWorker&) = delete;

    // A new owner; owners are never reused.
    Owner addOwner();
    // Drops the owner's pending calls and refuses its later ones. When one of its calls is running
    // it waits for that call to end, unless it is called from that very call.
    void removeOwner(Owner owner);
    // Queues `call`. False (and nothing queued) for an owner that was removed or never added, or
    // once the worker was shut down.
    bool post(Owner owner, std::function<void()> call);
    // Drops every pending call, waits for the running one and ends the thread; later posts are
    // refused. Must not be called from a call of this worker.
    void shutdown();

  private:
    struct Item {
        Owner owner;
        std::function<void()> call;
    };
    void run();

    std::mutex _lock;
    std::condition_variable _changed;
    std::deque<Item> _items;
    std::set<Owner> _owners;
    Owner _nextOwner = 1;
    Owner _running = 0;  // the owner whose call runs now, 0 for none
    bool _stop = false;
    std::thread _thread;  // started by the first post, under _lock
};

}  // namespace platform::lnx
