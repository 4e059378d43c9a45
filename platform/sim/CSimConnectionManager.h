#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/CCallbackThread.h"
#include "platform/CConnectionRequests.h"
#include "platform/ConnectionEntries.h"
#include "platform/IClock.h"
#include "platform/IConnectionManager.h"
#include "platform/IRegistry.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The data connections of the simulated phone: the phone's connection entries are the phone book,
// each serving a destination network of its own (its provider key's "ConnectionGUID"). A request
// for a network brings up the entry that serves it, after kConnectDelayMs of the phone's time, on
// the service's own thread: only an entry the connection manager may use ("enabled" 1 in its
// provider key) and only while the phone radio is on. Every change of a connection's state that
// this process commits, also one made from outside the program (zentrova-device connection up),
// and every failed request are posted to the windows that asked as the registered message
// kConnMgrStatusChangeMessage. The handle of an active connection is its entry's position plus 1.
class CSimConnectionManager : public IConnectionManager {
  public:
    // Phone milliseconds a connection takes to come up.
    static constexpr uint32_t kConnectDelayMs = 500;

    CSimConnectionManager(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock);
    ~CSimConnectionManager() override;

    Result enumEntries(std::vector<std::string>& names, size_t room) override;
    Result enumConnections(std::vector<RasConnection>& connections, size_t room) override;
    Result getConnectStatus(uint32_t handle, uint32_t& state) override;
    Result getLinkStatistics(uint32_t handle, RasLinkStatistics& statistics) override;
    Result hangUp(uint32_t handle) override;
    Result establishConnection(const ConnectionInfo& info, uint32_t& request) override;
    Result establishConnectionSync(const ConnectionInfo& info, uint32_t& request, uint32_t timeoutMs,
                                   uint32_t& status) override;
    // Any http or https address with a host is reached through the network of the first
    // connection that is up, else of the first entry the connection manager may use.
    Result mapUrl(const std::string& url, std::string& network, uint32_t& index) override;
    Result registerForStatusChangeNotification(bool enable, HWND window) override;

  private:
    // The entry at handle - 1, when it is up.
    bool activeConnection(uint32_t handle, CSimPhone::Connection& out);
    bool enabled(const std::string& name);
    // Brings up the entry serving `network`; a CONNMGR_STATUS_* value.
    uint32_t connect(const std::string& network);
    // The phone's connection entries, in order.
    static std::vector<ConnectionEntry> entriesOf(const CSimPhone::State& s);
    void changed(const CSimPhone::State& before, const CSimPhone::State& after);

    std::shared_ptr<CSimPhone> _phone;
    IRegistry& _registry;
    IClock& _clock;
    CConnectionRequests _requests;
    // Joined before the phone its calls use goes.
    CCallbackThread _calls;
    CCallbackThread::Owner _service;
    // Last: ends first, so that no change of the phone reaches a half-destroyed service.
    CSimPhone::Subscription _subscription;
};

}  // namespace platform::sim
