#include "platform/ConnectionEntries.h"

#include <algorithm>

#include "platform/NetworkGuid.h"

namespace platform {

Result ListEntryNames(const std::vector<ConnectionEntry>& entries, size_t room,
                      std::vector<std::string>& names) {
    names.clear();
    for (const ConnectionEntry& e : entries) {
        if (names.size() == room) {
            return ERROR_BUFFER_TOO_SMALL;
        }
        names.push_back(e.name);
    }
    return ERROR_SUCCESS;
}

Result ListUpConnections(const std::vector<ConnectionEntry>& entries, size_t room,
                         std::vector<RasConnection>& connections) {
    connections.clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].up) {
            continue;
        }
        if (connections.size() == room) {
            return ERROR_BUFFER_TOO_SMALL;
        }
        connections.push_back({static_cast<uint32_t>(i + 1), entries[i].name});
    }
    return ERROR_SUCCESS;
}

bool IsWebUrlWithHost(const std::string& url) {
    size_t scheme = url.find("://");
    if (scheme == std::string::npos ||
        (url.compare(0, scheme, "http") != 0 && url.compare(0, scheme, "https") != 0)) {
        return false;
    }
    size_t hostStart = scheme + 3;
    size_t hostEnd = url.find_first_of("/:?#", hostStart);
    return hostEnd != hostStart && hostStart < url.size();
}

std::optional<size_t> EntryForUrl(const std::vector<ConnectionEntry>& entries, const EntryEnabled& enabled) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].up) {
            return i;
        }
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (enabled(entries[i].name)) {
            return i;
        }
    }
    return std::nullopt;
}

uint32_t CheckEntryForNetwork(const std::vector<ConnectionEntry>& entries, const std::string& network,
                              const EntryEnabled& enabled, size_t& index) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const ConnectionEntry& e) { return e.network == network; });
    if (it == entries.end()) {
        return CONNMGR_STATUS_NOPATHTODESTINATION;
    }
    if (!enabled(it->name)) {
        return CONNMGR_STATUS_CONNECTIONDISABLED;
    }
    if (it->up) {
        return CONNMGR_STATUS_CONNECTED;
    }
    index = static_cast<size_t>(it - entries.begin());
    return CONNMGR_STATUS_UNKNOWN;
}

bool RequestDestination(const ConnectionInfo& info, std::string& network) {
    return (info.params & CONNMGR_PARAM_GUIDDESTNET) != 0 && ParseNetworkGuid(info.destination, network);
}

bool EntryKeyEnabled(IRegistry& registry, const std::string& key, const char* value) {
    uint32_t v = 0;
    return registry.getDword(RegRoot::LocalMachine, key, value, v) == ERROR_SUCCESS && v == 1;
}

}  // namespace platform
