#include "platform/CRadioConnections.h"

#include <climits>

namespace platform {

namespace {

// Notifications are sent for their class: the high word of the code.
constexpr uint32_t classOf(uint32_t code) {
    return code & 0xFFFF0000u;
}

}  // namespace

CRadioConnections::CRadioConnections(IClock& clock) : _calls(clock) {}

CRadioConnections::CRadioConnections() = default;

CRadioConnections::~CRadioConnections() {
    _calls.shutdown();
}

Result CRadioConnections::open(uint32_t port, uint32_t radioPort, RilResultCallback result,
                               RilNotifyCallback notify, uint32_t classes, RilHandle& handle) {
    handle = 0;
    if (port != radioPort || !result) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(_lock);
    handle = _nextHandle++;
    uint32_t heard = notify ? classes : 0;
    _connections.emplace(handle, Connection{std::move(result), std::move(notify), heard, _calls.addOwner()});
    return ERROR_SUCCESS;
}

Result CRadioConnections::close(RilHandle handle) {
    CCallbackThread::Owner owner;
    {
        std::lock_guard lock(_lock);
        auto it = _connections.find(handle);
        if (it == _connections.end()) {
            return ERROR_INVALID_HANDLE;
        }
        owner = it->second.owner;
        _connections.erase(it);
    }
    // Outside the lock: a callback running now may still call into the radio interface.
    _calls.removeOwner(owner);
    return ERROR_SUCCESS;
}

long CRadioConnections::request(RilHandle handle, uint32_t delayMs, Answer answer) {
    long id;
    CCallbackThread::Owner owner;
    RilResultCallback callback;
    {
        std::lock_guard lock(_lock);
        auto it = _connections.find(handle);
        if (it == _connections.end()) {
            return -ERROR_INVALID_HANDLE;
        }
        owner = it->second.owner;
        callback = it->second.result;
        id = _nextRequest;
        _nextRequest = _nextRequest == INT32_MAX ? 1 : _nextRequest + 1;
    }
    _calls.post(owner, delayMs, [callback, id, answer = std::move(answer)] {
        uint32_t code = RIL_RESULT_ERROR;
        std::vector<uint8_t> data;
        answer(code, data);
        callback(code, id, data);
    });
    return id;
}

void CRadioConnections::broadcast(
    const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& notifications) {
    if (notifications.empty()) {
        return;
    }
    std::lock_guard lock(_lock);
    for (const auto& [code, data] : notifications) {
        for (const auto& [handle, c] : _connections) {
            if (c.notify && (c.classes & classOf(code)) != 0) {
                _calls.post(c.owner, 0, [notify = c.notify, code, data] { notify(code, data); });
            }
        }
    }
}

}  // namespace platform
