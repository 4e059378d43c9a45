// The program on the linux backend against mocked system services on a private bus: the modem
// (our ModemManager template), NetworkManager, BlueZ and UPower (Debian's templates). The sound
// server and the user's service manager are left out, so the test also sees how missing
// services are reported.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "linux/BackendProgram.h"
#include "platform/linux/CDBusThread.h"
#include "support/TempHome.h"

namespace {

namespace fs = std::filesystem;
using platform::lnx::CDBusThread;

// The ModemManager template kept with the tests (dbusmock's format; Debian ships none).
const fs::path kModemManagerTemplate = fs::path(ZENTROVA_SOURCE_DIR) / "tests" / "linux" / "modemmanager.py";
const QString kNetworkManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNetworkManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kUPower = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDisplayDevice = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
const std::string kSettings = "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova";

// The history files are UTF-16LE with ASCII content.
std::string readAscii(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out += bytes[i];
    }
    return out;
}

class BackendEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!program.why().empty()) {
            GTEST_SKIP() << program.why();
        }
        PrivateBus& bus = program.bus();
        ASSERT_TRUE(bus.startTemplate("networkmanager", "org.freedesktop.NetworkManager",
                                      R"({"WirelessEnabled": false})"))
            << bus.mockOutput();
        ASSERT_TRUE(bus.startTemplate(kModemManagerTemplate.string(), "org.freedesktop.ModemManager1",
                                      R"({"lac": 100, "ci": 1000})"))
            << bus.mockOutput();
        ASSERT_TRUE(bus.startTemplate("bluez5", "org.bluez")) << bus.mockOutput();
        ASSERT_TRUE(bus.startTemplate("upower", "org.freedesktop.UPower")) << bus.mockOutput();
        // The test drives the mocks over the same bus.
        bus.exportEnvironment();
        app = std::make_unique<QCoreApplication>(argc, nullptr);
        thread = std::make_unique<CDBusThread>();
        ASSERT_EQ(thread
                      ->call(CDBusThread::Bus::System, QStringLiteral("org.bluez"), QStringLiteral("/"),
                             QStringLiteral("org.bluez.Mock"), QStringLiteral("AddAdapter"),
                             {QStringLiteral("hci0"), QStringLiteral("phone")})
                      .type(),
                  QDBusMessage::ReplyMessage);
        setBattery(80.0);
        // Battery readings every second, so that the test sees the change soon.
        ASSERT_EQ(program.device({"reg", "set", kSettings, "refresh_battery_time", "dword", "1"}).first, 0);
    }
    void TearDown() override {
        thread.reset();
        app.reset();
    }

    void setBattery(double percent) {
        QDBusMessage reply = thread->call(CDBusThread::Bus::System, kUPower, kUPowerPath, kMock,
                                          QStringLiteral("SetDeviceProperties"),
                                          {QVariant::fromValue(QDBusObjectPath(kDisplayDevice)),
                                           QVariantMap{{"Percentage", percent}, {"IsPresent", true}}});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }
    QVariant property(const QString& service, const QString& path, const QString& interface,
                      const QString& name) {
        return thread->property(CDBusThread::Bus::System, service, path, interface, name);
    }
    bool ok(std::vector<std::string> args) {
        auto [code, out] = program.device(std::move(args));
        EXPECT_EQ(code, 0) << out;
        return code == 0;
    }

    TempHome temp;
    BackendProgram program{temp.root() / "linux"};
    int argc = 0;
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<CDBusThread> thread;
};

// The whole road on real services' interfaces: the modem's cell change moves the program to the
// place of that cell, whose frame switches Wi-Fi on in NetworkManager; Bluetooth made
// discoverable from the program reaches the adapter; the battery's percentage reaches the
// battery history; the services that are missing are named in the event log.
TEST_F(BackendEndToEndTest, CellChangeRunsTheFrameOnTheRealServices) {
    ASSERT_TRUE(program.start()) << program.output() << program.bus().mockOutput();
    EXPECT_EQ(program.value("cell", {"app"}), "1000");
    EXPECT_EQ(program.value("mgr0", {"app"}), "0") << "Wi-Fi starts off in NetworkManager";

    // A place with a frame all day long whose start switches Wi-Fi on; its cell is 2000.
    ASSERT_TRUE(ok({"place", "add", "Office"}));
    ASSERT_TRUE(ok({"frame", "add", "Office", "all", "00:00", "23:59", "--name", "Day"}));
    ASSERT_TRUE(ok({"action", "add", "Office", "Day", "enter", "0", "1"}));
    ASSERT_TRUE(ok({"cell", "assign", "2000", "Office"}));

    QDBusMessage moved = thread->call(
        CDBusThread::Bus::System, QStringLiteral("org.freedesktop.ModemManager1"),
        QStringLiteral("/org/freedesktop/ModemManager1"), kMock, QStringLiteral("SetCell"), {100u, 2000u});
    ASSERT_EQ(moved.type(), QDBusMessage::ReplyMessage) << moved.errorMessage().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return program.value("cell", {"app"}) == "2000"; }, std::chrono::seconds(20)))
        << program.device({"app"}).second;
    EXPECT_TRUE(WaitUntil(
        [&] {
            return property(kNetworkManager, kNetworkManagerPath, kNetworkManager,
                            QStringLiteral("WirelessEnabled"))
                .toBool();
        },
        std::chrono::seconds(20)))
        << program.device({"app"}).second << program.device({"log"}).second;
    EXPECT_TRUE(WaitUntil([&] { return program.value("mgr0", {"app"}) == "1"; }));

    // Bluetooth discoverable, from the program.
    ASSERT_TRUE(ok({"force", "1", "2"}));
    EXPECT_TRUE(WaitUntil([&] {
        return property(QStringLiteral("org.bluez"), QStringLiteral("/org/bluez/hci0"),
                        QStringLiteral("org.bluez.Adapter1"), QStringLiteral("Discoverable"))
            .toBool();
    })) << program.device({"app"}).second;

    // The battery's percentage reaches the program and its history.
    setBattery(42.0);
    const fs::path history = program.home() / "program" / "log_battery.txt";
    EXPECT_TRUE(WaitUntil([&] { return readAscii(history).find(" 042%\r\n") != std::string::npos; },
                          std::chrono::seconds(20)))
        << readAscii(history) << program.device({"app"}).second;

    // The sound server and the user's service manager are not on this bus: named, not fatal.
    const std::string log = program.device({"log"}).second;
    EXPECT_EQ(log.find("org.freedesktop.NetworkManager) not available"), std::string::npos) << log;
    EXPECT_EQ(log.find("org.freedesktop.ModemManager1) not available"), std::string::npos) << log;
    EXPECT_NE(log.find("sound server"), std::string::npos) << log;
    EXPECT_EQ(program.value("mgr2", {"app"}), "-1") << "the speaker without a sound server";
    EXPECT_EQ(program.stop(), 0) << program.output();
}

}  // namespace
