#include "managers/CConnectionsMgr.h"

#include <strings.h>

#include <algorithm>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "core/MessageBoxes.h"
#include "core/OwnerName.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/ICurrentFrame.h"
#include "managers/ITrafficDataListener.h"
#include "platform/CProcessLauncher.h"
#include "platform/ISystemInfo.h"
#include "platform/Services.h"
#include "platform/UrlEncode.h"
#include "store/CDB.h"
#include "store/CTableActions.h"

std::atomic<CConnectionsMgr*> CConnectionsMgr::_instance{nullptr};

namespace {

constexpr int kSeverityInfo = 2;
constexpr int kSeverityWarning = 3;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;
constexpr const char* kIdleLine = "iddle_notification";
// The phone publishes bit 0x10 of this value while its radio is off (read when no phone manager
// runs).
constexpr const char* kPhoneStateKey = "System\\State\\Phone";
constexpr const char* kPhoneStatusValue = "Status";
constexpr uint32_t kPhoneRadioOff = 0x10;
// A version is a short word: what does not look like one (an error page, a sentence) is no answer.
constexpr size_t kMaxVersionLength = 32;

// Single-byte text (Latin-1) as UTF-8.
std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool LooksLikeVersion(const std::string& version) {
    if (version.empty() || version.size() > kMaxVersionLength) {
        return false;
    }
    return std::none_of(version.begin(), version.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u <= ' ' || u >= 0x7F || c == '<' || c == '>' || c == '"' || c == '&';
    });
}

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        size_t bar = text.find('|', start);
        fields.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) {
            return fields;
        }
        start = bar + 1;
    }
}

}  // namespace

CConnectionsMgr::CConnectionsMgr() : CMgr(MGR_CONNECTIONS) {
    SetStatus(1);
    _instance.store(this);
}

CConnectionsMgr::~CConnectionsMgr() {
    // Nobody finds a manager that is going.
    CConnectionsMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
    Stop();
    if (listening.exchange(false)) {
        for (int id : {MGR_BAND, MGR_PHONE}) {
            if (CMgr* mgr = CMgr::GetMgr(id)) {
                mgr->RemoveStatusListener(this);
            }
        }
    }
    SetCurrentFrame(nullptr);
    std::thread version;
    std::thread message;
    {
        std::lock_guard lock(versionLock);
        version.swap(versionThread);
        message.swap(messageThread);
    }
    if (version.joinable()) {
        version.join();
    }
    if (message.joinable()) {
        message.join();
    }
    CleanRasList();
}

// ---------------------------------------------------------------------------------------------
// Settings and texts

long CConnectionsMgr::Setting(const char* name) {
    return CConfigurationZentrova::GetLongOr(name, 0);
}

std::string CConnectionsMgr::TextSetting(const char* name) {
    std::string value;
    try {
        if (CConfigurationZentrova* config = CConfigurationZentrova::GetInstance()) {
            config->GetStringParameter(name, value);
        }
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
        value.clear();
    }
    return value;
}

std::string& CConnectionsMgr::GetNameMgr(std::string& name) {
    name = CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_NAME");
    return name;
}

std::string& CConnectionsMgr::GetNameStatus(int status, std::string& name) {
    switch (status) {
        case 0:
            name = CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_STATUS_DISABLED");
            break;
        case 1:
            name = CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_STATUS_OFF");
            break;
        case 2:
            name = CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_STATUS_ON");
            break;
        default:
            name = "unknown";
            break;
    }
    return name;
}

// ---------------------------------------------------------------------------------------------
// Start and listing

void CConnectionsMgr::Initialize() {
    if (ConfigChar() == '0') {
        SetStatus(kStatusUnknown);
        return;
    }
    EnumEntries();
    PrintStatus();
    if (HayConexionesActivas()) {
        CheckVersion();
    }
    CheckIdleConnectionsState();
    for (int id : {MGR_BAND, MGR_PHONE}) {
        if (CMgr* mgr = CMgr::GetMgr(id)) {
            mgr->AddStatusListener(this);
            listening = true;
        }
    }
}

void CConnectionsMgr::CleanRasList() {
    std::lock_guard lock(connectionsLock);
    connections.clear();
}

void CConnectionsMgr::EnumEntries() {
    const std::string preferredName = TextSetting("connection_prefered");
    CleanRasList();
    std::vector<std::string> names;
    platform::Result r = platform::Services::get().connectionManager().enumEntries(names, kMaxEntries);
    if (r != platform::ERROR_SUCCESS) {
        // More entries than room: the first ones are managed.
        LogFormateado(1, "CConnectionsMgr::EnumEntries: %d", static_cast<int>(r));
    }
    auto& registry = platform::Services::get().registry();
    std::string single;
    {
        std::lock_guard lock(connectionsLock);
        for (const std::string& name : names) {
            std::string key;
            uint32_t enabled = 0;
            if (!BuscarDatosConexion(name, key) ||
                registry.getDword(platform::RegRoot::LocalMachine, key, "enabled", enabled) !=
                    platform::ERROR_SUCCESS) {
                LogFormateado(1, "CConnectionsMgr::EnumEntries: %s has no provider key", name);
                continue;
            }
            uint32_t alwaysOn = 0;
            registry.getDword(platform::RegRoot::LocalMachine, key, "AlwaysOn", alwaysOn);
            CRasConnection connection;
            connection.SetName(name);
            connection.SetKey(key);
            connection.SetEnabled(enabled == 1 ? 1 : 0);
            connection.SetTraffic(0);
            connection.SetPrefered(!preferredName.empty() && name == preferredName ? 1 : 0);
            connection.SetAlwaysOn(alwaysOn != 0 ? 1 : 0);
            EstablecerEstadoConnection(connection);
            connections.push_back(connection);
        }
        if (connections.size() == 1) {
            single = connections.front().GetName();
        }
    }
    if (!single.empty()) {
        SetConnectionPrefered(single);
    }
}

bool CConnectionsMgr::BuscarDatosConexion(const std::string& name, std::string& key) {
    return ProcesarClave(platform::kConnMgrProvidersKey, name, key, 0);
}

bool CConnectionsMgr::ProcesarClave(const std::string& path, const std::string& name, std::string& key,
                                    int depth) {
    // Deep enough for any provider layout; a key tree is finite, this only bounds a broken one.
    constexpr int kMaxDepth = 16;
    std::vector<std::string> subKeys;
    if (depth > kMaxDepth || platform::Services::get().registry().enumSubKeys(
                                 platform::RegRoot::LocalMachine, path, subKeys) != platform::ERROR_SUCCESS) {
        return false;
    }
    for (const std::string& sub : subKeys) {
        if (sub.size() >= kMaxKeyName) {
            continue;
        }
        if (strcasecmp(sub.c_str(), name.c_str()) == 0) {
            key = SafeSprintf("%s\\%s", path, sub);
            return true;
        }
        if (ProcesarClave(path + "\\" + sub, name, key, depth + 1)) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// State

bool CConnectionsMgr::RadioOn() {
    if (CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance()) {
        return phone->GetStatus() == 0;
    }
    uint32_t status = 0;
    return platform::Services::get().registry().getDword(platform::RegRoot::LocalMachine, kPhoneStateKey,
                                                         kPhoneStatusValue,
                                                         status) == platform::ERROR_SUCCESS &&
           (status & kPhoneRadioOff) == 0;
}

void CConnectionsMgr::EstablecerEstadoConnection(CRasConnection& connection) {
    connection.SetConnected(0);
    if (!RadioOn()) {
        return;
    }
    auto& manager = platform::Services::get().connectionManager();
    std::vector<platform::RasConnection> active;
    manager.enumConnections(active, kMaxActiveConnections);
    for (const platform::RasConnection& ras : active) {
        if (ras.entryName != connection.GetName()) {
            continue;
        }
        connection.SetRasConn(ras);
        uint32_t state = 0;
        platform::RasLinkStatistics statistics;
        if (manager.getConnectStatus(ras.handle, state) == platform::ERROR_SUCCESS &&
            state == platform::RASCS_Connected) {
            connection.SetConnected(1);
            connection.SetTraffic(manager.getLinkStatistics(ras.handle, statistics) == platform::ERROR_SUCCESS
                                      ? statistics.bytesSent + statistics.bytesReceived
                                      : 0);
        } else {
            connection.SetConnected(0);
            connection.SetTraffic(0);
        }
        return;
    }
}

void CConnectionsMgr::RefreshConnections() {
    std::lock_guard lock(connectionsLock);
    for (CRasConnection& connection : connections) {
        EstablecerEstadoConnection(connection);
    }
}

std::vector<CRasConnection> CConnectionsMgr::GetConnections() {
    std::lock_guard lock(connectionsLock);
    return connections;
}

bool CConnectionsMgr::HayConexionesActivas() {
    std::lock_guard lock(connectionsLock);
    return std::any_of(connections.begin(), connections.end(),
                       [](const CRasConnection& c) { return c.GetConnected() != 0; });
}

bool CConnectionsMgr::HayConexionesHabilitadas(int) {
    std::lock_guard lock(connectionsLock);
    return std::any_of(connections.begin(), connections.end(),
                       [](const CRasConnection& c) { return c.GetEnabled() != 0; });
}

void CConnectionsMgr::RefreshStatusChild(int) {
    RefreshConnections();
    if (!HayConexionesHabilitadas()) {
        SetStatus(0);
    } else {
        SetStatus(HayConexionesActivas() ? 2 : 1);
    }
}

void CConnectionsMgr::PrintStatus() {
    std::lock_guard lock(connectionsLock);
    for (const CRasConnection& c : connections) {
        LogFormateado(2, "Conexion %s: conectada %d habilitada %d preferida %d siempre %d trafico %u (%s)",
                      c.GetName(), c.GetConnected(), c.GetEnabled(), c.GetPrefered(), c.GetAlwaysOn(),
                      c.GetTraffic(), c.GetKey());
    }
}

// ---------------------------------------------------------------------------------------------
// Switching

void CConnectionsMgr::HabilitarConexion(int enable, int index) {
    std::lock_guard lock(connectionsLock);
    if (index < 0 || static_cast<size_t>(index) >= connections.size()) {
        return;
    }
    CRasConnection& c = connections[static_cast<size_t>(index)];
    c.SetEnabled(enable ? 1 : 0);
    if (!enable && c.GetConnected()) {
        c.Hangup();
    }
    c.WriteToRegistry();
}

void CConnectionsMgr::HabilitarTodasConexiones(int enable) {
    {
        std::lock_guard lock(connectionsLock);
        for (size_t i = 0; i < connections.size(); ++i) {
            HabilitarConexion(enable, static_cast<int>(i));
        }
    }
    RefreshStatus(1);
}

void CConnectionsMgr::SwapHabilitarConexion(int index) {
    std::lock_guard lock(connectionsLock);
    if (index >= 0 && static_cast<size_t>(index) < connections.size()) {
        HabilitarConexion(connections[static_cast<size_t>(index)].GetEnabled() ? 0 : 1, index);
    }
}

void CConnectionsMgr::SetAlwaysOnConexion(int on, int index) {
    bool switched = false;
    {
        std::lock_guard lock(connectionsLock);
        if (index < 0 || static_cast<size_t>(index) >= connections.size()) {
            return;
        }
        CRasConnection& c = connections[static_cast<size_t>(index)];
        c.SetAlwaysOn(on ? 1 : 0);
        c.WriteToRegistry();
        if (on && !c.GetConnected() && HayConexionesActivas()) {
            DesconectarConexiones();
            c.Connect();
            switched = true;
        }
    }
    if (switched) {
        RefreshStatus(1);
    }
}

void CConnectionsMgr::SwapAlwaysOnConexion(int index) {
    int on = 0;
    {
        std::lock_guard lock(connectionsLock);
        if (index < 0 || static_cast<size_t>(index) >= connections.size()) {
            return;
        }
        on = connections[static_cast<size_t>(index)].GetAlwaysOn() ? 0 : 1;
    }
    SetAlwaysOnConexion(on, index);
}

void CConnectionsMgr::SwapConectarConexion(int index) {
    int connect = 0;
    {
        std::lock_guard lock(connectionsLock);
        if (index < 0 || static_cast<size_t>(index) >= connections.size()) {
            return;
        }
        connect = connections[static_cast<size_t>(index)].GetConnected() ? 0 : 1;
    }
    ConectarConexion(connect, index);
}

void CConnectionsMgr::ConectarConexion(int connect, int index) {
    bool disconnectedOthers = false;
    {
        std::lock_guard lock(connectionsLock);
        if (index < 0 || static_cast<size_t>(index) >= connections.size()) {
            return;
        }
        CRasConnection& c = connections[static_cast<size_t>(index)];
        if (!connect) {
            c.Hangup();
            return;
        }
        if (!c.GetConnected() && HayConexionesActivas()) {
            DesconectarConexiones();
            disconnectedOthers = true;
        }
        c.Connect();
    }
    if (disconnectedOthers) {
        RefreshStatus(1);
    }
}

void CConnectionsMgr::ConectarConexionPreferred(int connect) {
    std::lock_guard lock(connectionsLock);
    if (connections.empty()) {
        return;
    }
    size_t index = 0;
    for (size_t i = 0; i < connections.size(); ++i) {
        if (connections[i].GetPrefered()) {
            index = i;  // the last one flagged
        }
    }
    CRasConnection& c = connections[index];
    if (!c.GetEnabled()) {
        HabilitarConexion(1, static_cast<int>(index));
    }
    if (connect) {
        c.Connect();
    } else {
        c.Hangup();
    }
}

void CConnectionsMgr::ConectarTodasConexiones(int connect) {
    {
        std::lock_guard lock(connectionsLock);
        if (!connect) {
            // Every connection goes down, the preferred one or not: "off" means none is up.
            DesconectarConexiones();
        } else {
            bool hasPreferred = std::any_of(connections.begin(), connections.end(),
                                            [](const CRasConnection& c) { return c.GetPrefered() != 0; });
            for (size_t i = 0; i < connections.size(); ++i) {
                CRasConnection& c = connections[i];
                if (hasPreferred && !c.GetPrefered()) {
                    continue;
                }
                if (!c.GetEnabled()) {
                    HabilitarConexion(1, static_cast<int>(i));
                }
                c.Connect();
            }
        }
    }
    RefreshStatus(1);
}

void CConnectionsMgr::DesconectarConexiones() {
    std::lock_guard lock(connectionsLock);
    for (CRasConnection& c : connections) {
        ClearTimeLimitNotification(-1);
        c.Hangup();
    }
}

void CConnectionsMgr::CloseConectionsDisabled() {
    std::lock_guard lock(connectionsLock);
    for (CRasConnection& c : connections) {
        if (c.GetConnected() && !c.GetEnabled()) {
            c.Hangup();
        }
    }
}

bool CConnectionsMgr::GetConnectionPreferred(CRasConnection& connection) {
    std::lock_guard lock(connectionsLock);
    const CRasConnection* found = nullptr;
    for (const CRasConnection& c : connections) {
        if (c.GetPrefered()) {
            found = &c;
        }
    }
    if (!found) {
        return false;
    }
    connection = *found;
    return true;
}

void CConnectionsMgr::SetConnectionPrefered(const std::string& name) {
    std::lock_guard lock(connectionsLock);
    for (CRasConnection& c : connections) {
        c.SetPrefered(c.GetName() == name ? 1 : 0);
        if (c.GetPrefered()) {
            if (CConfigurationZentrova* config = CConfigurationZentrova::GetInstance()) {
                try {
                    config->SetRegistryParameter("connection_prefered", name);
                } catch (const CBaseException& e) {
                    LogFormateado(1, "%s", e.GetMessageW());
                }
            }
        }
    }
}

void CConnectionsMgr::SetNoConnectionPrefered() {
    if (CConfigurationZentrova* config = CConfigurationZentrova::GetInstance()) {
        try {
            config->SetRegistryParameter("connection_prefered", "");
        } catch (const CBaseException& e) {
            LogFormateado(1, "%s", e.GetMessageW());
        }
    }
    std::lock_guard lock(connectionsLock);
    for (CRasConnection& c : connections) {
        c.SetPrefered(0);
    }
}

int CConnectionsMgr::GetCurrentTotalTraffic() {
    std::lock_guard lock(connectionsLock);
    uint32_t total = 0;
    for (const CRasConnection& c : connections) {
        total += c.GetTraffic();
    }
    return static_cast<int>(total);
}

void CConnectionsMgr::ForceStatusChild(int status, int) {
    RefreshConnections();
    switch (status) {
        case 0:
            ConectarTodasConexiones(0);
            HabilitarTodasConexiones(0);
            break;
        case 1:
            HabilitarTodasConexiones(1);
            ConectarTodasConexiones(0);
            break;
        case 2: {
            bool any = false;
            {
                std::lock_guard lock(connectionsLock);
                any = !connections.empty();
            }
            if (any) {
                HabilitarTodasConexiones(1);
                ConectarConexionPreferred(1);
            }
            break;
        }
        default:
            SetLastExecution(0);
            return;
    }
    SetLastExecution(1);
}

void CConnectionsMgr::ProcessTimerNotification(int value) {
    switch (value) {
        case 0:
            HabilitarTodasConexiones(0);
            break;
        case 1:
            ConectarTodasConexiones(0);
            break;
        case 2:
            ConectarTodasConexiones(1);
            break;
        default:
            break;
    }
    RefreshStatus(1);
}

void CConnectionsMgr::HandleCommandChild(int command, int value) {
    switch (command) {
        case kCommandEnableAll:
            HabilitarTodasConexiones(value);
            break;
        case kCommandConnectAll:
            ConectarTodasConexiones(value);
            break;
        case kCommandConnectPreferred:
            ConectarConexionPreferred(value);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Events

void CConnectionsMgr::NewEvent() {
    CountEvent();
    RefreshStatus(1);
    CloseConectionsDisabled();
    PrintStatus();
    if (!HayConexionesActivas()) {
        MarkIdleCheckNotStarted();
    } else if (!versionChecked.load()) {
        CheckVersion();
    }
    CheckIdleConnectionsState();
}

void CConnectionsMgr::SetCurrentFrame(ICurrentFrame* frame) {
    std::lock_guard lock(statusChangedLock);
    currentFrame = frame;
}

void CConnectionsMgr::StatusChanged(int status, int mgrId, int) {
    if (mgrId != MGR_PHONE) {
        return;
    }
    std::lock_guard lock(statusChangedLock);
    // Only when the radio comes back on: a report of a radio that stayed on would undo what the
    // user switched by hand since the frame started.
    const bool cameOn = status == 0 && phoneStatus != 0;
    phoneStatus = status;
    if (!cameOn || !currentFrame) {
        return;
    }
    try {
        CStrPeriod period;
        if (!currentFrame->GetCurrentFrame(period)) {
            return;
        }
        CDB* db = CDB::GetOpened();
        if (!db) {
            return;
        }
        std::vector<CStrAction> actions;
        db->GetTableActions()->GetAllRecordsForPeriod(actions, period.GetId());
        for (const CStrAction& action : actions) {
            // The frame runs: its start actions are what it wants now.
            if (action.GetId() == MGR_CONNECTIONS && action.GetType() == 0 && action.IsEnabled()) {
                ForceStatus(action.GetIntOp1(), 0, 0, 0);
            }
        }
        RefreshStatus(0);
    } catch (const CBaseException& e) {
        LogFormateado(1, "CConnectionsMgr::StatusChanged: %s", e.GetMessageW());
    }
}

// ---------------------------------------------------------------------------------------------
// Traffic and idle close

void CConnectionsMgr::AddListenerTraffic(ITrafficDataListener* listener) {
    std::lock_guard lock(trafficLock);
    trafficListeners.push_back(listener);
}

void CConnectionsMgr::RemoveListenerTraffic(ITrafficDataListener* listener) {
    std::lock_guard lock(trafficLock);
    trafficListeners.erase(std::remove(trafficListeners.begin(), trafficListeners.end(), listener),
                           trafficListeners.end());
}

void CConnectionsMgr::FireTrafficChanged() {
    std::vector<ITrafficDataListener*> listeners;
    {
        std::lock_guard lock(trafficLock);
        listeners = trafficListeners;
    }
    for (ITrafficDataListener* listener : listeners) {
        listener->TrafficChanged();
    }
}

void CConnectionsMgr::MarkIdleCheckNotStarted() {
    std::lock_guard lock(idleLock);
    lastIdleCheck = SYSTEMTIME{};
}

SYSTEMTIME CConnectionsMgr::GetLastClose() {
    std::lock_guard lock(idleLock);
    return lastClose;
}

SYSTEMTIME CConnectionsMgr::GetLastIdleCheck() {
    std::lock_guard lock(idleLock);
    return lastIdleCheck;
}

void CConnectionsMgr::UserHasActivatedCloseIdle() {
    CheckIdleConnectionsState();
}

void CConnectionsMgr::UserHasDectivatedCloseIdle() {
    MarkIdleCheckNotStarted();
    RemoveIddleNotifications();
}

void CConnectionsMgr::CheckIdleConnectionsState() {
    if (HayConexionesActivas() && Setting("activate_idle") != 0) {
        SetIddleNotification(kIdleFirstCheckSeconds);
    } else {
        RemoveIddleNotifications();
    }
}

void CConnectionsMgr::SetIddleNotification(int seconds) {
    // One idle wake-up at a time: a newer one replaces the one pending.
    RemoveIddleNotifications();
    auto& services = platform::Services::get();
    platform::UserNotificationTrigger trigger;
    trigger.start = services.clock().localTime();
    trigger.start.wMilliseconds = 0;
    DT_AddDiff(trigger.start, seconds, DT_SECOND);
    trigger.application = platform::CProcessLauncher::selfExecutable().string();
    trigger.arguments = kIdleLine;
    idleNotification = services.notifications().setUserNotification(trigger);
    LogFormateado(2, "CConnectionsMgr: idle check at %s", DT_Format(trigger.start));
    IMainPanel::With([](IMainPanel& panel) { panel.UpdateNotificationsDebugInfo(); });
}

void CConnectionsMgr::RemoveIddleNotifications() {
    if (uint32_t handle = idleNotification.exchange(0)) {
        platform::Services::get().notifications().clearUserNotification(handle);
    }
}

bool CConnectionsMgr::HaHabidoTrafico() {
    const auto sizeTraffic = static_cast<uint32_t>(std::max(0L, Setting("size_traffic")));
    std::lock_guard lock(connectionsLock);
    bool traffic = false;
    // Every connection is read, so that each one's next comparison starts from now.
    for (CRasConnection& c : connections) {
        traffic = c.HaHabidoTrafico(sizeTraffic) || traffic;
    }
    return traffic;
}

void CConnectionsMgr::OnIdleNotification() {
    ++idleChecks;
    if (!HayConexionesActivas() || Setting("activate_idle") == 0) {
        return;
    }
    const long secondsIdle = std::max(1L, Setting("seconds_idle"));
    const SYSTEMTIME now = platform::Services::get().clock().localTime();
    SYSTEMTIME last;
    {
        std::lock_guard lock(idleLock);
        last = lastIdleCheck;
    }
    if (last.wYear == 0) {
        // The idle period starts now, from the traffic as it is now.
        {
            std::lock_guard lock(idleLock);
            lastIdleCheck = now;
        }
        {
            std::lock_guard lock(connectionsLock);
            for (CRasConnection& c : connections) {
                c.RefreshDataTraffic();
            }
        }
        SetIddleNotification(static_cast<int>(secondsIdle));
    } else {
        const int64_t elapsed = DT_PeriodsBetween(last, now, DT_SECOND);
        if (elapsed < secondsIdle) {
            // Early (a connection event moved the wake-up): the period keeps its start, so the
            // wake-up for the rest of it ends the same period.
            SetIddleNotification(static_cast<int>(secondsIdle - std::max<int64_t>(0, elapsed)));
        } else if (HaHabidoTrafico()) {
            {
                std::lock_guard lock(idleLock);
                lastIdleCheck = now;
            }
            SetIddleNotification(static_cast<int>(secondsIdle));
        } else {
            ++numConnectionsClosed;
            {
                std::lock_guard lock(idleLock);
                lastIdleCheck = SYSTEMTIME{};
                lastClose = now;
            }
            const std::string size = std::to_string(Setting("size_traffic"));
            const std::string seconds = std::to_string(elapsed);
            CLogMgr::Log(
                GetMgrId(), kSeverityInfo,
                FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_IDLE_CLOSED_RESUME")),
                          kResumeBuffer),
                FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_IDLE_CLOSED_DESCRIPTION"),
                                      size, seconds),
                          kDescriptionBuffer));
            ConectarTodasConexiones(0);
        }
    }
    FireTrafficChanged();
}

// ---------------------------------------------------------------------------------------------
// Reachability

int CConnectionsMgr::GetMapURL(std::string& network) {
    uint32_t index = 0;
    platform::Result r =
        platform::Services::get().connectionManager().mapUrl(TextSetting("url_probe"), network, index);
    LogFormateado(2, "CConnectionsMgr::GetMapURL: %d %s", static_cast<int>(r), network);
    return r == platform::E_FAIL ? 0 : 1;
}

int CConnectionsMgr::ConnectInternet() {
    std::string network;
    if (!GetMapURL(network)) {
        return 0;
    }
    platform::ConnectionInfo info;
    info.params = platform::CONNMGR_PARAM_GUIDDESTNET;
    info.priority = kConnectInternetPriority;
    info.destination = network;
    uint32_t request = 0;
    uint32_t status = 0;
    platform::Result r = platform::Services::get().connectionManager().establishConnectionSync(
        info, request, kConnectInternetTimeoutMs, status);
    LogFormateado(2, "CConnectionsMgr::ConnectInternet: %d status 0x%x", static_cast<int>(r), status);
    return r == platform::ERROR_SUCCESS && status == platform::CONNMGR_STATUS_CONNECTED ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Update check

void CConnectionsMgr::CheckVersion() {
    if (checkingVersion.exchange(true)) {
        return;  // one check at a time
    }
    std::thread previous;
    std::lock_guard lock(versionLock);
    previous.swap(versionThread);
    if (previous.joinable()) {
        previous.join();  // it has ended: it cleared checkingVersion as its last step
    }
    versionThread = std::thread([this] { GetLastVersion(); });
}

void CConnectionsMgr::WaitVersionCheck() {
    std::thread running;
    {
        std::lock_guard lock(versionLock);
        running.swap(versionThread);
    }
    if (running.joinable()) {
        running.join();
    }
}

std::string CConnectionsMgr::OwnerName() {
    std::string name;
    return ReadOwnerName(kMaxOwnerName, name) ? name : std::string();
}

std::string CConnectionsMgr::BuildVersionUrl() {
    std::string base = TextSetting("url_update");
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    int records = 0;
    try {
        if (CDB* db = CDB::GetOpened()) {
            records = db->GetTotalRecordCount();
        }
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    std::string model;
    int osVersion = 0;
    if (CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance()) {
        model = phone->GetModelName();
        osVersion = phone->GetSOVersion();
    }
    // Every text field is encoded: an owner name or a model with "&" or "=" must not add fields.
    using platform::UrlEncode;
    return base + kUpdatePath + "?" +
           SafeSprintf("user=%s&version=%s&numRecords=%d&model=%s&osversion=%d&resolution=%s",
                       UrlEncode(OwnerName()), UrlEncode(TextSetting("current_version")), records,
                       UrlEncode(model), osVersion, UrlEncode(TextSetting("resolution")));
}

void CConnectionsMgr::LogVersionFailure(const std::string& reason) {
    LogFormateado(1, "CConnectionsMgr::GetLastVersion: %s", reason);
    CLogMgr::Log(
        GetMgrId(), kSeverityWarning,
        FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_VERSION_FAILED_RESUME")),
                  kResumeBuffer),
        FitBuffer(
            SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_VERSION_FAILED_DESCRIPTION"), reason),
            kDescriptionBuffer));
}

void CConnectionsMgr::GetLastVersion() {
    checkingVersion = true;
    const std::string url = BuildVersionUrl();
    platform::IHttp::Reply reply =
        platform::Services::get().http().get(url, kUpdateAgent, versionTimeoutMs.load(), kMaxAnswer);
    if (!reply.answered) {
        LogVersionFailure(reply.problem.empty() ? std::string("no answer") : reply.problem);
    } else if (reply.status != 200) {
        LogVersionFailure("HTTP " + std::to_string(reply.status));
    } else if (!reply.problem.empty()) {
        LogVersionFailure(reply.problem);  // the answer was cut short
    } else {
        StoreVersionAnswer(reply.body);
    }
    checkingVersion = false;
}

bool CConnectionsMgr::ParseVersionAnswer(const std::string& body, VersionAnswer& answer,
                                         std::string& failure) {
    // The shortest answer is a version and its line break; less is a broken answer.
    if (body.size() < 2) {
        failure = "answer of " + std::to_string(body.size()) + " characters";
        return false;
    }
    // The line break that ends the answer is not part of it (whether "\r\n" or "\n": a server
    // that sends only one must not lose the last character of the answer).
    std::string text = body;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    const std::vector<std::string> fields = SplitFields(Latin1ToUtf8(text));
    if (fields.empty() || !LooksLikeVersion(fields[0])) {
        failure = "no version in the answer";
        return false;
    }
    answer.version = fields[0];
    answer.message = fields.size() > 1 ? fields[1] : std::string();
    answer.hasUrl = fields.size() > 3;
    answer.url = answer.hasUrl ? fields[3] : std::string();
    return true;
}

bool CConnectionsMgr::StoreVersionAnswer(const std::string& body) {
    VersionAnswer answer;
    std::string failure;
    if (!ParseVersionAnswer(body, answer, failure)) {
        LogVersionFailure(failure);
        return false;
    }
    const std::string& version = answer.version;
    const std::string& message = answer.message;
    {
        std::lock_guard lock(versionLock);
        latestVersion = version;
        latestMessage = message;
        if (answer.hasUrl) {
            latestUrl = answer.url;
        }
    }
    versionChecked = true;
    CLogMgr::Log(
        GetMgrId(), kSeverityInfo,
        FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_VERSION_RESUME"), version),
                  kResumeBuffer),
        FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CONNECTIONS_VERSION_DESCRIPTION"), version),
                  kDescriptionBuffer));
    if (!IsLatestVersion()) {
        IMainPanel::With([](IMainPanel& panel) { panel.InvalidatePanel(); });
    }
    if (CountChars(message) > 2) {
        ShowServerMessage(message);
    }
    return true;
}

void CConnectionsMgr::ShowServerMessage(const std::string& message) {
    std::thread previous;
    std::lock_guard lock(versionLock);
    previous.swap(messageThread);
    if (previous.joinable()) {
        previous.join();
    }
    messageThread = std::thread([message] {
        auto& services = platform::Services::get();
        services.clock().sleep(kMessageDelayMs);
        services.systemInfo().messageBeep(platform::MB_ICONEXCLAMATION);
        TextBox(message);
    });
}

bool CConnectionsMgr::IsLatestVersion() {
    std::lock_guard lock(versionLock);
    return latestVersion == TextSetting("current_version");
}

std::string CConnectionsMgr::GetLatestVersion() {
    std::lock_guard lock(versionLock);
    return latestVersion;
}

std::string CConnectionsMgr::GetLatestMessage() {
    std::lock_guard lock(versionLock);
    return latestMessage;
}

std::string CConnectionsMgr::GetLatestUrl() {
    std::lock_guard lock(versionLock);
    return latestUrl;
}

// ---------------------------------------------------------------------------------------------
// Report

std::string CConnectionsMgr::DescribeState() {
    std::string out;
    for (const CRasConnection& c : GetConnections()) {
        out += "data_connection=" + c.GetName() + " enabled=" + std::to_string(c.GetEnabled()) +
               " connected=" + std::to_string(c.GetConnected()) +
               " preferred=" + std::to_string(c.GetPrefered()) +
               " always_on=" + std::to_string(c.GetAlwaysOn()) +
               " traffic=" + std::to_string(c.GetTraffic()) + "\n";
    }
    SYSTEMTIME close = GetLastClose();
    out += "connections_closed=" + std::to_string(numConnectionsClosed.load()) + "\n";
    out += "connections_last_close=" + (close.wYear ? DT_Format(close) : std::string()) + "\n";
    out += "connections_idle_checks=" + std::to_string(idleChecks.load()) + "\n";
    out += std::string("connections_idle_started=") + (GetLastIdleCheck().wYear ? "1" : "0") + "\n";
    out += "connections_events=" + std::to_string(GetEventsReceived()) + "\n";
    const bool checked = versionChecked.load();
    out += std::string("version_checked=") + (checked ? "1" : "0") + "\n";
    out += "latest_version=" + GetLatestVersion() + "\n";
    out += std::string("new_version=") + (checked && !IsLatestVersion() ? "1" : "0") + "\n";
    out += "latest_url=" + GetLatestUrl() + "\n";
    return out;
}
