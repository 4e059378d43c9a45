#include "platform/sim/CSimConnectionManager.h"

#include <algorithm>

#include "platform/CWindowHandles.h"
#include "platform/NetworkGuid.h"
#include "platform/PlatformError.h"

namespace platform::sim {

CSimConnectionManager::CSimConnectionManager(std::shared_ptr<CSimPhone> phone, IRegistry& registry,
                                             IClock& clock)
    : _phone(std::move(phone)),
      _registry(registry),
      _clock(clock),
      _calls(clock),
      _service(_calls.addOwner()) {
    _subscription = _phone->subscribe(
        [this](const CSimPhone::State& before, const CSimPhone::State& after) { changed(before, after); });
}

CSimConnectionManager::~CSimConnectionManager() {
    _subscription.reset();
    _calls.removeOwner(_service);
}

Result CSimConnectionManager::enumEntries(std::vector<std::string>& names, size_t room) {
    names.clear();
    CSimPhone::State s = _phone->state();
    for (const CSimPhone::Connection& c : s.connections) {
        if (names.size() == room) {
            return ERROR_BUFFER_TOO_SMALL;
        }
        names.push_back(c.name);
    }
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::enumConnections(std::vector<RasConnection>& connections, size_t room) {
    connections.clear();
    CSimPhone::State s = _phone->state();
    for (size_t i = 0; i < s.connections.size(); ++i) {
        if (!s.connections[i].connected) {
            continue;
        }
        if (connections.size() == room) {
            return ERROR_BUFFER_TOO_SMALL;
        }
        connections.push_back({static_cast<uint32_t>(i + 1), s.connections[i].name});
    }
    return ERROR_SUCCESS;
}

bool CSimConnectionManager::activeConnection(uint32_t handle, CSimPhone::Connection& out) {
    CSimPhone::State s = _phone->state();
    if (handle == 0 || handle > s.connections.size() || !s.connections[handle - 1].connected) {
        return false;
    }
    out = s.connections[handle - 1];
    return true;
}

Result CSimConnectionManager::getConnectStatus(uint32_t handle, uint32_t& state) {
    CSimPhone::Connection c;
    if (!activeConnection(handle, c)) {
        state = RASCS_Disconnected;
        return ERROR_INVALID_HANDLE;
    }
    state = RASCS_Connected;
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::getLinkStatistics(uint32_t handle, RasLinkStatistics& statistics) {
    CSimPhone::Connection c;
    if (!activeConnection(handle, c)) {
        return ERROR_INVALID_HANDLE;
    }
    statistics.bytesSent = c.sent;
    statistics.bytesReceived = c.received;
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::hangUp(uint32_t handle) {
    CSimPhone::Connection c;
    if (!activeConnection(handle, c)) {
        return ERROR_INVALID_HANDLE;
    }
    Result r = _phone->setConnectionUp(c.name, false);
    return r == ERROR_NOT_FOUND ? ERROR_INVALID_HANDLE : r;
}

bool CSimConnectionManager::enabled(const std::string& name) {
    uint32_t value = 0;
    return _registry.getDword(RegRoot::LocalMachine, CSimPhone::connectionKey(name),
                              CSimPhone::kConnectionEnabledValue, value) == ERROR_SUCCESS &&
           value == 1;
}

uint32_t CSimConnectionManager::connect(const std::string& network) {
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return CONNMGR_STATUS_CONNECTIONFAILED;
    }
    auto it = std::find_if(s.connections.begin(), s.connections.end(),
                           [&](const CSimPhone::Connection& c) { return c.network == network; });
    if (it == s.connections.end()) {
        return CONNMGR_STATUS_NOPATHTODESTINATION;
    }
    if (!enabled(it->name)) {
        return CONNMGR_STATUS_CONNECTIONDISABLED;
    }
    if (it->connected) {
        return CONNMGR_STATUS_CONNECTED;
    }
    return _phone->setConnectionUp(it->name, true) == ERROR_SUCCESS ? CONNMGR_STATUS_CONNECTED
                                                                    : CONNMGR_STATUS_CONNECTIONFAILED;
}

bool CSimConnectionManager::destinationOf(const ConnectionInfo& info, std::string& network) {
    return (info.params & CONNMGR_PARAM_GUIDDESTNET) != 0 && ParseNetworkGuid(info.destination, network);
}

Result CSimConnectionManager::establishConnection(const ConnectionInfo& info, uint32_t& request) {
    std::string network;
    if (!destinationOf(info, network)) {
        request = 0;
        return E_FAIL;
    }
    {
        std::lock_guard lock(_lock);
        request = _nextRequest++;
    }
    _calls.post(_service, kConnectDelayMs, [this, network] {
        // A change of a connection reaches the windows through the phone; a failure does not.
        if (connect(network) != CONNMGR_STATUS_CONNECTED) {
            postToWindows();
        }
    });
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::establishConnectionSync(const ConnectionInfo& info, uint32_t& request,
                                                      uint32_t timeoutMs, uint32_t& status) {
    status = CONNMGR_STATUS_UNKNOWN;
    std::string network;
    if (!destinationOf(info, network)) {
        request = 0;
        return E_FAIL;
    }
    {
        std::lock_guard lock(_lock);
        request = _nextRequest++;
    }
    if (timeoutMs < kConnectDelayMs) {
        _clock.sleep(timeoutMs);
        return ERROR_TIMEOUT;
    }
    _clock.sleep(kConnectDelayMs);
    status = connect(network);
    if (status != CONNMGR_STATUS_CONNECTED) {
        postToWindows();
        return E_FAIL;
    }
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::mapUrl(const std::string& url, std::string& network, uint32_t& index) {
    size_t scheme = url.find("://");
    if (scheme == std::string::npos ||
        (url.compare(0, scheme, "http") != 0 && url.compare(0, scheme, "https") != 0)) {
        return E_FAIL;
    }
    size_t hostStart = scheme + 3;
    size_t hostEnd = url.find_first_of("/:?#", hostStart);
    if (hostEnd == hostStart || hostStart >= url.size()) {
        return E_FAIL;
    }
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return E_FAIL;
    }
    const CSimPhone::Connection* chosen = nullptr;
    for (const CSimPhone::Connection& c : s.connections) {
        if (c.connected) {
            chosen = &c;
            break;
        }
    }
    for (const CSimPhone::Connection& c : s.connections) {
        if (!chosen && enabled(c.name)) {
            chosen = &c;
        }
    }
    if (!chosen) {
        return E_FAIL;
    }
    network = chosen->network;
    index = static_cast<uint32_t>(chosen - s.connections.data());
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::registerForStatusChangeNotification(bool enable, HWND window) {
    if (enable && !CWindowHandles::IsWindow(window)) {
        return ERROR_INVALID_HANDLE;
    }
    std::lock_guard lock(_lock);
    if (enable) {
        _windows.insert(window);
    } else {
        _windows.erase(window);
    }
    return ERROR_SUCCESS;
}

void CSimConnectionManager::changed(const CSimPhone::State& before, const CSimPhone::State& after) {
    auto connectedOf = [](const CSimPhone::State& s, const std::string& name) {
        for (const CSimPhone::Connection& c : s.connections) {
            if (c.name == name) {
                return c.connected;
            }
        }
        return false;
    };
    for (const CSimPhone::Connection& c : after.connections) {
        if (c.connected != connectedOf(before, c.name)) {
            postToWindows();
            return;
        }
    }
}

void CSimConnectionManager::postToWindows() {
    std::set<HWND> windows;
    {
        std::lock_guard lock(_lock);
        windows = _windows;
    }
    const UINT message = CWindowHandles::RegisterWindowMessageW(kConnMgrStatusChangeMessage);
    for (HWND window : windows) {
        if (!CWindowHandles::PostMessageW(window, message, 0, 0)) {
            std::lock_guard lock(_lock);
            _windows.erase(window);  // the window has gone
        }
    }
}

}  // namespace platform::sim
