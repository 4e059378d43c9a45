#include "platform/linux/CLinuxConnectionManager.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <algorithm>

#include "platform/NetworkGuid.h"
#include "platform/linux/NetBusHelpers.h"

namespace platform::lnx {

namespace {

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kSettings = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kProfile = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kStatistics = QStringLiteral("org.freedesktop.NetworkManager.Device.Statistics");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kCallTimeoutMs = 5000;
// How often a request looks whether its connection has come up.
constexpr auto kPollInterval = std::chrono::milliseconds(50);
// A statistics refresh rate for devices that have none.
constexpr uint32_t kRefreshRateMs = 1000;

QStringList pathsOf(const QVariant& value) {
    QList<QDBusObjectPath> paths;
    if (value.canConvert<QDBusArgument>()) {
        value.value<QDBusArgument>() >> paths;
    } else {
        paths = value.value<QList<QDBusObjectPath>>();
    }
    QStringList out;
    for (const QDBusObjectPath& p : paths) {
        out.append(p.path());
    }
    return out;
}

}  // namespace

CLinuxConnectionManager::CLinuxConnectionManager(CDBusThread& bus, IRegistry& registry, IClock& clock)
    : _bus(bus), _registry(registry), _clock(clock) {
    _worker = std::thread([this] { work(); });
    std::string error = "the service is not running";
    if (_bus.hasService(CDBusThread::Bus::System, kNm)) {
        // Subscribed before the first reading, so that no change falls between the two.
        _managerChanges = _bus.subscribeProperties(
            CDBusThread::Bus::System, kNm, kNmPath, kNm,
            [this](const QVariantMap& changed, const QStringList&) {
                if (changed.contains(QStringLiteral("ActiveConnections"))) {
                    activeConnectionsChanged(pathsOf(changed.value(QStringLiteral("ActiveConnections"))));
                }
            });
        _stateChanges = _bus.subscribe(CDBusThread::Bus::System, kNm, QString(), kActive,
                                       QStringLiteral("StateChanged"), [this](const QDBusMessage& message) {
                                           const QList<QVariant> args = message.arguments();
                                           const uint32_t state = args.isEmpty() ? 0 : args.at(0).toUInt();
                                           if (state == kActivated || state == kDeactivated) {
                                               _requests.postStatusChange();
                                           }
                                       });
        QVariant active = net::readProperty(_bus, kNm, kNmPath, kNm, QStringLiteral("ActiveConnections"),
                                            net::kProbeTimeoutMs, &error);
        if (active.isValid()) {
            _networkManager = true;
            {
                std::lock_guard lock(_lock);
                _active = pathsOf(active);
            }
            std::vector<Profile> list;
            profiles(list);  // writes the provider keys the connections manager looks for
            return;
        }
        _managerChanges = CDBusThread::Subscription();
        _stateChanges = CDBusThread::Subscription();
    }
    _reason = net::unavailableLine("NetworkManager", kNm, error);
}

CLinuxConnectionManager::~CLinuxConnectionManager() {
    _managerChanges = CDBusThread::Subscription();
    _stateChanges = CDBusThread::Subscription();
    {
        std::lock_guard lock(_lock);
        _stop = true;
        _jobs.clear();
    }
    _jobsChanged.notify_all();
    _worker.join();
}

std::string CLinuxConnectionManager::unavailableReason() const {
    return _reason;
}

std::string CLinuxConnectionManager::entryKey(const std::string& name) {
    return std::string(kProfilesKey) + "\\" + name;
}

std::string CLinuxConnectionManager::entryName(const QString& id) {
    std::string name = id.toStdString();
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

bool CLinuxConnectionManager::profiles(std::vector<Profile>& out) {
    out.clear();
    if (!_networkManager) {
        return false;
    }
    QDBusMessage reply = _bus.call(CDBusThread::Bus::System, kNm, kSettingsPath, kSettings,
                                   QStringLiteral("ListConnections"), {}, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return false;
    }
    for (const QString& path : pathsOf(reply.arguments().at(0))) {
        QDBusMessage settings = _bus.call(CDBusThread::Bus::System, kNm, path, kProfile,
                                          QStringLiteral("GetSettings"), {}, kCallTimeoutMs);
        if (settings.type() != QDBusMessage::ReplyMessage || settings.arguments().isEmpty()) {
            continue;  // a profile removed meanwhile
        }
        QMap<QString, QVariantMap> groups;
        settings.arguments().at(0).value<QDBusArgument>() >> groups;
        const QVariantMap connection = groups.value(QStringLiteral("connection"));
        Profile profile;
        profile.path = path;
        profile.name = entryName(connection.value(QStringLiteral("id")).toString());
        if (profile.name.empty() ||
            connection.value(QStringLiteral("type")).toString() == QStringLiteral("loopback") ||
            !ParseNetworkGuid(connection.value(QStringLiteral("uuid")).toString().toStdString(),
                              profile.network)) {
            continue;
        }
        const std::string key = entryKey(profile.name);
        std::string network;
        if (_registry.getString(RegRoot::LocalMachine, key, "ConnectionGUID", network) != ERROR_SUCCESS ||
            network != profile.network) {
            _registry.setString(RegRoot::LocalMachine, key, "ConnectionGUID", profile.network);
        }
        for (const auto& [name, initial] : {std::pair{"enabled", 1u}, std::pair{"AlwaysOn", 0u}}) {
            uint32_t existing = 0;
            if (_registry.getDword(RegRoot::LocalMachine, key, name, existing) == ERROR_FILE_NOT_FOUND) {
                _registry.setDword(RegRoot::LocalMachine, key, name, initial);
            }
        }
        out.push_back(std::move(profile));
    }
    return true;
}

bool CLinuxConnectionManager::actives(std::vector<Active>& out) {
    out.clear();
    if (!_networkManager) {
        return false;
    }
    QVariant list =
        net::readProperty(_bus, kNm, kNmPath, kNm, QStringLiteral("ActiveConnections"), kCallTimeoutMs);
    if (!list.isValid()) {
        return false;
    }
    for (const QString& path : pathsOf(list)) {
        QDBusMessage reply = _bus.call(CDBusThread::Bus::System, kNm, path, kProperties,
                                       QStringLiteral("GetAll"), {kActive}, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            continue;  // gone meanwhile
        }
        const QVariantMap p = qdbus_cast<QVariantMap>(reply.arguments().at(0));
        Active active;
        active.path = path;
        active.profile = qdbus_cast<QDBusObjectPath>(p.value(QStringLiteral("Connection"))).path();
        active.state = p.value(QStringLiteral("State")).toUInt();
        active.devices = pathsOf(p.value(QStringLiteral("Devices")));
        out.push_back(std::move(active));
    }
    return true;
}

std::vector<ConnectionEntry> CLinuxConnectionManager::entriesOf(const std::vector<Profile>& list,
                                                                const std::vector<Active>& up) {
    std::vector<ConnectionEntry> entries;
    entries.reserve(list.size());
    for (const Profile& p : list) {
        const bool activated = std::any_of(up.begin(), up.end(), [&](const Active& a) {
            return a.profile == p.path && a.state == kActivated;
        });
        entries.push_back({p.name, p.network, activated});
    }
    return entries;
}

Result CLinuxConnectionManager::enumEntries(std::vector<std::string>& names, size_t room) {
    names.clear();
    std::vector<Profile> list;
    if (!profiles(list)) {
        return ERROR_READ_FAULT;
    }
    return ListEntryNames(entriesOf(list, {}), room, names);
}

Result CLinuxConnectionManager::enumConnections(std::vector<RasConnection>& connections, size_t room) {
    connections.clear();
    std::vector<Profile> list;
    std::vector<Active> up;
    if (!profiles(list) || !actives(up)) {
        return ERROR_READ_FAULT;
    }
    return ListUpConnections(entriesOf(list, up), room, connections);
}

bool CLinuxConnectionManager::activeOf(uint32_t handle, Profile& profile, Active& active) {
    std::vector<Profile> list;
    std::vector<Active> up;
    if (!profiles(list) || handle == 0 || handle > list.size() || !actives(up)) {
        return false;
    }
    profile = list[handle - 1];
    for (const Active& a : up) {
        if (a.profile == profile.path && a.state == kActivated) {
            active = a;
            return true;
        }
    }
    return false;
}

Result CLinuxConnectionManager::getConnectStatus(uint32_t handle, uint32_t& state) {
    Profile profile;
    Active active;
    if (!activeOf(handle, profile, active)) {
        state = RASCS_Disconnected;
        return ERROR_INVALID_HANDLE;
    }
    state = RASCS_Connected;
    return ERROR_SUCCESS;
}

Result CLinuxConnectionManager::getLinkStatistics(uint32_t handle, RasLinkStatistics& statistics) {
    Profile profile;
    Active active;
    if (!activeOf(handle, profile, active)) {
        return ERROR_INVALID_HANDLE;
    }
    statistics.bytesSent = 0;
    statistics.bytesReceived = 0;
    if (active.devices.isEmpty()) {
        return ERROR_SUCCESS;  // a connection without a device of its own (a VPN): no counts
    }
    const QString device = active.devices.front();
    // The counters only move while the device refreshes them.
    QVariant rate =
        net::readProperty(_bus, kNm, device, kStatistics, QStringLiteral("RefreshRateMs"), kCallTimeoutMs);
    if (rate.isValid() && rate.toUInt() == 0) {
        _bus.setProperty(CDBusThread::Bus::System, kNm, device, kStatistics, QStringLiteral("RefreshRateMs"),
                         QVariant::fromValue(kRefreshRateMs));
    }
    QVariant tx =
        net::readProperty(_bus, kNm, device, kStatistics, QStringLiteral("TxBytes"), kCallTimeoutMs);
    QVariant rx =
        net::readProperty(_bus, kNm, device, kStatistics, QStringLiteral("RxBytes"), kCallTimeoutMs);
    // 32-bit counters that wrap, as the phone's do.
    statistics.bytesSent = static_cast<uint32_t>(tx.toULongLong());
    statistics.bytesReceived = static_cast<uint32_t>(rx.toULongLong());
    return ERROR_SUCCESS;
}

Result CLinuxConnectionManager::hangUp(uint32_t handle) {
    Profile profile;
    Active active;
    if (!activeOf(handle, profile, active)) {
        return ERROR_INVALID_HANDLE;
    }
    QDBusMessage reply =
        _bus.call(CDBusThread::Bus::System, kNm, kNmPath, kNm, QStringLiteral("DeactivateConnection"),
                  {QVariant::fromValue(QDBusObjectPath(active.path))}, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return net::accessDenied(reply) ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

bool CLinuxConnectionManager::enabled(const std::string& name) {
    return EntryKeyEnabled(_registry, entryKey(name), "enabled");
}

uint32_t CLinuxConnectionManager::connect(const std::string& network,
                                          std::chrono::steady_clock::time_point deadline) {
    std::vector<Profile> list;
    if (!profiles(list)) {
        return CONNMGR_STATUS_CONNECTIONFAILED;
    }
    // Whether it is up is asked of NetworkManager only once it is known to be wanted.
    size_t index = 0;
    const uint32_t status = CheckEntryForNetwork(
        entriesOf(list, {}), network, [this](const std::string& name) { return enabled(name); }, index);
    if (status != CONNMGR_STATUS_UNKNOWN) {
        return status;
    }
    const auto it = list.begin() + static_cast<std::ptrdiff_t>(index);
    std::vector<Active> up;
    actives(up);
    for (const Active& a : up) {
        if (a.profile == it->path && a.state == kActivated) {
            return CONNMGR_STATUS_CONNECTED;
        }
    }
    // NetworkManager picks the device itself ("/" for the device and the specific object).
    QDBusMessage reply =
        _bus.call(CDBusThread::Bus::System, kNm, kNmPath, kNm, QStringLiteral("ActivateConnection"),
                  {QVariant::fromValue(QDBusObjectPath(it->path)), QVariant::fromValue(QDBusObjectPath("/")),
                   QVariant::fromValue(QDBusObjectPath("/"))},
                  kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return CONNMGR_STATUS_CONNECTIONFAILED;
    }
    const QString active = qdbus_cast<QDBusObjectPath>(reply.arguments().at(0)).path();
    while (!_stop) {
        QVariant state =
            net::readProperty(_bus, kNm, active, kActive, QStringLiteral("State"), kCallTimeoutMs);
        if (!state.isValid() || state.toUInt() == kDeactivating || state.toUInt() == kDeactivated) {
            return CONNMGR_STATUS_CONNECTIONFAILED;  // it went down, or went away, on its way up
        }
        if (state.toUInt() == kActivated) {
            return CONNMGR_STATUS_CONNECTED;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return CONNMGR_STATUS_UNKNOWN;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return CONNMGR_STATUS_UNKNOWN;
}

Result CLinuxConnectionManager::establishConnection(const ConnectionInfo& info, uint32_t& request) {
    std::string network;
    if (!_requests.start(info, network, request)) {
        return E_FAIL;
    }
    post([this, network] {
        // A change of a connection reaches the windows through NetworkManager; a failure does not.
        if (connect(network, std::chrono::steady_clock::now() + kAsyncWait) != CONNMGR_STATUS_CONNECTED) {
            _requests.postStatusChange();
        }
    });
    return ERROR_SUCCESS;
}

Result CLinuxConnectionManager::establishConnectionSync(const ConnectionInfo& info, uint32_t& request,
                                                        uint32_t timeoutMs, uint32_t& status) {
    status = CONNMGR_STATUS_UNKNOWN;
    std::string network;
    if (!_requests.start(info, network, request)) {
        return E_FAIL;
    }
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(_clock.realDuration(timeoutMs));
    status = connect(network, deadline);
    if (status == CONNMGR_STATUS_UNKNOWN) {
        return ERROR_TIMEOUT;
    }
    if (status != CONNMGR_STATUS_CONNECTED) {
        _requests.postStatusChange();
        return E_FAIL;
    }
    return ERROR_SUCCESS;
}

Result CLinuxConnectionManager::mapUrl(const std::string& url, std::string& network, uint32_t& index) {
    if (!IsWebUrlWithHost(url)) {
        return E_FAIL;
    }
    std::vector<Profile> list;
    std::vector<Active> up;
    if (!profiles(list) || !actives(up)) {
        return E_FAIL;
    }
    const std::optional<size_t> chosen =
        EntryForUrl(entriesOf(list, up), [this](const std::string& name) { return enabled(name); });
    if (!chosen) {
        return E_FAIL;
    }
    network = list[*chosen].network;
    index = static_cast<uint32_t>(*chosen);
    return ERROR_SUCCESS;
}

Result CLinuxConnectionManager::registerForStatusChangeNotification(bool enable, HWND window) {
    return _requests.registerWindow(enable, window);
}

void CLinuxConnectionManager::activeConnectionsChanged(const QStringList& paths) {
    {
        std::lock_guard lock(_lock);
        if (paths == _active) {
            return;
        }
        _active = paths;
    }
    _requests.postStatusChange();
}

void CLinuxConnectionManager::post(std::function<void()> job) {
    {
        std::lock_guard lock(_lock);
        if (_stop) {
            return;
        }
        _jobs.push_back(std::move(job));
    }
    _jobsChanged.notify_one();
}

void CLinuxConnectionManager::work() {
    std::unique_lock lock(_lock);
    while (true) {
        _jobsChanged.wait(lock, [this] { return _stop || !_jobs.empty(); });
        if (_stop) {
            return;
        }
        std::function<void()> job = std::move(_jobs.front());
        _jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}  // namespace platform::lnx
