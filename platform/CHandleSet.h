#pragma once

#include <cstdint>
#include <mutex>
#include <set>

#include "platform/ErrorCodes.h"

namespace platform {

// The open handles of an interface that hands out numbered handles (the SIM, the SMS library):
// they count up from 1 and are never reused. Safe to use from several threads.
class CHandleSet {
  public:
    uint32_t open();
    // ERROR_INVALID_HANDLE for a handle that is not open.
    Result close(uint32_t handle);
    bool isOpen(uint32_t handle);

  private:
    std::mutex _lock;
    std::set<uint32_t> _open;
    uint32_t _next = 1;
};

}  // namespace platform
