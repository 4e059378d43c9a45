#include <gtest/gtest.h>

#include <atomic>

#include "NetBench.h"
#include "platform/CWindowHandles.h"
#include "platform/linux/CLinuxConnectionManager.h"

namespace {

using platform::lnx::CLinuxConnectionManager;
using Settings = QMap<QString, QVariantMap>;

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kNmMain = QStringLiteral("/org/freedesktop");
const QString kDevicePath = QStringLiteral("/org/freedesktop/NetworkManager/Devices/wlan0");
const QString kStatistics = QStringLiteral("org.freedesktop.NetworkManager.Device.Statistics");
const char* kHomeUuid = "0b5e3f2a-8c1d-4e6f-9a7b-1c2d3e4f5a6b";
const char* kHomeNetwork = "{0B5E3F2A-8C1D-4E6F-9A7B-1C2D3E4F5A6B}";
const char* kWorkUuid = "7d9e2c41-3b5a-4f80-8e1d-2a3b4c5d6e7f";
const char* kWorkNetwork = "{7D9E2C41-3B5A-4F80-8E1D-2A3B4C5D6E7F}";

// A window that counts the connection manager's status messages.
class CountingWindow {
  public:
    CountingWindow() {
        const UINT wanted =
            platform::CWindowHandles::RegisterWindowMessageW(platform::kConnMgrStatusChangeMessage);
        platform::CWindowHandles::Receiver receiver;
        receiver.post = [this, wanted](UINT message, WPARAM, LPARAM) {
            if (message == wanted) {
                ++_count;
            }
        };
        receiver.send = [](UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
        _handle = platform::CWindowHandles::Register(receiver);
    }
    ~CountingWindow() { platform::CWindowHandles::Unregister(_handle); }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;
    HWND handle() const { return _handle; }
    int count() const { return _count.load(); }

  private:
    HWND _handle = 0;
    std::atomic<int> _count{0};
};

platform::ConnectionInfo requestFor(const std::string& network) {
    platform::ConnectionInfo info;
    info.params = network.empty() ? 0 : platform::CONNMGR_PARAM_GUIDDESTNET;
    info.priority = platform::CONNMGR_PRIORITY_USERINTERACTIVE;
    info.destination = network;
    return info;
}

std::vector<std::pair<uint32_t, std::string>> upNow(CLinuxConnectionManager& manager) {
    std::vector<platform::RasConnection> connections;
    EXPECT_EQ(manager.enumConnections(connections, 8), platform::ERROR_SUCCESS);
    std::vector<std::pair<uint32_t, std::string>> out;
    for (const auto& c : connections) {
        out.emplace_back(c.handle, c.entryName);
    }
    return out;
}

// NetworkManager's profiles are the entries with their provider keys; requests activate the
// profile of their network (or say why not), an activation from outside is seen with its device's
// byte counts, hanging up deactivates, and every change reaches the windows that asked.
TEST(LinuxConnectionManagerTest, ProfilesAreEntriesAndRequestsActivateThem) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    qDBusRegisterMetaType<Settings>();
    ASSERT_TRUE(bench.bus().startTemplate("networkmanager", kNm.toStdString())) << bench.bus().mockOutput();
    ASSERT_EQ(bench
                  .mock(kNm, kNmMain, QStringLiteral("AddWiFiDevice"),
                        {QStringLiteral("wlan0"), QStringLiteral("wlan0"), 30})
                  .type(),
              QDBusMessage::ReplyMessage);
    ASSERT_EQ(
        bench
            .addProperties(kNm, kDevicePath, kStatistics,
                           {{QStringLiteral("RefreshRateMs"), QVariant::fromValue(0u)},
                            {QStringLiteral("TxBytes"), QVariant::fromValue(qulonglong{0x100000400ull})},
                            {QStringLiteral("RxBytes"), QVariant::fromValue(qulonglong{5000})}})
            .type(),
        QDBusMessage::ReplyMessage);
    for (auto [id, uuid] : {std::pair{"Home", kHomeUuid}, std::pair{"Work", kWorkUuid}}) {
        Settings settings{
            {QStringLiteral("connection"), QVariantMap{{"id", QString::fromLatin1(id)},
                                                       {"uuid", QString::fromLatin1(uuid)},
                                                       {"type", QStringLiteral("802-11-wireless")}}}};
        QDBusMessage added = bench.thread().call(
            NetBench::Bus::System, kNm, QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
            QStringLiteral("org.freedesktop.NetworkManager.Settings"), QStringLiteral("AddConnection"),
            {QVariant::fromValue(settings)});
        ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();
    }

    CLinuxConnectionManager manager(bench.thread(), bench.registry(), bench.home().services().clock());
    EXPECT_EQ(manager.unavailableReason(), "");
    CountingWindow window;
    ASSERT_EQ(manager.registerForStatusChangeNotification(true, window.handle()), platform::ERROR_SUCCESS);

    std::vector<std::string> names;
    EXPECT_EQ(manager.enumEntries(names, 8), platform::ERROR_SUCCESS);
    EXPECT_EQ(names, (std::vector<std::string>{"Home", "Work"}));
    EXPECT_EQ(manager.enumEntries(names, 1), platform::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(names, (std::vector<std::string>{"Home"}));
    for (auto [name, network] : {std::pair{"Home", kHomeNetwork}, std::pair{"Work", kWorkNetwork}}) {
        std::string guid;
        uint32_t enabled = 0;
        uint32_t alwaysOn = 9;
        const std::string key = CLinuxConnectionManager::entryKey(name);
        EXPECT_EQ(bench.registry().getString(platform::RegRoot::LocalMachine, key, "ConnectionGUID", guid),
                  platform::ERROR_SUCCESS);
        EXPECT_EQ(guid, network);
        bench.registry().getDword(platform::RegRoot::LocalMachine, key, "enabled", enabled);
        bench.registry().getDword(platform::RegRoot::LocalMachine, key, "AlwaysOn", alwaysOn);
        EXPECT_EQ(enabled, 1u);
        EXPECT_EQ(alwaysOn, 0u);
    }
    bench.registry().setDword(platform::RegRoot::LocalMachine, CLinuxConnectionManager::entryKey("Work"),
                              "enabled", 0);

    struct Row {
        const char* what;
        std::string network;
        platform::Result result;
        uint32_t status;
        bool posted;  // a failure or a change reaches the window
        std::vector<std::pair<uint32_t, std::string>> up;
    };
    const std::vector<Row> rows = {
        {"no destination", "", platform::E_FAIL, platform::CONNMGR_STATUS_UNKNOWN, false, {}},
        {"unknown network",
         "{11111111-2222-3333-4444-555555555555}",
         platform::E_FAIL,
         platform::CONNMGR_STATUS_NOPATHTODESTINATION,
         true,
         {}},
        {"disabled entry",
         kWorkNetwork,
         platform::E_FAIL,
         platform::CONNMGR_STATUS_CONNECTIONDISABLED,
         true,
         {}},
        {"home",
         kHomeNetwork,
         platform::ERROR_SUCCESS,
         platform::CONNMGR_STATUS_CONNECTED,
         true,
         {{1, "Home"}}},
        {"home again, already up",
         kHomeNetwork,
         platform::ERROR_SUCCESS,
         platform::CONNMGR_STATUS_CONNECTED,
         false,
         {{1, "Home"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const int before = window.count();
        uint32_t request = 0;
        uint32_t status = 99;
        EXPECT_EQ(manager.establishConnectionSync(requestFor(row.network), request, 5000, status),
                  row.result);
        EXPECT_EQ(status, row.status);
        if (row.posted) {
            EXPECT_TRUE(WaitUntil([&] { return window.count() > before; }));
        }
        EXPECT_EQ(upNow(manager), row.up);
    }
    uint32_t state = 0;
    EXPECT_EQ(manager.getConnectStatus(1, state), platform::ERROR_SUCCESS);
    EXPECT_EQ(state, platform::RASCS_Connected);

    // Work brought up by someone else, on the Wi-Fi device.
    bench.registry().setDword(platform::RegRoot::LocalMachine, CLinuxConnectionManager::entryKey("Work"),
                              "enabled", 1);
    int before = window.count();
    ASSERT_EQ(
        bench
            .mock(kNm, kNmMain, QStringLiteral("AddActiveConnection"),
                  {QStringList{kDevicePath}, QStringLiteral("/org/freedesktop/NetworkManager/Settings/1"),
                   QStringLiteral("/"), QStringLiteral("outside"), 2u})
            .type(),
        QDBusMessage::ReplyMessage);
    EXPECT_TRUE(WaitUntil([&] { return window.count() > before; }));
    EXPECT_EQ(upNow(manager), (std::vector<std::pair<uint32_t, std::string>>{{1, "Home"}, {2, "Work"}}));
    platform::RasLinkStatistics statistics;
    ASSERT_EQ(manager.getLinkStatistics(2, statistics), platform::ERROR_SUCCESS);
    EXPECT_EQ(statistics.bytesSent, 0x400u);  // a 32-bit counter that wrapped
    EXPECT_EQ(statistics.bytesReceived, 5000u);
    EXPECT_EQ(bench.property(kNm, kDevicePath, kStatistics, QStringLiteral("RefreshRateMs")).toUInt(), 1000u);
    // Home has no device of its own here: no counts.
    ASSERT_EQ(manager.getLinkStatistics(1, statistics), platform::ERROR_SUCCESS);
    EXPECT_EQ(statistics.bytesSent + statistics.bytesReceived, 0u);

    std::string network;
    uint32_t index = 9;
    EXPECT_EQ(manager.mapUrl("https://example.org/path", network, index), platform::ERROR_SUCCESS);
    EXPECT_EQ(network, kHomeNetwork);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(manager.mapUrl("ftp://example.org/", network, index), platform::E_FAIL);

    before = window.count();
    EXPECT_EQ(manager.hangUp(2), platform::ERROR_SUCCESS);
    EXPECT_TRUE(WaitUntil([&] { return window.count() > before; }));
    EXPECT_EQ(upNow(manager), (std::vector<std::pair<uint32_t, std::string>>{{1, "Home"}}));
    EXPECT_EQ(manager.getConnectStatus(2, state), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(state, platform::RASCS_Disconnected);
    EXPECT_EQ(manager.hangUp(2), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(manager.getLinkStatistics(2, statistics), platform::ERROR_INVALID_HANDLE);

    // An asynchronous request returns at once; the connection comes up on the manager's thread.
    uint32_t request = 0;
    EXPECT_EQ(manager.establishConnection(requestFor(kWorkNetwork), request), platform::ERROR_SUCCESS);
    EXPECT_NE(request, 0u);
    EXPECT_TRUE(WaitUntil([&] { return upNow(manager).size() == 2; }));
    EXPECT_EQ(manager.establishConnection(requestFor(""), request), platform::E_FAIL);
    EXPECT_EQ(manager.registerForStatusChangeNotification(false, window.handle()), platform::ERROR_SUCCESS);
}

// Without NetworkManager there are no entries and every request fails, and the reason names it.
TEST(LinuxConnectionManagerTest, MissingNetworkManagerFailsEveryRequest) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    CLinuxConnectionManager manager(bench.thread(), bench.registry(), bench.home().services().clock());
    EXPECT_EQ(manager.unavailableReason(),
              "NetworkManager (org.freedesktop.NetworkManager) not available: the service is not running");
    std::vector<std::string> names{"left"};
    EXPECT_EQ(manager.enumEntries(names, 8), platform::ERROR_READ_FAULT);
    EXPECT_TRUE(names.empty());
    std::vector<platform::RasConnection> connections;
    EXPECT_EQ(manager.enumConnections(connections, 8), platform::ERROR_READ_FAULT);
    uint32_t request = 0;
    uint32_t status = 0;
    EXPECT_EQ(manager.establishConnectionSync(requestFor(kHomeNetwork), request, 1000, status),
              platform::E_FAIL);
    EXPECT_EQ(status, platform::CONNMGR_STATUS_CONNECTIONFAILED);
    uint32_t state = 0;
    EXPECT_EQ(manager.getConnectStatus(1, state), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(manager.hangUp(1), platform::ERROR_INVALID_HANDLE);
    std::string network;
    uint32_t index = 0;
    EXPECT_EQ(manager.mapUrl("http://example.org/", network, index), platform::E_FAIL);
}

}  // namespace
