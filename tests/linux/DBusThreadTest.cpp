#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <atomic>

#include "platform/linux/CDBusThread.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

namespace {

using platform::lnx::CDBusThread;

const QString kUPower = QStringLiteral("org.freedesktop.UPower");
const QString kDisplay = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kDevice = QStringLiteral("org.freedesktop.UPower.Device");

// Properties read and written through the bus thread, and a property change delivered to a
// subscription (and no longer once the subscription has gone).
TEST(DBusThreadTest, ReadsWritesAndFollowsPropertiesOfAMockedService) {
    TempHome home;
    PrivateBus bus(home.root() / "bus");
    if (!bus.why().empty()) {
        GTEST_SKIP() << bus.why();
    }
    ASSERT_TRUE(bus.startTemplate("upower", "org.freedesktop.UPower")) << bus.mockOutput();
    bus.exportEnvironment();
    int argc = 0;
    QCoreApplication app(argc, nullptr);

    CDBusThread thread;
    EXPECT_TRUE(thread.hasService(CDBusThread::Bus::System, kUPower));
    EXPECT_FALSE(
        thread.hasService(CDBusThread::Bus::System, QStringLiteral("org.freedesktop.ModemManager1")));

    std::atomic<int> changes{0};
    std::atomic<double> seen{-1};
    {
        auto subscription = thread.subscribeProperties(CDBusThread::Bus::System, kUPower, kDisplay, kDevice,
                                                       [&](const QVariantMap& changed, const QStringList&) {
                                                           if (changed.contains("Percentage")) {
                                                               seen = changed.value("Percentage").toDouble();
                                                               ++changes;
                                                           }
                                                       });
        ASSERT_TRUE(subscription.active());
        // The mock's own interface sets the value and emits the change, as the real service would.
        QDBusMessage reply =
            thread.call(CDBusThread::Bus::System, kUPower, kDisplay,
                        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("SetDeviceProperties"),
                        {QVariant::fromValue(QDBusObjectPath(kDisplay)), QVariantMap{{"Percentage", 42.0}}});
        // Older templates have no SetDeviceProperties: set the property directly.
        if (reply.type() == QDBusMessage::ErrorMessage) {
            thread.call(CDBusThread::Bus::System, kUPower, kDisplay,
                        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("SetProperty"),
                        {kDevice, QStringLiteral("Percentage"), QVariant::fromValue(QDBusVariant(42.0))});
            thread.call(CDBusThread::Bus::System, kUPower, kDisplay,
                        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                        {QStringLiteral("org.freedesktop.DBus.Properties"),
                         QStringLiteral("PropertiesChanged"), QStringLiteral("sa{sv}as"),
                         QVariantList{kDevice, QVariantMap{{"Percentage", 42.0}}, QStringList{}}});
        }
        ASSERT_TRUE(WaitUntil([&] { return changes.load() > 0; })) << bus.mockOutput();
        EXPECT_DOUBLE_EQ(seen.load(), 42.0);
        std::string error;
        EXPECT_DOUBLE_EQ(thread
                             .property(CDBusThread::Bus::System, kUPower, kDisplay, kDevice,
                                       QStringLiteral("Percentage"), &error)
                             .toDouble(),
                         42.0)
            << error;
    }
    std::string error;
    EXPECT_FALSE(thread
                     .property(CDBusThread::Bus::System, kUPower, kDisplay, kDevice,
                               QStringLiteral("NoSuchProperty"), &error)
                     .isValid());
    EXPECT_FALSE(error.empty());
}

}  // namespace
