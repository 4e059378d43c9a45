#include "platform/sim/CSimConnectionManager.h"

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

std::vector<ConnectionEntry> CSimConnectionManager::entriesOf(const CSimPhone::State& s) {
    std::vector<ConnectionEntry> entries;
    entries.reserve(s.connections.size());
    for (const CSimPhone::Connection& c : s.connections) {
        entries.push_back({c.name, c.network, c.connected});
    }
    return entries;
}

Result CSimConnectionManager::enumEntries(std::vector<std::string>& names, size_t room) {
    names.clear();
    return ListEntryNames(entriesOf(_phone->state()), room, names);
}

Result CSimConnectionManager::enumConnections(std::vector<RasConnection>& connections, size_t room) {
    connections.clear();
    return ListUpConnections(entriesOf(_phone->state()), room, connections);
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
    return EntryKeyEnabled(_registry, CSimPhone::connectionKey(name), CSimPhone::kConnectionEnabledValue);
}

uint32_t CSimConnectionManager::connect(const std::string& network) {
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return CONNMGR_STATUS_CONNECTIONFAILED;
    }
    size_t index = 0;
    const uint32_t status = CheckEntryForNetwork(
        entriesOf(s), network, [this](const std::string& name) { return enabled(name); }, index);
    if (status != CONNMGR_STATUS_UNKNOWN) {
        return status;
    }
    return _phone->setConnectionUp(s.connections[index].name, true) == ERROR_SUCCESS
               ? CONNMGR_STATUS_CONNECTED
               : CONNMGR_STATUS_CONNECTIONFAILED;
}

Result CSimConnectionManager::establishConnection(const ConnectionInfo& info, uint32_t& request) {
    std::string network;
    if (!_requests.start(info, network, request)) {
        return E_FAIL;
    }
    _calls.post(_service, kConnectDelayMs, [this, network] {
        // A change of a connection reaches the windows through the phone; a failure does not.
        if (connect(network) != CONNMGR_STATUS_CONNECTED) {
            _requests.postStatusChange();
        }
    });
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::establishConnectionSync(const ConnectionInfo& info, uint32_t& request,
                                                      uint32_t timeoutMs, uint32_t& status) {
    status = CONNMGR_STATUS_UNKNOWN;
    std::string network;
    if (!_requests.start(info, network, request)) {
        return E_FAIL;
    }
    if (timeoutMs < kConnectDelayMs) {
        _clock.sleep(timeoutMs);
        return ERROR_TIMEOUT;
    }
    _clock.sleep(kConnectDelayMs);
    status = connect(network);
    if (status != CONNMGR_STATUS_CONNECTED) {
        _requests.postStatusChange();
        return E_FAIL;
    }
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::mapUrl(const std::string& url, std::string& network, uint32_t& index) {
    if (!IsWebUrlWithHost(url)) {
        return E_FAIL;
    }
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return E_FAIL;
    }
    const std::optional<size_t> chosen =
        EntryForUrl(entriesOf(s), [this](const std::string& name) { return enabled(name); });
    if (!chosen) {
        return E_FAIL;
    }
    network = s.connections[*chosen].network;
    index = static_cast<uint32_t>(*chosen);
    return ERROR_SUCCESS;
}

Result CSimConnectionManager::registerForStatusChangeNotification(bool enable, HWND window) {
    return _requests.registerWindow(enable, window);
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
            _requests.postStatusChange();
            return;
        }
    }
}

}  // namespace platform::sim
