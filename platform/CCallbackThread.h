#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/IClock.h"

namespace platform {

// Runs queued calls on its own thread, each after a delay in the phone's milliseconds (through
// the phone clock, so a faster clock makes the phone answer sooner). This is how the backends'
// services answer requests later and on another thread, as the phone's own services did.
//
// Calls belong to an owner (an open line, a connection, the service itself). Removing an owner
// drops its pending calls: once removeOwner returns, none of them runs any more. Calls that are
// due together run in the order they were posted. The thread starts with the first call; the
// destructor drops every pending call and joins it.
//
// Made without a clock, every call is due at once and the calls run strictly in the order they
// were posted: the Linux backend's worker, for calls to system services that must not run on the
// bus thread or on the caller's.
class CCallbackThread {
  public:
    using Owner = uint64_t;

    explicit CCallbackThread(IClock& clock);
    // Without a clock: no delays, calls run in the order they were posted.
    CCallbackThread();
    ~CCallbackThread();
    CCallbackThread(const CCallbackThread&) = delete;
    CCallbackThread& operator=(const CCallbackThread&) = delete;

    // A new owner; owners are never reused.
    Owner addOwner();
    // Drops the owner's pending calls and refuses its later ones. When one of its calls is running
    // on the thread it waits for that call to end, unless it is called from that very call.
    void removeOwner(Owner owner);
    // Queues `call` to run `delayMs` phone milliseconds from now. False (and nothing queued) for an
    // owner that was removed or never added.
    bool post(Owner owner, uint32_t delayMs, std::function<void()> call);
    // Queues `call` to run as soon as the calls before it have run.
    bool post(Owner owner, std::function<void()> call) { return post(owner, 0, std::move(call)); }
    // Drops every pending call, waits for the running one and ends the thread; later posts are
    // refused. Called from a call of this thread it does not wait for the thread to end.
    void shutdown();

  private:
    struct Item {
        Owner owner;
        uint32_t due;  // phone tick count
        uint64_t seq;
        std::function<void()> call;
    };
    void run();
    // The clock's tick count, 0 without a clock.
    uint32_t now() const;

    IClock* _clock = nullptr;
    std::mutex _lock;
    std::condition_variable _changed;
    std::vector<Item> _items;
    std::set<Owner> _owners;
    Owner _nextOwner = 1;
    uint64_t _nextSeq = 0;
    Owner _running = 0;  // the owner whose call runs now, 0 for none
    bool _stop = false;
    std::thread _thread;  // started by the first post, under _lock
};

}  // namespace platform
