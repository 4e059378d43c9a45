#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "platform/IConnectionManager.h"

namespace platform {

// The bookkeeping a connection manager shares among its requests: the numbers it hands out for
// them and the windows that asked to be told of status changes. Thread-safe.
class CConnectionRequests {
  public:
    // Starts a request: the destination network it names (canonical) and a new request number.
    // False, with `request` 0 and no number used up, when it names no destination network.
    bool start(const ConnectionInfo& info, std::string& network, uint32_t& request);
    // Adds `window` to the windows told of changes (ERROR_INVALID_HANDLE when it is not a
    // window), or takes it out.
    Result registerWindow(bool enable, HWND window);
    // Posts the registered message kConnMgrStatusChangeMessage to each window; a window that has
    // gone is forgotten.
    void postStatusChange();

  private:
    std::mutex _lock;  // what follows
    std::set<HWND> _windows;
    uint32_t _nextRequest = 1;
};

}  // namespace platform
