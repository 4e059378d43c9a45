#include "platform/CLineTable.h"

#include <climits>

namespace platform {

Result CLineTable::open(uint32_t device, uintptr_t instance, LineCallback callback,
                        const std::function<Owner()>& addOwner, LineHandle& line) {
    line = 0;
    if (device != 0) {
        return LINEERR_BADDEVICEID;
    }
    if (!callback) {
        return LINEERR_INVALPARAM;
    }
    std::lock_guard lock(_lock);
    line = _nextLine++;
    _lines.emplace(line, Line{std::move(callback), instance, addOwner()});
    return ERROR_SUCCESS;
}

Result CLineTable::close(LineHandle line, Owner& owner) {
    std::lock_guard lock(_lock);
    auto it = _lines.find(line);
    if (it == _lines.end()) {
        return LINEERR_INVALLINEHANDLE;
    }
    owner = it->second.owner;
    _lines.erase(it);
    return ERROR_SUCCESS;
}

long CLineTable::startRequest(LineHandle line, Line& target) {
    std::lock_guard lock(_lock);
    auto it = _lines.find(line);
    if (it == _lines.end()) {
        return LINEERR_INVALLINEHANDLE;
    }
    target = it->second;
    long id = _nextRequest;
    _nextRequest = _nextRequest == INT32_MAX ? 1 : _nextRequest + 1;
    return id;
}

long CLineTable::refuse(LineHandle line, long error) {
    std::lock_guard lock(_lock);
    return _lines.count(line) ? error : LINEERR_INVALLINEHANDLE;
}

void CLineTable::reply(const Line& target, long id, uint32_t result) {
    target.callback(0, LINE_REPLY, target.instance, static_cast<uintptr_t>(id), result, 0);
}

}  // namespace platform
