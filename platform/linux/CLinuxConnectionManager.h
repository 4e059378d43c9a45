#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/CConnectionRequests.h"
#include "platform/ConnectionEntries.h"
#include "platform/IClock.h"
#include "platform/IConnectionManager.h"
#include "platform/IRegistry.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// The data connections over NetworkManager. Its connection profiles (Settings.ListConnections, in
// that order, loopback left out) are the phone-book entries, each named after the profile's id; a
// profile serves the destination network of its UUID. Each entry gets a provider key of its own
// below kProfilesKey (ConnectionGUID the network; "enabled" 1 and "AlwaysOn" 0 when missing: those
// two are the user's). An entry is up while NetworkManager has an active connection of its profile
// in the activated state; the handle of an active connection is its entry's position plus 1.
//
// A request for a network activates the profile that serves it (only an entry the connection
// manager may use, "enabled" 1), on this object's own thread. Every change of the active
// connections, made here or by anyone else, and every failed request are posted to the windows
// that asked as the registered message kConnMgrStatusChangeMessage. The byte counts are those of
// the connection's first device (its Statistics interface, whose refreshing is switched on when
// first asked).
//
// Without NetworkManager there are no entries (ERROR_READ_FAULT) and every request fails.
class CLinuxConnectionManager : public IConnectionManager {
  public:
    static constexpr const char* kProfilesKey =
        "\\Comm\\ConnMgr\\Providers\\{8B3E6C12-4A7D-4F0B-9C21-5D6E7F801A2B}\\Connections";
    // NetworkManager's states of an active connection.
    static constexpr uint32_t kActivating = 1;
    static constexpr uint32_t kActivated = 2;
    static constexpr uint32_t kDeactivating = 3;
    static constexpr uint32_t kDeactivated = 4;
    // Real seconds an asynchronous request waits for its connection to come up.
    static constexpr std::chrono::seconds kAsyncWait{60};

    CLinuxConnectionManager(CDBusThread& bus, IRegistry& registry, IClock& clock);
    ~CLinuxConnectionManager() override;
    CLinuxConnectionManager(const CLinuxConnectionManager&) = delete;
    CLinuxConnectionManager& operator=(const CLinuxConnectionManager&) = delete;

    // ERROR_READ_FAULT when NetworkManager does not answer.
    Result enumEntries(std::vector<std::string>& names, size_t room) override;
    Result enumConnections(std::vector<RasConnection>& connections, size_t room) override;
    Result getConnectStatus(uint32_t handle, uint32_t& state) override;
    Result getLinkStatistics(uint32_t handle, RasLinkStatistics& statistics) override;
    // ERROR_ACCESS_DENIED or ERROR_WRITE_FAULT when NetworkManager refuses.
    Result hangUp(uint32_t handle) override;
    Result establishConnection(const ConnectionInfo& info, uint32_t& request) override;
    Result establishConnectionSync(const ConnectionInfo& info, uint32_t& request, uint32_t timeoutMs,
                                   uint32_t& status) override;
    // Any http or https address with a host is reached through the network of the first entry
    // that is up, else of the first entry the connection manager may use.
    Result mapUrl(const std::string& url, std::string& network, uint32_t& index) override;
    Result registerForStatusChangeNotification(bool enable, HWND window) override;

    // Empty when NetworkManager answers, else the line naming it and the reason.
    std::string unavailableReason() const;

    // The registry key of an entry (under HKEY_LOCAL_MACHINE).
    static std::string entryKey(const std::string& name);
    // An entry name for a profile id: backslashes (the registry's separator) become '/'.
    static std::string entryName(const QString& id);

  private:
    struct Profile {
        QString path;
        std::string name;
        std::string network;
    };
    struct Active {
        QString path;
        QString profile;
        uint32_t state = 0;
        QStringList devices;
    };

    // The profiles now, their provider keys written; false when NetworkManager does not answer.
    bool profiles(std::vector<Profile>& out);
    // The active connections now; false when NetworkManager does not answer.
    bool actives(std::vector<Active>& out);
    // The entries of `list`, each up while `up` holds an activated connection of its profile.
    static std::vector<ConnectionEntry> entriesOf(const std::vector<Profile>& list,
                                                  const std::vector<Active>& up);
    // The activated connection of the entry at handle - 1.
    bool activeOf(uint32_t handle, Profile& profile, Active& active);
    bool enabled(const std::string& name);
    // Brings up the profile serving `network`, waiting for it until `deadline`: a CONNMGR_STATUS_*
    // value, CONNMGR_STATUS_UNKNOWN when the deadline passed first.
    uint32_t connect(const std::string& network, std::chrono::steady_clock::time_point deadline);
    // On the bus thread: the list of active connections changed.
    void activeConnectionsChanged(const QStringList& paths);
    // The worker that runs asynchronous requests.
    void post(std::function<void()> job);
    void work();

    CDBusThread& _bus;
    IRegistry& _registry;
    IClock& _clock;
    bool _networkManager = false;
    std::string _reason;
    CConnectionRequests _requests;
    std::mutex _lock;  // what follows
    QStringList _active;
    std::condition_variable _jobsChanged;
    std::deque<std::function<void()>> _jobs;
    std::atomic<bool> _stop{false};
    std::thread _worker;
    // Last: end first, so that no change reaches a half-destroyed object.
    CDBusThread::Subscription _managerChanges;
    CDBusThread::Subscription _stateChanges;
};

}  // namespace platform::lnx
