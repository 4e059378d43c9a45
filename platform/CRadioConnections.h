#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/CCallbackThread.h"
#include "platform/IRadioInterface.h"

namespace platform {

// The open connections of a radio interface layer and the thread their answers and notifications
// are delivered on. A request gets an id at once and is answered later on that thread, as a radio
// does: the caller holds the id before the answer comes. Closing a connection drops what is still
// to be delivered to it.
class CRadioConnections {
  public:
    // Fills in the answer to a request on the delivery thread; code starts as RIL_RESULT_ERROR and
    // data empty.
    using Answer = std::function<void(uint32_t& code, std::vector<uint8_t>& data)>;

    // Answers `delayMs` phone milliseconds after the request.
    explicit CRadioConnections(IClock& clock);
    // Answers as soon as the calls before have been delivered.
    CRadioConnections();
    ~CRadioConnections();
    CRadioConnections(const CRadioConnections&) = delete;
    CRadioConnections& operator=(const CRadioConnections&) = delete;

    // ERROR_INVALID_PARAMETER for a port other than `radioPort` or without a result callback.
    // Without a notification callback the connection hears no notifications, whatever `classes`
    // says.
    Result open(uint32_t port, uint32_t radioPort, RilResultCallback result, RilNotifyCallback notify,
                uint32_t classes, RilHandle& handle);
    // ERROR_INVALID_HANDLE for a connection that is not open.
    Result close(RilHandle handle);
    // The request's id (1 up to INT32_MAX, then 1 again), -ERROR_INVALID_HANDLE for a connection
    // that is not open.
    long request(RilHandle handle, uint32_t delayMs, Answer answer);
    // Delivers each notification (code and record), in turn, to every connection that asked for
    // its class (the high word of the code), in the order they were opened.
    void broadcast(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& notifications);
    // Drops everything still to be delivered and ends the thread; later requests are not answered.
    void shutdown() { _calls.shutdown(); }

  private:
    struct Connection {
        RilResultCallback result;
        RilNotifyCallback notify;
        uint32_t classes;
        CCallbackThread::Owner owner;
    };

    std::mutex _lock;
    std::map<RilHandle, Connection> _connections;
    RilHandle _nextHandle = 1;
    int32_t _nextRequest = 1;
    CCallbackThread _calls;  // joined before the connections go
};

}  // namespace platform
