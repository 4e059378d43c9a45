#pragma once

#include <cstdint>
#include <string>

#include "platform/IConnectionManager.h"

// One data connection of the data-connections manager: a phone-book entry of the remote-access
// service together with its connection-manager provider key, whether it is connected, enabled
// and always on, whether it is the preferred one, and its traffic. The manager guards every
// connection with its own lock; a connection does not lock itself.
class CRasConnection {
  public:
    CRasConnection() = default;
    virtual ~CRasConnection() = default;
    CRasConnection(const CRasConnection&) = default;
    CRasConnection& operator=(const CRasConnection&) = default;

    // Asks the connection manager for the destination network of the provider key's
    // "ConnectionGUID"; the connection comes up later. False when the request could not be made.
    bool Connect();
    // Takes the active connection down; the traffic readings start again.
    void Hangup();
    // Moves `traffic` to `lastTraffic` and reads the link's bytes again (0 and -1 when the link
    // cannot be read). False when it could not be read.
    bool RefreshDataTraffic();
    // Reads the traffic again: true when more than `sizeTraffic` bytes went over the link since
    // the reading before. A connection whose reading before is unknown had no measured traffic.
    bool HaHabidoTrafico(uint32_t sizeTraffic);
    // Writes "enabled" and "AlwaysOn" into the provider key.
    bool WriteToRegistry();

    void SetKey(const std::string& key) { this->key = key; }
    const std::string& GetKey() const { return key; }
    void SetName(const std::string& name) { this->name = name; }
    const std::string& GetName() const { return name; }
    int GetConnected() const { return connected; }
    void SetConnected(int connected) { this->connected = connected; }
    int GetEnabled() const { return enabled; }
    void SetEnabled(int enabled) { this->enabled = enabled; }
    const platform::RasConnection& GetRasConn() const { return rasConn; }
    void SetRasConn(const platform::RasConnection& rasConn) { this->rasConn = rasConn; }
    uint32_t GetTraffic() const { return traffic; }
    void SetTraffic(uint32_t traffic) { this->traffic = traffic; }
    int64_t GetLastTraffic() const { return lastTraffic; }
    int GetPrefered() const { return preferred; }
    void SetPrefered(int preferred) { this->preferred = preferred; }
    int GetAlwaysOn() const { return alwaysOn; }
    void SetAlwaysOn(int alwaysOn) { this->alwaysOn = alwaysOn; }

    static constexpr int64_t kTrafficUnknown = -1;

  private:
    std::string key;
    std::string name;
    int connected = 0;
    int enabled = 0;
    platform::RasConnection rasConn;
    uint32_t traffic = 0;
    int64_t lastTraffic = kTrafficUnknown;
    int preferred = 0;
    int alwaysOn = 0;
};
