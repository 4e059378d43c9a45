#include "managers/CRasConnection.h"

#include "core/DebugTrace.h"
#include "platform/NetworkGuid.h"
#include "platform/Services.h"

bool CRasConnection::Connect() {
    auto& services = platform::Services::get();
    std::string text;
    std::string network;
    if (services.registry().getString(platform::RegRoot::LocalMachine, key, "ConnectionGUID", text) !=
            platform::ERROR_SUCCESS ||
        !platform::ParseNetworkGuid(text, network)) {
        LogFormateado(1, "CRasConnection::Connect %s: no destination network", name);
        return false;
    }
    platform::ConnectionInfo info;
    info.params = platform::CONNMGR_PARAM_GUIDDESTNET;
    info.flags = 0;
    info.priority = platform::CONNMGR_PRIORITY_USERINTERACTIVE;
    info.destination = network;
    uint32_t request = 0;
    platform::Result r = services.connectionManager().establishConnection(info, request);
    LogFormateado(1, "CRasConnection::Connect %s: %d", name, static_cast<int>(r));
    return r == platform::ERROR_SUCCESS;
}

void CRasConnection::Hangup() {
    platform::Result r = platform::Services::get().connectionManager().hangUp(rasConn.handle);
    LogFormateado(1, "CRasConnection::Hangup %s: %d", name, static_cast<int>(r));
    traffic = 0;
    lastTraffic = kTrafficUnknown;
}

bool CRasConnection::RefreshDataTraffic() {
    lastTraffic = traffic;
    platform::RasLinkStatistics statistics;
    if (platform::Services::get().connectionManager().getLinkStatistics(rasConn.handle, statistics) !=
        platform::ERROR_SUCCESS) {
        traffic = 0;
        lastTraffic = kTrafficUnknown;
        return false;
    }
    traffic = statistics.bytesSent + statistics.bytesReceived;
    return true;
}

bool CRasConnection::HaHabidoTrafico(uint32_t sizeTraffic) {
    RefreshDataTraffic();
    if (lastTraffic == kTrafficUnknown) {
        return false;
    }
    // 32-bit counters: the difference is taken modulo 2^32, so a wrapped counter still counts.
    uint32_t bytes = traffic - static_cast<uint32_t>(lastTraffic);
    return bytes > sizeTraffic;
}

bool CRasConnection::WriteToRegistry() {
    auto& registry = platform::Services::get().registry();
    bool ok = registry.setDword(platform::RegRoot::LocalMachine, key, "enabled",
                                static_cast<uint32_t>(enabled)) == platform::ERROR_SUCCESS;
    ok = registry.setDword(platform::RegRoot::LocalMachine, key, "AlwaysOn",
                           static_cast<uint32_t>(alwaysOn)) == platform::ERROR_SUCCESS &&
         ok;
    return ok;
}
