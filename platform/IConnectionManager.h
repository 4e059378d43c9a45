#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ErrorCodes.h"
#include "platform/WindowMessages.h"

namespace platform {

// States of an active remote-access connection.
inline constexpr uint32_t RASCS_Connected = 0x2000;
inline constexpr uint32_t RASCS_Disconnected = 0x2001;

// The connection manager's request record: which of its fields count, and how urgent it is.
inline constexpr uint32_t CONNMGR_PARAM_GUIDDESTNET = 0x1;
inline constexpr uint32_t CONNMGR_PRIORITY_USERINTERACTIVE = 0x8000;

// States of a connection request, as the synchronous request reports them.
inline constexpr uint32_t CONNMGR_STATUS_UNKNOWN = 0x00;
inline constexpr uint32_t CONNMGR_STATUS_CONNECTED = 0x10;
inline constexpr uint32_t CONNMGR_STATUS_DISCONNECTED = 0x20;
inline constexpr uint32_t CONNMGR_STATUS_CONNECTIONFAILED = 0x21;
inline constexpr uint32_t CONNMGR_STATUS_CONNECTIONDISABLED = 0x23;
inline constexpr uint32_t CONNMGR_STATUS_NOPATHTODESTINATION = 0x24;

// The registered window message the connection manager posts to the windows that asked for its
// status changes (both parameters 0).
inline constexpr const char* kConnMgrStatusChangeMessage = "CONNMGR_STATUS_CHANGE_NOTIFICATION_MSG";

// Where the connection manager keeps its providers (HKEY_LOCAL_MACHINE). Each phone-book entry has
// a key of its own somewhere below, named after the entry, with the values "enabled" (DWORD, 1 the
// connection manager may use it), "AlwaysOn" (DWORD) and "ConnectionGUID" (the text form of the
// destination network the entry serves).
inline constexpr const char* kConnMgrProvidersKey = "\\Comm\\ConnMgr\\Providers";

// A request of the connection manager (64 bytes on the phone).
struct ConnectionInfo {
    uint32_t size = 64;
    uint32_t params = 0;  // CONNMGR_PARAM_*
    uint32_t flags = 0;
    uint32_t priority = 0;    // CONNMGR_PRIORITY_* or a number
    std::string destination;  // destination network, text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
};

// An active remote-access connection: its handle and its phone-book entry (52 bytes on the phone).
struct RasConnection {
    uint32_t handle = 0;
    std::string entryName;
};

// The statistics of a link (60 bytes on the phone); only the byte counts are kept here.
struct RasLinkStatistics {
    uint32_t size = 60;
    uint32_t bytesSent = 0;
    uint32_t bytesReceived = 0;
};

// The phone's data connections: the remote-access service's phone-book entries and active
// connections, and the connection manager that brings connections up for a destination network.
// Asynchronous requests return at once; the connection comes up (or not) later, on another
// thread, and the windows that asked are posted kConnMgrStatusChangeMessage at each change of a
// connection's state.
class IConnectionManager {
  public:
    virtual ~IConnectionManager() = default;

    // The phone-book entries, at most `room` of them (then ERROR_BUFFER_TOO_SMALL, with the
    // first `room` in `names`).
    virtual Result enumEntries(std::vector<std::string>& names, size_t room) = 0;
    // The connections up now, at most `room` (then ERROR_BUFFER_TOO_SMALL, as above).
    virtual Result enumConnections(std::vector<RasConnection>& connections, size_t room) = 0;
    // RASCS_Connected while the connection is up; ERROR_INVALID_HANDLE once it has gone.
    virtual Result getConnectStatus(uint32_t handle, uint32_t& state) = 0;
    // Bytes sent and received since the connection came up; ERROR_INVALID_HANDLE once it has gone.
    virtual Result getLinkStatistics(uint32_t handle, RasLinkStatistics& statistics) = 0;
    // Takes the connection down. ERROR_INVALID_HANDLE when it is not up.
    virtual Result hangUp(uint32_t handle) = 0;

    // Asks for a connection to `info.destination`; returns at once with the request's handle.
    // E_FAIL without a destination network.
    virtual Result establishConnection(const ConnectionInfo& info, uint32_t& request) = 0;
    // The same, waiting at most `timeoutMs` of the phone's time for the outcome: ERROR_SUCCESS
    // with `status` CONNMGR_STATUS_CONNECTED, ERROR_TIMEOUT, or E_FAIL with the failure's status.
    virtual Result establishConnectionSync(const ConnectionInfo& info, uint32_t& request, uint32_t timeoutMs,
                                           uint32_t& status) = 0;
    // The destination network through which `url` is reached, and its index; E_FAIL when none.
    virtual Result mapUrl(const std::string& url, std::string& network, uint32_t& index) = 0;
    // From now on (or no longer) `window` is posted kConnMgrStatusChangeMessage at each change.
    virtual Result registerForStatusChangeNotification(bool enable, HWND window) = 0;
};

}  // namespace platform
