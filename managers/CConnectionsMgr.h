#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "managers/CMgr.h"
#include "managers/CRasConnection.h"
#include "platform/SystemTime.h"

class ICurrentFrame;
class ITrafficDataListener;

// The phone's data connections (the packet-data entries the connection manager uses): status 0
// when none is enabled, 1 when some are enabled and none is connected, 2 when one is connected,
// -1 when the manager is switched off. It lists the entries once at start, enables, connects and
// hangs them up, keeps one preferred connection, closes connections that stayed idle (the
// "iddle_notification" wake-up of the phone's notification service), connects to the network
// that reaches the probe address for the location upload, and asks the update server whether a
// newer version exists.
//
// Threads: commands run on the manager's worker; NewEvent and OnIdleNotification come on the
// window's thread; the update check runs on a thread of its own. Every walk of the connections
// takes connectionsLock (recursive: operations call each other), never while the status is
// refreshed, so that the refresh lock always comes first.
class CConnectionsMgr : public CMgr, public IStatusListener {
  public:
    // Commands of the worker thread (HandleCommandChild), with the value of their argument.
    static constexpr int kCommandEnableAll = 0;
    static constexpr int kCommandConnectAll = 1;
    static constexpr int kCommandConnectPreferred = 2;
    // Room for the phone-book entries and the active connections read at once.
    static constexpr size_t kMaxEntries = 50;
    static constexpr size_t kMaxActiveConnections = 10;
    // Longest key name the provider-key search looks at.
    static constexpr size_t kMaxKeyName = 260;
    // Seconds from a connection event to the first idle check.
    static constexpr int kIdleFirstCheckSeconds = 20;
    // The synchronous connection of ConnectInternet waits at most this long (phone milliseconds).
    static constexpr uint32_t kConnectInternetTimeoutMs = 10000;
    static constexpr uint32_t kConnectInternetPriority = 192;
    // The update check: its path after "url_update", its agent, the longest answer read, and the
    // real time the whole exchange may take by default.
    static constexpr const char* kUpdatePath = "/Zentrova/zentrova";
    static constexpr const char* kUpdateAgent = "Zentrova";
    static constexpr size_t kMaxAnswer = 1000;
    static constexpr long kVersionTimeoutMs = 10000;
    // A message of the update server waits this long (phone milliseconds) before it is shown.
    static constexpr uint32_t kMessageDelayMs = 2000;
    static constexpr size_t kMaxOwnerName = 200;

    CConnectionsMgr();
    ~CConnectionsMgr() override;

    // The manager, while one exists (for the location upload).
    static CConnectionsMgr* GetInstance() { return _instance.load(); }

    // CMgr.
    void Initialize() override;
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_CONNECTIONS; }
    void RefreshStatusChild(int force) override;
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override {}
    void ProcessTimerNotification(int value) override;
    void HandleCommandChild(int command, int value) override;
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status >= 0 && status <= 2; }

    // IStatusListener: the phone radio (and the band) reported. When the radio is on again, the
    // connection action of the frame that runs now is applied again.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override { return GetNameMgr(_listenerName); }

    // A status change of the connection manager reached the main window.
    virtual void NewEvent();
    // The connections as they are now (copies).
    virtual std::vector<CRasConnection> GetConnections();
    virtual void RefreshConnections();
    virtual bool HayConexionesActivas();
    virtual bool HayConexionesHabilitadas(int unused = 0);
    virtual void HabilitarTodasConexiones(int enable);
    // Out-of-range indexes do nothing.
    virtual void HabilitarConexion(int enable, int index);
    virtual void SwapHabilitarConexion(int index);
    virtual void SetAlwaysOnConexion(int on, int index);
    virtual void SwapAlwaysOnConexion(int index);
    virtual void SwapConectarConexion(int index);
    virtual void ConectarConexion(int connect, int index);
    virtual void ConectarConexionPreferred(int connect);
    // Connecting: the preferred connection only when there is one, else every connection (each
    // enabled first). Disconnecting: every connection.
    virtual void ConectarTodasConexiones(int connect);
    virtual void SetNoConnectionPrefered();
    // The connections in the debug trace.
    virtual void PrintStatus();
    virtual void CloseConectionsDisabled();

    void DesconectarConexiones();
    // A copy of the preferred connection (the last one flagged); false when there is none.
    bool GetConnectionPreferred(CRasConnection& connection);
    void SetConnectionPrefered(const std::string& name);
    int GetCurrentTotalTraffic();

    void AddListenerTraffic(ITrafficDataListener* listener);
    void RemoveListenerTraffic(ITrafficDataListener* listener);
    void FireTrafficChanged();

    // Idle close: the user switched "activate_idle" on or off.
    void UserHasActivatedCloseIdle();
    void UserHasDectivatedCloseIdle();
    // The "iddle_notification" wake-up came (window thread).
    void OnIdleNotification();
    // With a connection up and "activate_idle" set, the idle check is woken in
    // kIdleFirstCheckSeconds; otherwise its wake-up is removed.
    void CheckIdleConnectionsState();
    // The one pending idle wake-up, `seconds` from now (replacing an earlier one).
    void SetIddleNotification(int seconds);
    void RemoveIddleNotifications();

    // The destination network through which "url_probe" is reached (text form); 0 when the
    // connection manager knows none, else 1.
    int GetMapURL(std::string& network);
    // 1 when the network that reaches "url_probe" could be connected within
    // kConnectInternetTimeoutMs of phone time, else 0. Blocks the caller meanwhile.
    int ConnectInternet();

    // The update check: CheckVersion starts it on a thread of its own (not while one runs);
    // GetLastVersion asks the update server and stores its answer; IsLatestVersion compares the
    // answer with "current_version".
    void CheckVersion();
    void GetLastVersion();
    bool IsLatestVersion();
    // The request of the update check (the whole address).
    std::string BuildVersionUrl();
    // The update server's answer taken apart: "version|message|...|url" in Latin-1, ended by a
    // line break. False (with the reason) when it is not an answer.
    struct VersionAnswer {
        std::string version;
        std::string message;
        std::string url;
        bool hasUrl = false;
    };
    static bool ParseVersionAnswer(const std::string& body, VersionAnswer& answer, std::string& failure);
    bool IsCheckingVersion() const { return checkingVersion.load(); }
    void SetCheckingVersion(bool checking) { checkingVersion.store(checking); }
    bool GetVersionVerificada() const { return versionChecked.load(); }
    void SetVersionVerificada(bool checked) { versionChecked.store(checked); }
    std::string GetLatestVersion();
    std::string GetLatestMessage();
    std::string GetLatestUrl();
    // Real milliseconds the update server has to answer.
    void SetVersionTimeoutMs(long ms) { versionTimeoutMs.store(ms); }
    // Waits for a running update check to end.
    void WaitVersionCheck();

    SYSTEMTIME GetLastClose();
    SYSTEMTIME GetLastIdleCheck();
    int GetNumConnectionsClosed() const { return numConnectionsClosed.load(); }
    int GetIdleChecks() const { return idleChecks.load(); }
    uint32_t GetIdleNotification() const { return idleNotification.load(); }

    // Installs (or, with null, removes) what gives the current frame; waits for a StatusChanged
    // that uses the one before.
    void SetCurrentFrame(ICurrentFrame* currentFrame);

    // key=value lines for zentrova-device app.
    std::string DescribeState();

  private:
    void EnumEntries();
    void CleanRasList();
    bool BuscarDatosConexion(const std::string& name, std::string& key);
    bool ProcesarClave(const std::string& path, const std::string& name, std::string& key, int depth);
    void EstablecerEstadoConnection(CRasConnection& connection);
    bool RadioOn();
    // Walks the connections, reading each one's traffic; true when one had traffic.
    bool HaHabidoTrafico();
    void MarkIdleCheckNotStarted();
    // The answer of the update server, taken apart and stored; false (and a warning) when it is
    // not an answer.
    bool StoreVersionAnswer(const std::string& body);
    void LogVersionFailure(const std::string& reason);
    void ShowServerMessage(const std::string& message);
    std::string OwnerName();
    static long Setting(const char* name);
    static std::string TextSetting(const char* name);

    static std::atomic<CConnectionsMgr*> _instance;

    std::vector<CRasConnection> connections;
    std::recursive_mutex connectionsLock;
    std::mutex statusChangedLock;  // StatusChanged, and the current-frame source it uses
    ICurrentFrame* currentFrame = nullptr;
    int phoneStatus = 0;  // the phone radio's last report (0 on)
    std::atomic<bool> versionChecked{false};
    std::atomic<bool> checkingVersion{false};
    std::mutex idleLock;  // lastIdleCheck, lastClose
    SYSTEMTIME lastIdleCheck{};
    SYSTEMTIME lastClose{};
    std::atomic<int> numConnectionsClosed{0};
    std::atomic<uint32_t> idleNotification{0};
    std::atomic<int> idleChecks{0};
    std::mutex trafficLock;
    std::vector<ITrafficDataListener*> trafficListeners;
    std::mutex versionLock;  // the answer and the threads
    std::string latestVersion;
    std::string latestMessage;
    std::string latestUrl;
    std::thread versionThread;
    std::thread messageThread;
    std::atomic<long> versionTimeoutMs{kVersionTimeoutMs};
    std::atomic<bool> listening{false};
    std::string _listenerName;
};
