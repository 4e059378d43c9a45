#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "platform/ITelephony.h"

namespace platform {

// The open lines of a line service with one line device (0), and the ids of its requests. Each
// line carries the owner of its answers on the service's worker thread, so that closing the line
// can drop the answers still pending. Safe to use from several threads.
class CLineTable {
  public:
    using Owner = uint64_t;
    struct Line {
        LineCallback callback;
        uintptr_t instance = 0;
        Owner owner = 0;
    };

    // LINEERR_BADDEVICEID for a device other than 0, LINEERR_INVALPARAM without a callback (`line`
    // is 0 then); otherwise the new line's answers belong to the owner `addOwner` gives.
    Result open(uint32_t device, uintptr_t instance, LineCallback callback,
                const std::function<Owner()>& addOwner, LineHandle& line);
    // LINEERR_INVALLINEHANDLE for a line that is not open; otherwise the line is gone and `owner`
    // is the owner of its answers, for the caller to remove.
    Result close(LineHandle line, Owner& owner);
    // Starts a request on `line`: its id (1 up to INT32_MAX, then 1 again) with the line in
    // `target`, or LINEERR_INVALLINEHANDLE for a line that is not open.
    long startRequest(LineHandle line, Line& target);
    // A request refused for its arguments: `error` on an open line, LINEERR_INVALLINEHANDLE on a
    // line that is not.
    long refuse(LineHandle line, long error);
    // Answers request `id` on `target` with LINE_REPLY and `result`.
    static void reply(const Line& target, long id, uint32_t result);

  private:
    std::mutex _lock;
    std::map<LineHandle, Line> _lines;
    LineHandle _nextLine = 1;
    int32_t _nextRequest = 1;
};

}  // namespace platform
